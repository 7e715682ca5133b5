// Writes the demo's stand-in d2game.dll and d2client.dll, or its stand-in
// Game.exe for a version that keeps its skills in one file.
//   make_demo_dlls OUTPUT_FOLDER [DEMO_FOLDER]
//   make_demo_dlls --game-exe OUTPUT_FOLDER
// DEMO_FOLDER (default: the current directory) holds the demo's data\ folder;
// its skill tables say where each skill's ranges go.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "demo/demo_dlls.h"
#include "demo/demo_exe.h"
#include "patch/logger.h"
#include "tables/data_files.h"

Logger logger;

namespace {

int WriteGameExe(const char* folder) {
  std::error_code failure;
  std::filesystem::create_directories(folder, failure);
  std::string path = (std::filesystem::path(folder) / "Game.exe").string();
  std::vector<uint8_t> bytes = StandInExe(kDemoExeVersion, kDemoExeBuildTime, kDemoExeSize);
  FILE* file = failure ? nullptr : std::fopen(path.c_str(), "wb");
  bool written =
      file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (file != nullptr && std::fclose(file) != 0) written = false;
  if (!written) {
    std::fprintf(stderr, "make_demo_dlls: cannot write %s\n", path.c_str());
    return 1;
  }
  std::printf("wrote Game.exe to %s\n", folder);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--game-exe") return WriteGameExe(argv[2]);
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr,
                 "usage: make_demo_dlls OUTPUT_FOLDER [DEMO_FOLDER]\n"
                 "       make_demo_dlls --game-exe OUTPUT_FOLDER\n");
    return 2;
  }
  std::error_code failure;
  std::filesystem::path output = std::filesystem::absolute(argv[1], failure);
  if (!failure) std::filesystem::create_directories(output, failure);
  if (!failure && argc == 3) std::filesystem::current_path(argv[2], failure);
  if (failure) {
    std::fprintf(stderr, "make_demo_dlls: %s\n", failure.message().c_str());
    return 1;
  }
  if (!LoadClasses()) {
    std::fprintf(stderr, "make_demo_dlls: expected data/classes.txt in %s, found none\n",
                 std::filesystem::current_path().string().c_str());
    return 1;
  }
  std::string error;
  int written = WriteDemoDlls(classList, output.string(), &error);
  FreeDataTables();
  if (!written) {
    std::fprintf(stderr, "make_demo_dlls: %s\n", error.c_str());
    return 1;
  }
  std::printf("wrote d2game.dll and d2client.dll to %s\n", output.string().c_str());
  return 0;
}

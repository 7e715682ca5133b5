// Writes the demo's stand-in d2game.dll and d2client.dll, or its stand-in
// Game.exe for the version that keeps its skills in one file.
//   make_demo_dlls OUTPUT_FOLDER [DEMO_FOLDER]
//   make_demo_dlls --game-exe OUTPUT_FOLDER [DEMO_FOLDER]
// DEMO_FOLDER (default: the current directory) holds the demo's data\ folder;
// its skill tables say where each skill's ranges go.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "demo/demo_dlls.h"
#include "patch/logger.h"
#include "tables/data_files.h"

Logger logger;

namespace {

// Loads the tables the files are made from: the DLLs' two versions' tables
// are named by position alone, Game.exe's by its line of versions.txt.
bool LoadTables(bool gameExe) {
  if (gameExe) {
    versionList = LoadVersions("data\\versions.txt");
    if (versionList == nullptr) {
      std::fprintf(stderr, "make_demo_dlls: expected data/versions.txt in %s, found none\n",
                   std::filesystem::current_path().string().c_str());
      return false;
    }
  }
  if (!LoadClasses(versionList)) {
    std::fprintf(stderr, "make_demo_dlls: expected data/classes.txt in %s, found none\n",
                 std::filesystem::current_path().string().c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool gameExe = argc > 1 && std::string(argv[1]) == "--game-exe";
  int first = gameExe ? 2 : 1;
  if (argc - first < 1 || argc - first > 2) {
    std::fprintf(stderr,
                 "usage: make_demo_dlls OUTPUT_FOLDER [DEMO_FOLDER]\n"
                 "       make_demo_dlls --game-exe OUTPUT_FOLDER [DEMO_FOLDER]\n");
    return 2;
  }
  std::error_code failure;
  std::filesystem::path output = std::filesystem::absolute(argv[first], failure);
  if (!failure) std::filesystem::create_directories(output, failure);
  if (!failure && argc - first == 2) std::filesystem::current_path(argv[first + 1], failure);
  if (failure) {
    std::fprintf(stderr, "make_demo_dlls: %s\n", failure.message().c_str());
    return 1;
  }
  std::string error;
  int written = 0;
  if (LoadTables(gameExe)) {
    written = gameExe ? WriteDemoExe(classList, output.string(), &error)
                      : WriteDemoDlls(classList, output.string(), &error);
    if (!written) std::fprintf(stderr, "make_demo_dlls: %s\n", error.c_str());
  }
  FreeDataTables();
  if (!written) return 1;
  std::printf("wrote %s to %s\n", gameExe ? "Game.exe" : "d2game.dll and d2client.dll",
              output.string().c_str());
  return 0;
}

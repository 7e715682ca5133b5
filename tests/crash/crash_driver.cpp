// Kills real saves at random moments and checks what is left on disk.
//   crash_driver SAVER FOLDER KILLS [SEED]
// FOLDER gets a demo-sized d2game.dll. Then, KILLS times: start "SAVER FOLDER
// loop", kill it with SIGKILL after a random delay, and require that the DLL
// is byte for byte one of its two states (before or after an exchange), and
// that a following "SAVER FOLDER once" succeeds and leaves the other state.
// Prints a summary (how many kills found which state, and how many found a
// half-written temporary file beside the DLL, i.e. hit a save in progress).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The size of the demo's stand-in DLLs.
constexpr size_t kDllSize = 1u << 20;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Files in the folder other than the DLL and its backup: what a save in
// progress leaves behind (its temporary file, whatever its name).
int Leftovers(const fs::path& folder) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::string name = entry.path().filename().string();
    if (name != "d2game.dll" && name != "d2game.dll.bak") ++count;
  }
  return count;
}

pid_t Start(const std::string& saver, const std::string& folder, const char* mode) {
  pid_t pid = fork();
  if (pid == 0) {
    execl(saver.c_str(), saver.c_str(), folder.c_str(), mode, static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// The exit code, or 128 + signal.
int Wait(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int Fail(const char* what, int kill) {
  std::fprintf(stderr, "crash test: after kill %d: %s\n", kill, what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr, "usage: crash_driver SAVER FOLDER KILLS [SEED]\n");
    return 2;
  }
  std::string saver = fs::absolute(argv[1]).string();
  fs::path folder = fs::absolute(argv[2]);
  int kills = std::atoi(argv[3]);
  unsigned seed = argc == 5 ? static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10))
                            : static_cast<unsigned>(std::random_device{}());
  std::mt19937 random(seed);
  std::printf("crash test: %d kills, seed %u\n", kills, seed);

  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::path dll = folder / "d2game.dll";
  std::string original(kDllSize, '\0');
  for (char& byte : original) byte = static_cast<char>(random());
  WriteAll(dll, original);

  // The two states, and how long one save takes from process start.
  Clock::time_point started = Clock::now();
  if (Wait(Start(saver, folder.string(), "once")) != 0) return Fail("the first save failed", 0);
  auto saveTime = Clock::now() - started;
  std::string exchanged = ReadAll(dll);
  if (exchanged.size() != kDllSize || exchanged == original) {
    return Fail("the first save did not exchange the ranges", 0);
  }
  if (Wait(Start(saver, folder.string(), "once")) != 0 || ReadAll(dll) != original) {
    return Fail("a second save did not restore the file", 0);
  }
  if (Leftovers(folder) > 0) return Fail("a completed save left a file beside the DLL", 0);

  // Delays from nothing to a few saves' time: kills land in start-up,
  // loading, writing the temporary file, flushing and the replacement.
  auto longest = std::chrono::duration_cast<std::chrono::microseconds>(saveTime * 4);
  std::uniform_int_distribution<long> delay(0, longest.count());
  int foundOriginal = 0, foundExchanged = 0, foundTemporary = 0, foundChanged = 0;
  bool wasOriginal = true;
  for (int kill = 1; kill <= kills; ++kill) {
    pid_t pid = Start(saver, folder.string(), "loop");
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(pid, SIGKILL);
    if (Wait(pid) != 128 + SIGKILL) return Fail("the saver ended before it was killed", kill);

    std::string now = ReadAll(dll);
    bool isOriginal = now == original;
    if (!isOriginal && now != exchanged) {
      return Fail("the DLL is neither its old nor its new content", kill);
    }
    isOriginal ? ++foundOriginal : ++foundExchanged;
    if (isOriginal != wasOriginal) ++foundChanged;
    if (Leftovers(folder) > 0) ++foundTemporary;

    if (Wait(Start(saver, folder.string(), "once")) != 0) {
      return Fail("the save after the kill failed", kill);
    }
    if (ReadAll(dll) != (isOriginal ? exchanged : original)) {
      return Fail("the save after the kill did not exchange the ranges", kill);
    }
    if (Leftovers(folder) > 0) return Fail("a completed save left a file beside the DLL", kill);
    wasOriginal = !isOriginal;
  }
  fs::path backup = folder / "d2game.dll.bak";
  if (fs::exists(backup) && ReadAll(backup) != original) {
    return Fail("the backup no longer holds the untouched file", kills);
  }
  long long saveMs = std::chrono::duration_cast<std::chrono::milliseconds>(saveTime).count();
  std::printf("crash test: passed (one save takes %lld ms from process start)\n", saveMs);
  std::printf("  after a kill the DLL was old %d times and new %d times;\n", foundOriginal,
              foundExchanged);
  std::printf("  %d kills came after the killed saver had completed a save,\n", foundChanged);
  std::printf("  %d kills hit a save in progress (its temporary file was left behind)\n",
              foundTemporary);
  return 0;
}

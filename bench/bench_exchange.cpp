// Times the three-aspect exchange against copying both DLLs with cp, in the
// same run and on the same files, and reports the exchange's peak memory.
//   bench_exchange DATA_FOLDER DLL_FOLDER RUNS
// DATA_FOLDER holds data\classes.txt and the skill tables; the exchange takes
// skill 0 of the first class and skill 1 of the second (or the same class when
// there is one), version position 0, all three aspects. DLL_FOLDER holds
// d2game.dll and d2client.dll. Runs alternate: exchange, cp, exchange without
// the flush to disk, so all three see the same cache and disk state.
//   bench_exchange --peak DATA_FOLDER DLL_FOLDER
// One exchange in this fresh process; prints the peak resident memory before
// and after it.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "exchange/exchange.h"
#include "patch/dll_patcher.h"
#include "patch/logger.h"
#include "tables/data_files.h"

Logger logger;

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Made at first use, after the benchmark has entered its data folder.
DllPatcher& Patcher() {
  static DllPatcher patcher;
  return patcher;
}

// Saves that push their bytes to the operating system but do not wait for
// the disk: shows what the flush costs.
class UnflushedSaveSteps : public SaveSteps {
 public:
  bool Flush(FILE* file) override { return std::fflush(file) == 0; }
  bool FlushFolder(const char*) override { return true; }
};

double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

bool Prepare(const char* dataFolder, const char* dllFolder, SkillSelection* selection) {
  std::error_code error;
  fs::path dlls = fs::absolute(dllFolder, error);
  fs::current_path(dataFolder, error);
  if (error || !LoadClasses() || classList == nullptr) {
    std::fprintf(stderr, "bench_exchange: expected data/classes.txt with a class in %s\n",
                 dataFolder);
    return false;
  }
  std::snprintf(Patcher().dllPaths[kGameDll], kTextSize, "%s/d2game.dll", dlls.c_str());
  std::snprintf(Patcher().dllPaths[kClientDll], kTextSize, "%s/d2client.dll", dlls.c_str());
  std::snprintf(logger.fileName, sizeof logger.fileName, "%s", (dlls / "bench-log.txt").c_str());
  selection->version = 0;
  selection->firstClass = 0;
  selection->secondClass = classList->next != nullptr ? 1 : 0;
  selection->firstSkill = 0;
  selection->secondSkill = 1;
  for (bool& ticked : selection->ticked) ticked = true;
  return true;
}

bool Exchange(const SkillSelection& selection, double* milliseconds) {
  char result[kResultSize];
  Clock::time_point start = Clock::now();
  int done = ExchangeSkills(Patcher(), versionList, classList, selection, result);
  *milliseconds = Milliseconds(Clock::now() - start);
  if (!done) std::fprintf(stderr, "bench_exchange: the exchange failed: %s", result);
  return done;
}

bool CopyBoth(const fs::path& dlls, double* milliseconds) {
  fs::path target = dlls / "cp-copy";
  fs::create_directories(target);
  std::string game = (dlls / "d2game.dll").string();
  std::string client = (dlls / "d2client.dll").string();
  std::string into = target.string() + "/";
  char* arguments[] = {const_cast<char*>("cp"), game.data(), client.data(), into.data(), nullptr};
  Clock::time_point start = Clock::now();
  pid_t pid = 0;
  int status = 0;
  bool copied = posix_spawnp(&pid, "cp", nullptr, nullptr, arguments, environ) == 0 &&
                waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  *milliseconds = Milliseconds(Clock::now() - start);
  return copied;
}

int MeasurePeak(const char* dataFolder, const char* dllFolder) {
  SkillSelection selection;
  if (!Prepare(dataFolder, dllFolder, &selection)) return 1;
  long before = PeakKilobytes();
  double milliseconds = 0;
  if (!Exchange(selection, &milliseconds)) return 1;
  long after = PeakKilobytes();
  std::printf("peak resident memory: %ld KiB before the exchange, %ld KiB after (+%ld KiB)\n",
              before, after, after - before);
  std::printf("largest DLL: %lld bytes\n",
              static_cast<long long>(std::max(fs::file_size(Patcher().dllPaths[kGameDll]),
                                              fs::file_size(Patcher().dllPaths[kClientDll]))));
  FreeDataTables();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--peak") == 0) return MeasurePeak(argv[2], argv[3]);
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: bench_exchange DATA_FOLDER DLL_FOLDER RUNS\n"
                 "       bench_exchange --peak DATA_FOLDER DLL_FOLDER\n");
    return 2;
  }
  int runs = std::max(1, std::atoi(argv[3]));
  fs::path dlls = fs::absolute(argv[2]);
  SkillSelection selection;
  if (!Prepare(argv[1], argv[2], &selection)) return 1;

  // The first exchange in a folder also makes the one-time backups; it is
  // reported apart and not counted in the medians.
  double first = 0;
  if (!Exchange(selection, &first)) return 1;
  std::vector<double> exchange, copy, unflushed;
  UnflushedSaveSteps unflushedSteps;
  for (int run = 0; run < runs; ++run) {
    double milliseconds = 0;
    if (!Exchange(selection, &milliseconds)) return 1;
    exchange.push_back(milliseconds);
    if (!CopyBoth(dlls, &milliseconds)) {
      std::fprintf(stderr, "bench_exchange: cp failed\n");
      return 1;
    }
    copy.push_back(milliseconds);
    Patcher().saveSteps = &unflushedSteps;
    bool done = Exchange(selection, &milliseconds);
    Patcher().saveSteps = &SaveSteps::System();
    if (!done) return 1;
    unflushed.push_back(milliseconds);
  }
  FreeDataTables();
  fs::remove_all(dlls / "cp-copy");

  double exchangeMedian = Median(exchange);
  double copyMedian = Median(copy);
  double unflushedMedian = Median(unflushed);
  std::printf("files: d2game.dll %lld bytes, d2client.dll %lld bytes; %d runs each\n",
              static_cast<long long>(fs::file_size(dlls / "d2game.dll")),
              static_cast<long long>(fs::file_size(dlls / "d2client.dll")), runs);
  std::printf("first exchange (makes the two backups): %.2f ms\n", first);
  std::printf("exchange, 3 aspects (median): %.2f ms (min %.2f)\n", exchangeMedian,
              *std::min_element(exchange.begin(), exchange.end()));
  std::printf("cp of both files (median):    %.2f ms (min %.2f)\n", copyMedian,
              *std::min_element(copy.begin(), copy.end()));
  std::printf("exchange without the flush to disk (median): %.2f ms\n", unflushedMedian);
  std::printf("ratio exchange / cp: %.2f (without the flush: %.2f)\n", exchangeMedian / copyMedian,
              unflushedMedian / copyMedian);
  return 0;
}

// The process the crash test kills and races: it exchanges one skill pair of
// tests/crash/crash_pairs.h (all three aspects) in FOLDER/d2game.dll and
// FOLDER/d2client.dll through the program's own exchange, lock, backups and
// journal, or restores both DLLs, or undoes what a stopped change left. A
// folder that holds Game.exe is a version's that keeps its skills in that
// one file (files=Game.exe), changed the same ways.
//   crash_saver FOLDER once|loop [PAIR]   exchange once, or until killed
//   crash_saver FOLDER restore            restore both DLLs from their backups
//   crash_saver FOLDER recover            undo a stopped change, as at start
//   crash_saver FOLDER stop-swap|stop-restore N
//       the exchange of pair 0 (or the restore), ended with exit code 3 right
//       after its Nth step (create, write, flush, close, replace or remove
//       of a file, or a flush of the folder), as a crash there would end it
// PAIR is 0 (the default) or 1. Each prints its result text on stdout and
// exits 0 when the change was whole, 1 when it failed.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "change/transaction.h"
#include "exchange/exchange.h"
#include "exchange/restore.h"
#include "patch/dll_patcher.h"
#include "patch/logger.h"
#include "tables/version_files.h"
#include "tests/crash/crash_classes.h"
#include "tests/crash/crash_pairs.h"

Logger logger;

namespace {

// The one version of the tables, at position 0: kept in Game.exe alone when
// folder holds it, else in the two DLLs.
RecordList BuildVersions(const char* folder) {
  RecordList versions = nullptr;
  auto* version = new VersionRecord;
  std::snprintf(version->name, sizeof version->name, "crash");
  if (access((std::string(folder) + "/Game.exe").c_str(), F_OK) == 0) {
    ReadFilesWord("files=Game.exe", &version->files);
  }
  version->AddToList(&versions);
  return versions;
}

bool ExchangeOnce(DllPatcher& patcher, RecordList versions, RecordList classes, int pair) {
  SkillSelection selection;
  selection.version = 0;
  selection.firstClass = 0;
  selection.firstSkill = pair;
  selection.secondClass = 1;
  selection.secondSkill = pair;
  for (bool& ticked : selection.ticked) ticked = true;
  std::string result;
  bool done = ExchangeSkills(patcher, versions, classes, selection, &result);
  std::fputs(result.c_str(), stdout);
  std::fflush(stdout);
  return done;
}

bool RestoreOnce(DllPatcher& patcher, RecordList versions, RecordList classes) {
  RestoreReport report = RestoreBoth(patcher, versions, classes);
  std::fputs((report.undone + report.text).c_str(), stdout);
  return report.failed == 0 && report.restored > 0;
}

// The real file system, ended like a crash right after the stopAfter-th step.
class StoppingSteps : public SaveSteps {
 public:
  explicit StoppingSteps(int stopAfter) : left_(stopAfter) {}
  FILE* Open(const char* path) override { return Step(SaveSteps::Open(path)); }
  bool Write(FILE* file, const uint8_t* bytes, size_t count) override {
    return Step(SaveSteps::Write(file, bytes, count));
  }
  bool Flush(FILE* file) override { return Step(SaveSteps::Flush(file)); }
  bool Close(FILE* file) override { return Step(SaveSteps::Close(file)); }
  bool Replace(const char* from, const char* to) override {
    return Step(SaveSteps::Replace(from, to));
  }
  bool Remove(const char* path) override { return Step(SaveSteps::Remove(path)); }
  bool FlushFolder(const char* path) override { return Step(SaveSteps::FlushFolder(path)); }

 private:
  template <typename T>
  T Step(T result) {
    if (--left_ == 0) _exit(3);
    return result;
  }
  int left_;
};

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc >= 3 ? argv[2] : "";
  bool exchange = mode == "once" || mode == "loop";
  bool stops = mode == "stop-swap" || mode == "stop-restore";
  int pair = exchange && argc == 4 ? argv[3][0] - '0' : 0;
  int stopAfter = stops && argc == 4 ? std::atoi(argv[3]) : 0;
  bool usage =
      argc < 3 || argc > 4 ||
      (exchange && (pair < 0 || pair >= kCrashPairCount || (argc == 4 && argv[3][1] != '\0'))) ||
      (stops && stopAfter < 1) || (!exchange && !stops && argc != 3) ||
      (!exchange && !stops && mode != "restore" && mode != "recover");
  if (usage) {
    std::fprintf(stderr,
                 "usage: crash_saver FOLDER once|loop [0|1]\n"
                 "       crash_saver FOLDER restore|recover\n"
                 "       crash_saver FOLDER stop-swap|stop-restore N\n");
    return 2;
  }
  DllPatcher patcher;
  if (!patcher.UseFolder(argv[1])) {
    std::fprintf(stderr, "crash_saver: expected a folder under %d characters, found %s\n",
                 kMaxFolderLength, argv[1]);
    return 2;
  }
  StoppingSteps stopping(stopAfter);
  if (stops) patcher.saveSteps = &stopping;
  RecordList classes = BuildCrashClasses(kCrashPairs, kCrashPairCount);
  RecordList versions = BuildVersions(argv[1]);
  bool done = false;
  if (exchange || mode == "stop-swap") {
    done = ExchangeOnce(patcher, versions, classes, pair);
    while (done && mode == "loop") done = ExchangeOnce(patcher, versions, classes, pair);
  } else if (mode == "restore" || mode == "stop-restore") {
    done = RestoreOnce(patcher, versions, classes);
  } else {
    std::string text;
    done = RecoverGameFolder(patcher, versions, classes, &text);
    std::fputs(text.c_str(), stdout);
  }
  FreeList<ClassRecord>(&classes);
  FreeList<VersionRecord>(&versions);
  return done ? 0 : 1;
}

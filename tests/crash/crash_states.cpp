// Every state a power cut may leave during a change, under the model of
// tests/crash/crash_model.h, handed to the next change's recovery.
//   crash_states FOLDER
// Records the file steps of a first exchange (which also makes the
// backups), a later one, a restore, the apply of a swap set, the recovery
// of an exchange stopped between its two DLLs and a first exchange in a
// version kept in Game.exe alone, each in a game folder of its own.
// For every point of each record it builds each state the model allows,
// writes it to a fresh game folder and runs the recovery a change starts
// with. Each must end with both DLLs all old or all new, byte for byte, the
// backups untouched (and there before any DLL differs from its original),
// no journal left, and "An interrupted change was undone" said whenever a
// DLL had to be put back (Game.exe, whole or not at all, is never put back); the state after the
// last step must be the change done. Past kMaxStates states an operation is checked on a sample.
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "change/transaction.h"
#include "exchange/exchange.h"
#include "exchange/restore.h"
#include "patch/dll_patcher.h"
#include "patch/logger.h"
#include "sets/set_apply.h"
#include "tables/version_files.h"
#include "tests/crash/crash_classes.h"
#include "tests/crash/crash_model.h"
#include "tests/crash/recording_steps.h"

Logger logger;

namespace fs = std::filesystem;

namespace {

// Four 4 KiB blocks per DLL, so that a cut can keep some of a file's blocks.
constexpr size_t kDllSize = 4 * 4096;
constexpr size_t kMaxStates = 4000;
const char* const kDlls[2] = {"d2game.dll", "d2client.dll"};
const char kOneFile[] = "Game.exe";
const char kUndone[] = "An interrupted change was undone";

// Per pair, the offsets of the first and of the second skill (effects in
// d2game.dll, graphics and descriptions in d2client.dll, or all in
// Game.exe), inside files of four blocks; apart, so that they also fit one
// file.
constexpr CrashPair kPairs[2] = {
    {{"1000", "2000"}, {"1200", "2200"}, {"3000", "3100"}},
    {{"1100", "2100"}, {"1300", "2300"}, {"3200", "3300"}},
};

// The real file system without waiting for the disk: the recovery that
// checks a state is not itself cut.
class QuickSteps : public SaveSteps {
 public:
  bool Flush(FILE* file) override { return std::fflush(file) == 0; }
  bool FlushFolder(const char*) override { return true; }
};

FolderFiles ReadFolder(const fs::path& folder) {
  FolderFiles files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::string name = entry.path().filename().string();
    if (name == "orvanel.lock") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    files[name] = bytes.str();
  }
  return files;
}

void WriteFolder(const fs::path& folder, const FolderFiles& files) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  for (const auto& [name, bytes] : files) {
    std::ofstream(folder / name, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
}

// The files a change may make: the DLLs and Game.exe.
std::string Dlls(const FolderFiles& files) {
  auto bytes = [&](const char* name) {
    auto found = files.find(name);
    return found == files.end() ? std::string("(none)") : found->second;
  };
  return bytes(kDlls[0]) + '\0' + bytes(kDlls[1]) + '\0' + bytes(kOneFile);
}

// One change as recorded, and what may come of it.
struct Operation {
  Operation(const char* named, std::function<bool(DllPatcher&)> change)
      : name(named), run(std::move(change)) {}
  const char* name;
  FolderFiles initial;
  std::function<bool(DllPatcher&)> run;  // true when it reports the change done
  bool oldIsWhole = true;                // false: the change starts from a half exchange
  RecordList versions = nullptr;         // the tables' versions, for the change and its recovery
  FolderFiles done;                      // the folder it leaves
  std::vector<FileOperation> record;
};

// Runs operation in folder, recording its steps; "" or what went wrong.
std::string Record(const fs::path& folder, Operation* operation) {
  WriteFolder(folder, operation->initial);
  DllPatcher patcher;
  patcher.UseFolder(folder.c_str());
  RecordingSteps steps(folder.string());
  patcher.saveSteps = &steps;
  if (!operation->run(patcher)) return "the change itself failed";
  if (!steps.outside.empty()) return steps.outside;
  operation->record = steps.operations;
  operation->done = ReadFolder(folder);
  if (Dlls(operation->done) == Dlls(operation->initial)) return "the change changed nothing";
  return "";
}

struct Tally {
  size_t points = 0, built = 0, distinct = 0, checked = 0, old = 0, changed = 0, wholeUndone = 0;
};

// Recovers state in folder and checks the outcome; "" or what is wrong.
std::string Check(const fs::path& folder, const Operation& operation, const FolderFiles& original,
                  const FolderFiles& state, Tally* tally) {
  WriteFolder(folder, state);
  DllPatcher patcher;
  patcher.UseFolder(folder.c_str());
  QuickSteps quick;
  patcher.saveSteps = &quick;
  std::string note;
  static RecordList classes = BuildCrashClasses(kPairs, 2);  // the tables the changes used
  if (!RecoverGameFolder(patcher, operation.versions, classes, &note)) {
    return "the recovery failed: " + note;
  }
  FolderFiles after = ReadFolder(folder);
  std::string dlls = Dlls(after);
  bool old = operation.oldIsWhole && dlls == Dlls(operation.initial);
  if (!old && dlls != Dlls(operation.done)) return "the DLLs are neither all old nor all new";
  if (after.count("orvanel.journal")) return "the journal is still there";
  for (const auto& [file, bytes] : original) {
    std::string backup = file + ".bak";
    if (after.count(backup) && after[backup] != bytes) return backup + " was changed";
    if (!after.count(backup) && after[file] != bytes) return "no " + backup;
  }
  if (dlls != Dlls(state) && note.find(kUndone) == std::string::npos) {
    return "a DLL was put back without a word";
  }
  old ? ++tally->old : ++tally->changed;
  if (old && Dlls(state) == Dlls(operation.done)) ++tally->wholeUndone;
  return "";
}

// Every state of every point of operation's record, recovered and checked.
std::string Enumerate(const fs::path& folder, const Operation& operation,
                      const FolderFiles& original, Tally* tally) {
  std::map<FolderFiles, size_t> states;  // each with the first point that gives it
  size_t points = operation.record.size() + 1;
  for (size_t point = 0; point < points; ++point) {
    for (FolderFiles& state : CrashStates(operation.initial, operation.record, point)) {
      ++tally->built;
      states.emplace(std::move(state), point);
    }
  }
  std::vector<FolderFiles> last = CrashStates(operation.initial, operation.record, points - 1);
  if (last.size() != 1 || Dlls(last[0]) != Dlls(operation.done)) {
    return "after the last step the change may still be lost";
  }
  std::vector<std::pair<const FolderFiles*, size_t>> checks;
  for (const auto& [state, point] : states) checks.emplace_back(&state, point);
  if (checks.size() > kMaxStates) {
    std::shuffle(checks.begin(), checks.end(), std::mt19937(29));
    checks.resize(kMaxStates);
  }
  tally->points = points;
  tally->distinct = states.size();
  for (const auto& [state, point] : checks) {
    std::string wrong = Check(folder, operation, original, *state, tally);
    if (!wrong.empty()) {
      std::string after = point == 0 ? "before the first step"
                                     : "after step " + std::to_string(point) + " (" +
                                           Describe(operation.record[point - 1]) + ")";
      return "a state " + after + ": " + wrong;
    }
    ++tally->checked;
  }
  return "";
}

// The folder of swap stopped right after its first DLL was moved into place,
// every step until then on the disk.
FolderFiles StoppedBetweenTheDlls(const Operation& swap) {
  size_t first = 0;
  while (first < swap.record.size() && !(swap.record[first].kind == FileOperation::kRename &&
                                         swap.record[first].name == kDlls[0])) {
    ++first;
  }
  return Persisted(swap.initial, swap.record, first + 1);
}

// Records operation in a folder of its own, checks every state of it and
// prints what came of them; false (and why, on stderr) when one fails.
bool RecordAndEnumerate(const fs::path& work, Operation* operation, const FolderFiles& original) {
  std::string wrong = Record(work / operation->name / "game", operation);
  Tally tally;
  if (wrong.empty()) wrong = Enumerate(work / "state", *operation, original, &tally);
  if (!wrong.empty()) {
    std::fprintf(stderr, "crash states: %s: %s\n", operation->name, wrong.c_str());
    return false;
  }
  std::printf(
      "crash states: %-10s %2zu points, %4zu states built (%3zu distinct), %3zu recovered%s:",
      operation->name, tally.points, tally.built, tally.distinct, tally.checked,
      tally.checked < tally.distinct ? " (a sample)" : "");
  if (operation->oldIsWhole) {
    std::printf(" %zu all old, %zu all new; %zu undone though every file was new\n", tally.old,
                tally.changed, tally.wholeUndone);
  } else {
    std::printf(" all %zu as before the stopped change\n", tally.changed);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: crash_states FOLDER\n");
    return 2;
  }
  fs::path work = fs::absolute(argv[1]);
  fs::remove_all(work);
  fs::create_directories(work);
  fs::current_path(work);  // log.txt lands here
  RecordList classes = BuildCrashClasses(kPairs, 2);
  RecordList versions = nullptr;
  auto* version = new VersionRecord;
  std::snprintf(version->name, sizeof version->name, "1.09b");
  version->AddToList(&versions);
  RecordList oneFileVersions = nullptr;
  auto* oneFileVersion = new VersionRecord;
  std::snprintf(oneFileVersion->name, sizeof oneFileVersion->name, "1.14d");
  ReadFilesWord("files=Game.exe", &oneFileVersion->files);
  oneFileVersion->AddToList(&oneFileVersions);

  std::mt19937 random(29);
  FolderFiles original;
  for (const char* dll : kDlls) {
    std::string& bytes = original[dll];
    bytes.resize(kDllSize);
    for (char& byte : bytes) byte = static_cast<char>(random());
  }
  FolderFiles oneFileOriginal = {{kOneFile, original[kDlls[0]]}};
  SkillSelection pair0;
  pair0.version = 0;
  pair0.firstClass = 0;
  pair0.secondClass = 1;
  pair0.firstSkill = pair0.secondSkill = 0;
  for (bool& ticked : pair0.ticked) ticked = true;

  Operation swap{"swap", [&](DllPatcher& patcher) {
                   std::string text;
                   return ExchangeSkills(patcher, nullptr, classes, pair0, &text) == 1;
                 }};
  SkillSelection pair1 = pair0;
  pair1.firstSkill = pair1.secondSkill = 1;
  Operation swapAgain{"swap again", [&](DllPatcher& patcher) {
                        std::string text;
                        return ExchangeSkills(patcher, nullptr, classes, pair1, &text) == 1;
                      }};
  Operation restore{"restore", [&](DllPatcher& patcher) {
                      RestoreReport report = RestoreBoth(patcher, versions, classes);
                      return report.failed == 0 && report.restored == 2;
                    }};
  Operation apply{"apply", [&](DllPatcher& patcher) {
                    return ApplySwapSet(patcher, versions, classes,
                                        "version 1.09b\nClass 0:Skill 0.1 <-> Class 1:Skill 1.1: "
                                        "Effects, Graphics, Descriptions\n")
                        .done;
                  }};
  Operation recovery{"recovery", [&](DllPatcher& patcher) {
                       std::string note;
                       return RecoverGameFolder(patcher, nullptr, classes, &note) == 1 &&
                              note.find(kUndone) != std::string::npos;
                     }};
  Operation oneFile{"one file", [&](DllPatcher& patcher) {
                      std::string text;
                      return ExchangeSkills(patcher, oneFileVersions, classes, pair0, &text) == 1;
                    }};
  swap.initial = original;
  recovery.oldIsWhole = false;
  oneFile.initial = oneFileOriginal;
  oneFile.versions = oneFileVersions;

  int failed = 0;
  std::vector<Operation*> operations = {&swap, &swapAgain, &restore, &apply, &recovery, &oneFile};
  for (Operation* operation : operations) {
    if (operation == &swapAgain || operation == &restore || operation == &apply) {
      operation->initial = swap.done;
    }
    if (operation == &recovery) recovery.initial = StoppedBetweenTheDlls(swap);
    failed +=
        !RecordAndEnumerate(work, operation, operation == &oneFile ? oneFileOriginal : original);
  }
  FreeList<ClassRecord>(&classes);
  FreeList<VersionRecord>(&versions);
  FreeList<VersionRecord>(&oneFileVersions);
  return failed == 0 ? 0 : 1;
}

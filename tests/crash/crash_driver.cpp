// Kills, stops and races real exchanges and restores and checks what is left
// on disk.
//   crash_driver SAVER FOLDER KILLS [SEED]
// FOLDER/game gets random 1 MiB d2game.dll and d2client.dll; the savers run
// in FOLDER, so their log.txt lands there. The driver predicts every state
// of each DLL with its own range swaps (tests/crash/crash_pairs.h) and then:
// - KILLS times starts "SAVER FOLDER/game loop PAIR" (a random pair), or
//   every third time a restore, kills it with SIGKILL after a random delay
//   and requires each DLL to be whole, as before or after (each on its own:
//   the kill may fall between the two saves), then runs the next change: it
//   must leave both DLLs together and say when it undid a half change. Some
//   kills must be seen to leave the DLLs apart;
// - stops an exchange and a restore after each of their file steps in turn
//   ("stop-swap N", "stop-restore N") and requires the undo ("recover") to
//   leave both DLLs all old or all new;
// - changes d2client.dll as another program would after such a stop: the
//   next change must be refused without writing, and restore must clear it;
// - races two "once" savers of different pairs started at the same moment:
//   each DLL must hold exactly the changes of the savers that exited 0. In
//   some rounds one saver is killed at a random moment; the other must still
//   report truly, and each DLL be whole;
// - holds the folder's lock itself while a saver runs: it must refuse (exit
//   1, saying another run is changing the files) and change nothing.
// Then a folder that holds Game.exe alone, a version's that keeps its skills
// in that one file, takes kills of its own: after each, and after the next
// change, Game.exe must be whole, old or new; no journal is left and
// Game.exe.bak stays the untouched file.
// Prints a summary of what the kills and races found.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/crash/crash_pairs.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kDllSize = 1u << 20;
constexpr int kGame = 0;
constexpr int kClient = 1;
const char* const kDllNames[2] = {"d2game.dll", "d2client.dll"};
const char kOneFile[] = "Game.exe";
// Two racing savers per round; every fifth round one of them is killed, and
// a plain round follows it to see its leftovers cleared.
constexpr int kRaceRounds = 50;
bool KilledRound(int round) {
  return round % 5 == 3;
}

// A DLL's state: bit p set when pair p's ranges stand exchanged.
using State = int;
constexpr int kStateCount = 1 << kCrashPairCount;

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

void SwapRange(std::string* bytes, size_t length, const char* first, const char* second) {
  auto at = [&](const char* offset) { return bytes->begin() + std::strtol(offset, nullptr, 16); };
  std::swap_ranges(at(first), at(first) + static_cast<long>(length), at(second));
}

// The exchange of one pair in the file named name, as the game stores it:
// 12 bytes of effects in d2game.dll, 20 of graphics and 16 of descriptions
// in d2client.dll; all three in Game.exe.
void ApplyPair(std::string* bytes, const std::string& name, int pair) {
  const CrashPair& offsets = kCrashPairs[pair];
  if (name != kDllNames[kClient]) SwapRange(bytes, 12, offsets.effects[0], offsets.effects[1]);
  if (name != kDllNames[kGame]) {
    SwapRange(bytes, 20, offsets.graphics[0], offsets.graphics[1]);
    SwapRange(bytes, 16, offsets.descriptions[0], offsets.descriptions[1]);
  }
}

struct Folder {
  fs::path work;                   // where the savers run
  fs::path game;                   // the version's files
  std::vector<std::string> names;  // d2game.dll and d2client.dll, or Game.exe alone
  std::string states[2][kStateCount];

  // The state file number file is in; -1 when it is none of them (torn, or
  // wrong).
  State Identify(int file) const {
    std::string now = ReadAll(game / names[file]);
    for (State state = 0; state < kStateCount; ++state) {
      if (now == states[file][state]) return state;
    }
    return -1;
  }

  // Files other than the version's, their backups and the lock file: what a
  // save in progress leaves behind (its temporary file or the journal).
  int Leftovers() const {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(game)) {
      std::string name = entry.path().filename().string();
      bool known = name == "orvanel.lock";
      for (const std::string& file : names) known = known || name == file || name == file + ".bak";
      count += !known;
    }
    return count;
  }
};

// Fills folder.game with random files of its names and predicts each
// state of each.
void MakeFiles(Folder* folder, std::mt19937& random) {
  fs::create_directories(folder->game);
  for (size_t file = 0; file < folder->names.size(); ++file) {
    std::string& original = folder->states[file][0];
    original.resize(kDllSize);
    for (char& byte : original) byte = static_cast<char>(random());
    WriteAll(folder->game / folder->names[file], original);
    for (State state = 1; state < kStateCount; ++state) {
      int pair = 0;
      while ((state >> pair & 1) == 0) ++pair;
      folder->states[file][state] = folder->states[file][state & ~(1 << pair)];
      ApplyPair(&folder->states[file][state], folder->names[file], pair);
    }
  }
}

// The exit code, or 128 + signal.
int Wait(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Starts "saver GAME mode argument" in the work folder (no argument when it
// is empty). With a gate the child waits until the gate's write end is
// closed, so that two start together. With errors >= 0 its stderr goes
// there; with output >= 0 its stdout, else nowhere.
pid_t Start(const std::string& saver, const Folder& folder, const char* mode,
            const std::string& argument, int gate[2] = nullptr, int errors = -1, int output = -1) {
  pid_t pid = fork();
  if (pid == 0) {
    if (gate != nullptr) {
      close(gate[1]);
      char byte;
      if (read(gate[0], &byte, 1) < 0) _exit(126);
    }
    if (errors >= 0) dup2(errors, 2);
    int out = output >= 0 ? output : open("/dev/null", O_WRONLY);
    if (out >= 0) dup2(out, 1);
    std::string game = folder.game.string();
    if (chdir(folder.work.c_str()) != 0) _exit(126);
    execl(saver.c_str(), saver.c_str(), game.c_str(), mode,
          argument.empty() ? nullptr : argument.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

pid_t Start(const std::string& saver, const Folder& folder, const char* mode, int pair,
            int gate[2] = nullptr, int errors = -1) {
  return Start(saver, folder, mode, std::to_string(pair), gate, errors);
}

// Runs "saver GAME mode argument" to its end: the exit code, and its stdout
// in *output.
int Run(const std::string& saver, const Folder& folder, const char* mode,
        const std::string& argument, std::string* output) {
  fs::path file = folder.work / "output.txt";
  int out = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int code = Wait(Start(saver, folder, mode, argument, nullptr, -1, out));
  close(out);
  *output = ReadAll(file);
  return code;
}

int Fail(const char* phase, int number, const std::string& what) {
  std::fprintf(stderr, "crash test: %s %d: %s (the savers' log.txt is in the test folder)\n", phase,
               number, what.c_str());
  return 1;
}

// The first exchange, which also makes the backups, and a second that puts
// the files back; *saveTime is how long the second took from process start.
int FirstSaves(const std::string& saver, const Folder& folder, Clock::duration* saveTime) {
  if (Wait(Start(saver, folder, "once", 0)) != 0) return Fail("start", 0, "the first save failed");
  for (size_t file = 0; file < folder.names.size(); ++file) {
    if (folder.Identify(static_cast<int>(file)) != 1) {
      return Fail(
          "start", 0,
          "the first save left " + folder.names[file] + " other than one exchange predicts");
    }
  }
  Clock::time_point started = Clock::now();
  bool back = Wait(Start(saver, folder, "once", 0)) == 0;
  *saveTime = Clock::now() - started;
  for (size_t file = 0; file < folder.names.size(); ++file) {
    back = back && folder.Identify(static_cast<int>(file)) == 0;
  }
  if (!back) return Fail("start", 0, "a second save did not restore the files");
  if (folder.Leftovers() > 0) {
    return Fail("start", 0, "a completed save left a file beside the version's files");
  }
  return 0;
}

struct KillTally {
  int before = 0, exchanged = 0, apart = 0, temporary = 0, restores = 0;
};

// Kills times starts "SAVER GAME loop PAIR" (a random pair), or every third
// time a restore, kills it after a random delay up to two saves' time and
// checks each file whole and as before or after, then runs the next change
// and checks that all files are together, nothing is left beside them, and
// a kill that left them apart is said to be undone. *state is the files'
// state, before and after.
int KillAndChange(const std::string& saver, const Folder& folder, const char* phase, int kills,
                  Clock::duration saveTime, std::mt19937& random, State* state, KillTally* tally) {
  // Delays from nothing to two changes' time: kills land in start-up,
  // locking, undoing, loading, writing the journal and the temporary files,
  // flushing, replacing and removing the journal. A third of the kills hit
  // a restore, which starts from files that hold an exchange.
  auto longest = std::chrono::duration_cast<std::chrono::microseconds>(saveTime * 2);
  std::uniform_int_distribution<long> delay(0, longest.count());
  std::uniform_int_distribution<int> anyPair(0, kCrashPairCount - 1);
  size_t files = folder.names.size();
  std::string output;
  for (int kill = 1; kill <= kills; ++kill) {
    bool restore = kill % 3 == 0;
    int pair = anyPair(random);
    if (restore && *state == 0) {
      if (Wait(Start(saver, folder, "once", pair)) != 0) {
        return Fail(phase, kill, "the exchange before a restore failed");
      }
      *state = 1 << pair;
    }
    State was = *state;
    pid_t pid = restore ? Start(saver, folder, "restore", "") : Start(saver, folder, "loop", pair);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(pid, SIGKILL);
    int code = Wait(pid);
    if (code != 128 + SIGKILL && !(restore && code == 0)) {
      return Fail(phase, kill, "the saver ended before the kill with code " + std::to_string(code));
    }
    tally->restores += restore;

    // Each file as the change found it or as it leaves it; two may differ.
    State seen[2];
    bool apart = false;
    for (size_t file = 0; file < files; ++file) {
      seen[file] = folder.Identify(static_cast<int>(file));
      if (seen[file] < 0)
        return Fail(phase, kill, folder.names[file] + " is in none of its states");
      if (seen[file] != was && seen[file] != (restore ? 0 : was ^ 1 << pair)) {
        return Fail(phase, kill, folder.names[file] + " holds another pair's change");
      }
      apart = apart || seen[file] != seen[0];
    }
    if (apart) {
      ++tally->apart;
    } else {
      seen[0] != was ? ++tally->exchanged : ++tally->before;
    }
    if (folder.Leftovers() > 0) ++tally->temporary;

    // The next change undoes what the kill left half way, then makes its own.
    int next = anyPair(random);
    if (Run(saver, folder, "once", std::to_string(next), &output) != 0) {
      return Fail(phase, kill, "the change after the kill failed: " + output);
    }
    State now = folder.Identify(0);
    for (size_t file = 1; file < files; ++file) {
      if (folder.Identify(static_cast<int>(file)) != now) {
        return Fail(phase, kill, "the change after the kill left the DLLs apart");
      }
    }
    if (now < 0) return Fail(phase, kill, "the change after the kill left a torn file");
    // Undone to where the killed change began: any file's state, or (the
    // loop's last exchange saved whole but not yet committed) the other one.
    State undone = now ^ 1 << next;
    bool foreseen = undone == was || (!restore && undone == (was ^ 1 << pair));
    for (size_t file = 0; file < files; ++file) foreseen = foreseen || undone == seen[file];
    if (!foreseen) return Fail(phase, kill, "the change after the kill left an unforeseen state");
    if (apart && output.find("An interrupted change was undone") == std::string::npos) {
      return Fail(phase, kill, "the change after a kill that left the DLLs apart did not say so");
    }
    *state = now;
    if (folder.Leftovers() > 0) {
      return Fail(phase, kill, "a completed change left a file beside the version's files");
    }
  }
  return 0;
}

// Each backup holds the untouched file.
int BackupsUntouched(const Folder& folder) {
  for (size_t file = 0; file < folder.names.size(); ++file) {
    fs::path backup = folder.game / (folder.names[file] + ".bak");
    if (ReadAll(backup) != folder.states[file][0]) {
      return Fail("end", 0, backup.filename().string() + " does not hold the untouched file");
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr, "usage: crash_driver SAVER FOLDER KILLS [SEED]\n");
    return 2;
  }
  std::string saver = fs::absolute(argv[1]).string();
  Folder folder;
  folder.work = fs::absolute(argv[2]);
  folder.game = folder.work / "game";
  folder.names = {kDllNames[kGame], kDllNames[kClient]};
  Folder oneFile{folder.work, folder.work / "one-file", {kOneFile}, {}};
  int kills = std::atoi(argv[3]);
  unsigned seed = argc == 5 ? static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10))
                            : static_cast<unsigned>(std::random_device{}());
  std::mt19937 random(seed);
  std::printf("crash test: %d kills, %d races, seed %u\n", kills, kRaceRounds, seed);
  std::fflush(stdout);  // before any failure on stderr

  fs::remove_all(folder.work);
  MakeFiles(&folder, random);
  MakeFiles(&oneFile, random);
  State state[2] = {0, 0};
  auto identify = [&](int dll, std::string* why) {
    State now = folder.Identify(dll);
    if (now < 0) *why = std::string(kDllNames[dll]) + " is in none of its states";
    return now;
  };
  std::string why;
  std::string output;

  Clock::duration saveTime;
  KillTally tally;
  if (FirstSaves(saver, folder, &saveTime) != 0 ||
      KillAndChange(saver, folder, "kill", kills, saveTime, random, &state[kGame], &tally) != 0) {
    return 1;
  }
  state[kClient] = state[kGame];
  if (kills > 0 && tally.apart == 0) {
    return Fail("kill", kills, "no kill fell between the two saves of a change: widen the delays");
  }

  // Every step of an exchange and of a restore, in turn, is the last one a
  // crash lets happen; the undo that follows must leave both DLLs as before
  // the change or both as after it.
  int stopsOld = 0, stopsNew = 0, stopPoints[2] = {0, 0};
  for (int kind = 0; kind < 2; ++kind) {
    const char* mode = kind == 0 ? "stop-swap" : "stop-restore";
    for (int step = 1;; ++step) {
      if (kind == 1 && state[kGame] == 0) {
        if (Wait(Start(saver, folder, "once", 0)) != 0) return Fail("stop", step, "no exchange");
        state[kGame] = state[kClient] = 1;
      }
      State old = state[kGame];
      State changed = kind == 0 ? old ^ 1 : 0;
      int code = Run(saver, folder, mode, std::to_string(step), &output);
      if (code != 3 && code != 0) return Fail("stop", step, "the change failed: " + output);
      if (Run(saver, folder, "recover", "", &output) != 0) {
        return Fail("stop", step, "the undo failed: " + output);
      }
      State now[2] = {folder.Identify(kGame), folder.Identify(kClient)};
      if (now[kGame] != now[kClient] || (now[kGame] != old && now[kGame] != changed)) {
        return Fail(
            "stop", step,
            std::string(mode) + ": after the undo the DLLs are neither all old nor all new");
      }
      if (fs::exists(folder.game / "orvanel.journal")) {
        return Fail("stop", step, "the undo left the journal");
      }
      now[kGame] == old ? ++stopsOld : ++stopsNew;
      state[kGame] = state[kClient] = now[kGame];
      ++stopPoints[kind];
      if (code == 0) break;  // the change ran to its end before this step
    }
  }

  // A program that changes a DLL between the stop and the next change: that
  // change is refused and writes nothing, the journal stays, and restore
  // brings back the originals and clears it.
  for (int step = 1;; ++step) {
    if (Run(saver, folder, "stop-swap", std::to_string(step), &output) != 3) {
      return Fail("foreign", step, "no step of an exchange left the DLLs apart");
    }
    if (folder.Identify(kGame) != folder.Identify(kClient)) break;
    if (Run(saver, folder, "recover", "", &output) != 0) return Fail("foreign", step, output);
  }
  std::string foreign = ReadAll(folder.game / "d2client.dll");
  foreign[std::strtol(kCrashPairs[1].descriptions[0], nullptr, 16)] ^= 0x5A;
  WriteAll(folder.game / "d2client.dll", foreign);
  std::string gameBefore = ReadAll(folder.game / "d2game.dll");
  std::string journal = ReadAll(folder.game / "orvanel.journal");
  if (Run(saver, folder, "once", "1", &output) != 1 ||
      output.find("d2client.dll was changed by something else") == std::string::npos) {
    return Fail("foreign", 0, "a change over a foreign change was not refused: " + output);
  }
  if (ReadAll(folder.game / "d2game.dll") != gameBefore ||
      ReadAll(folder.game / "d2client.dll") != foreign ||
      ReadAll(folder.game / "orvanel.journal") != journal) {
    return Fail("foreign", 0, "a refused change wrote something");
  }
  if (Run(saver, folder, "restore", "", &output) != 0 || folder.Identify(kGame) != 0 ||
      folder.Identify(kClient) != 0 || fs::exists(folder.game / "orvanel.journal")) {
    return Fail("foreign", 0, "restore did not bring back the originals: " + output);
  }
  state[kGame] = state[kClient] = 0;

  std::uniform_int_distribution<int> anyPair(0, kCrashPairCount - 1);
  int bothChanged = 0, oneRefused = 0, victimLanded = 0, victimMissing = 0, victimApart = 0;
  int victimDone = 0;
  // A kill lands within the time the last plain round took, so that it can
  // find the victim waiting for the lock, holding it, or not yet started.
  auto raceTime = saveTime * 2;
  for (int round = 0; round < kRaceRounds; ++round) {
    int gate[2];
    if (pipe(gate) != 0) return Fail("race", round, "no pipe");
    Clock::time_point raceStarted = Clock::now();
    pid_t pids[2] = {Start(saver, folder, "once", 0, gate), Start(saver, folder, "once", 1, gate)};
    close(gate[0]);
    close(gate[1]);
    int victim = KilledRound(round) ? anyPair(random) : -1;
    if (victim >= 0) {
      auto within = std::chrono::duration_cast<std::chrono::microseconds>(raceTime);
      std::this_thread::sleep_for(std::chrono::microseconds(
          std::uniform_int_distribution<long>(0, within.count())(random)));
      ::kill(pids[victim], SIGKILL);
    }
    int codes[2] = {Wait(pids[0]), Wait(pids[1])};
    if (victim < 0) raceTime = Clock::now() - raceStarted;
    bool killed[2];
    for (int pair = 0; pair < 2; ++pair) {
      killed[pair] = pair == victim && codes[pair] == 128 + SIGKILL;
      if (codes[pair] != 0 && codes[pair] != 1 && !killed[pair]) {
        return Fail(
            "race", round,
            "saver " + std::to_string(pair) + " ended with code " + std::to_string(codes[pair]));
      }
    }

    bool landed[2] = {false, false};
    for (int dll : {kGame, kClient}) {
      State now = identify(dll, &why);
      if (now < 0) return Fail("race", round, why);
      for (int pair = 0; pair < 2; ++pair) {
        bool changed = ((now ^ state[dll]) >> pair & 1) != 0;
        if (killed[pair]) {
          landed[dll] = changed;
        } else if (changed != (codes[pair] == 0)) {
          return Fail("race", round,
                      "saver " + std::to_string(pair) + " exited " + std::to_string(codes[pair]) +
                          (changed ? " but changed " : " without changing ") + kDllNames[dll]);
        }
      }
      state[dll] = now;
    }
    if (codes[0] == 0 && codes[1] == 0) ++bothChanged;
    if (codes[0] == 1 || codes[1] == 1) ++oneRefused;
    if (victim >= 0 && !killed[victim]) ++victimDone;
    if (victim >= 0 && killed[victim]) {
      if (landed[kGame] != landed[kClient]) {
        ++victimApart;
      } else {
        landed[kGame] ? ++victimLanded : ++victimMissing;
      }
      // What the victim left half way is undone before the next round.
      std::string output;
      if (Run(saver, folder, "recover", "", &output) != 0) return Fail("race", round, output);
      for (int dll : {kGame, kClient}) {
        state[dll] = identify(dll, &why);
        if (state[dll] < 0) return Fail("race", round, why);
      }
      if (state[kGame] != state[kClient]) {
        return Fail("race", round, "the undo after a killed racer left the DLLs apart");
      }
    } else if (folder.Leftovers() > 0) {
      return Fail("race", round, "completed saves left a file beside the DLLs");
    }
  }

  // A run that finds the lock held past its wait refuses and changes nothing.
  int lock = open((folder.game / "orvanel.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  int errors = open((folder.work / "busy.txt").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  struct flock firstByte = {};  // the byte both builds lock
  firstByte.l_type = F_WRLCK;
  firstByte.l_whence = SEEK_SET;
  firstByte.l_len = 1;
  if (lock < 0 || errors < 0 || fcntl(lock, F_SETLKW, &firstByte) != 0) {
    return Fail("busy", 0, "no lock");
  }
  int busyCode = Wait(Start(saver, folder, "once", "0", nullptr, -1, errors));
  close(lock);
  close(errors);
  if (busyCode != 1 ||
      ReadAll(folder.work / "busy.txt").find("Another Orvanel") == std::string::npos) {
    return Fail("busy", 0, "a run that waited for the lock in vain did not refuse");
  }
  if (folder.Identify(kGame) != state[kGame] || folder.Identify(kClient) != state[kClient]) {
    return Fail("busy", 0, "a run that could not take the lock changed the files");
  }

  if (BackupsUntouched(folder) != 0) return 1;

  // The one-file version: as many kills as a third of the DLLs' take.
  Clock::duration oneSaveTime;
  KillTally one;
  State oneState = 0;
  if (FirstSaves(saver, oneFile, &oneSaveTime) != 0 ||
      KillAndChange(saver, oneFile, "one-file kill", kills / 3, oneSaveTime, random, &oneState,
                    &one) != 0 ||
      BackupsUntouched(oneFile) != 0) {
    return 1;
  }
  long long saveMs = std::chrono::duration_cast<std::chrono::milliseconds>(saveTime).count();
  std::printf("crash test: passed (one exchange takes %lld ms from process start)\n", saveMs);
  std::printf("  after a kill both DLLs were as before %d times, both exchanged %d times,\n",
              tally.before, tally.exchanged);
  std::printf("  one changed and one not (killed between the two saves) %d times, each undone\n",
              tally.apart);
  std::printf("  by the next change; %d of the kills hit a restore; %d kills left a temporary\n",
              tally.restores, tally.temporary);
  std::printf("  file or the journal behind;\n");
  std::printf("  stopped after each step in turn: %d steps of an exchange, %d of a restore;\n",
              stopPoints[0], stopPoints[1]);
  std::printf("  the undo left both DLLs old %d times, both new %d times;\n", stopsOld, stopsNew);
  std::printf("  a DLL changed by another program after a stop: refused, journal kept;\n");
  std::printf("  races: both savers changed the files %d times, one was refused %d times;\n",
              bothChanged, oneRefused);
  std::printf(
      "  a killed racer's change was in both DLLs %d times, in neither %d, in one %d\n"
      "  (until the undo that followed);\n",
      victimLanded, victimMissing, victimApart);
  std::printf("  %d racers meant to be killed had ended before the kill;\n", victimDone);
  std::printf(
      "  Game.exe alone, killed %d times: whole and as before %d times, exchanged %d\n"
      "  times, %d kills left a temporary file behind; each time whole after the\n"
      "  next change, no journal, Game.exe.bak untouched\n",
      kills / 3, one.before, one.exchanged, one.temporary);
  return 0;
}

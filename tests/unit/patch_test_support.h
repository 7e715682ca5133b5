// Helpers for the tests of the patching core: DLL stand-ins, the log's lines,
// and the one SaveSteps double.
#ifndef ORVANEL_TESTS_UNIT_PATCH_TEST_SUPPORT_H_
#define ORVANEL_TESTS_UNIT_PATCH_TEST_SUPPORT_H_

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "io/save_steps.h"
#include "patch/dll_patcher.h"
#include "tests/support/dll_bytes.h"
#include "tests/unit/test_support.h"

// The lines of log.txt without their line ends (CR LF on Windows).
inline std::vector<std::string> LogLines() {
  std::vector<std::string> lines;
  std::string text = ReadFileBytes("log.txt");
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// The real file system, except for one chosen fault: a step fails the way it
// would on a full disk or a locked file (the failing write has written half
// its bytes), or every written byte is changed on its way to the disk. It
// records the files opened and replaced, and can refuse to replace one file.
// A failing step leaves code as the system's error (0: none given).
class FaultySteps : public SaveSteps {
 public:
  enum Fault { kNone, kOpen, kWrite, kFlush, kClose, kReplace, kCorrupt };

  explicit FaultySteps(Fault fault = kNone, int failingWrite = 0)
      : fault_(fault), failingWrite_(failingWrite) {}

  // Every read of a whole file and open for update counts, by file name.
  bool ReadWhole(const char* path, ByteBuffer* bytes) override {
    ++reads[FileName(path)];
    return SaveSteps::ReadWhole(path, bytes);
  }
  FILE* OpenForUpdate(const char* path) override {
    ++reads[FileName(path)];
    return refuseOpen == path ? Fail<FILE*>(nullptr) : SaveSteps::OpenForUpdate(path);
  }
  FILE* Open(const char* path) override {
    opened.push_back(path);
    return Faulty(kOpen) ? Fail<FILE*>(nullptr) : SaveSteps::Open(path);
  }
  bool Write(FILE* file, const uint8_t* bytes, size_t count) override {
    int write = opened.size() > spared ? writes++ : -1;
    if (fault_ == kWrite && write == failingWrite_) {
      SaveSteps::Write(file, bytes, count / 2);
      return Fail(false);
    }
    if (!Faulty(kCorrupt)) return SaveSteps::Write(file, bytes, count);
    std::vector<uint8_t> changed(bytes, bytes + count);
    for (uint8_t& byte : changed) byte ^= 0x20;
    return SaveSteps::Write(file, changed.data(), count);
  }
  bool Flush(FILE* file) override { return Faulty(kFlush) ? Fail(false) : SaveSteps::Flush(file); }
  bool Close(FILE* file) override {
    return SaveSteps::Close(file) && (!Faulty(kClose) || Fail(false));
  }
  bool Replace(const char* from, const char* to) override {
    bool again = refuseAgain == to && Replaced(to);
    replaced.push_back(to);
    if (Faulty(kReplace) || refuse == to || again) return Fail(false);
    order += std::string(order.empty() ? "" : " ") + FileName(to);
    return SaveSteps::Replace(from, to);
  }
  bool Remove(const char* path) override {
    order += std::string(order.empty() ? "" : " ") + "-" + FileName(path);
    if (refuseRemove == path) return Fail(false);
    return SaveSteps::Remove(path);
  }
  bool FlushFolder(const char* path) override {
    order += order.empty() ? "|" : " |";
    return SaveSteps::FlushFolder(path);
  }

  bool Replaced(const char* path) const {
    return std::find(replaced.begin(), replaced.end(), path) != replaced.end();
  }

  std::vector<std::string> opened;
  std::vector<std::string> replaced;
  // The names put in place ("d2game.dll"), removed ("-orvanel.journal") and
  // the folder's flushes ("|"), in their order.
  std::string order;
  std::map<std::string, int> reads;
  int writes = 0;
  std::string refuse;        // a path whose replacement fails
  std::string refuseOpen;    // a path that cannot be opened for update (in use)
  std::string refuseAgain;   // a path whose replacements after the first fail
  std::string refuseRemove;  // a path whose removal fails
  int code = 0;
  size_t spared = 0;  // the first saves (by their opens), which meet no fault

 private:
  static std::string FileName(const std::string& path) {
    return path.substr(path.find_last_of("\\/") + 1);
  }
  bool Faulty(Fault fault) const { return fault_ == fault && opened.size() > spared; }
  template <typename T>
  T Fail(T value) {
    SetSystemError(code);
    return value;
  }

  Fault fault_;
  int failingWrite_;
};

// A game folder "game" with a d2game.dll of 5000 bytes and a d2client.dll of
// 7000, and a patcher aimed at it.
class GameFolderTest : public InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    patcher_.UseFolder("game");
    game_ = DllBytes(5000, 1);
    client_ = DllBytes(7000, 2);
    WriteFileBytes("game/d2game.dll", game_);
    WriteFileBytes("game/d2client.dll", client_);
  }
  // One change as the exchange makes it: load, swap, save; the two ranges
  // join those the tables name, in which the DLL may differ from its backup.
  int Change(int fileNumber, const char* a, const char* b) {
    for (const char* offset : {a, b}) {
      uint32_t start = static_cast<uint32_t>(std::stoul(offset, nullptr, 16));
      patcher_.changeable[fileNumber].push_back({start, 12});
    }
    return patcher_.LoadFile(fileNumber) && patcher_.SwapRanges(12, a, b) &&
           patcher_.SaveFile(fileNumber);
  }

  DllPatcher patcher_;
  std::string game_;
  std::string client_;
};

#endif  // ORVANEL_TESTS_UNIT_PATCH_TEST_SUPPORT_H_

// A fresh working folder for one run of Orvanel.exe, with the data tables,
// the configuration and the two DLLs the tests need, and the bytes expected
// after an exchange.
#ifndef ORVANEL_TESTS_E2E_WORKSPACE_H_
#define ORVANEL_TESTS_E2E_WORKSPACE_H_

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

enum Aspect { kEffects, kGraphics, kDescriptions };

// The tables: classes Amazon, Sorceress and Empty (no skills), each skill
// with its own three ranges per version. Amazon's third skill is "Cold Arrow"
// in the first version's table and "Ice Arrow" in the second's.
extern const char* const kClassNames[3];
extern const char* const kSkillNames[2][2][3];  // [class][version][skill]

constexpr uint32_t kGameDllSize = 0x1000;
constexpr uint32_t kClientDllSize = 0x2000;

// The file offset of a skill's range in its DLL.
uint32_t RangeOffset(Aspect aspect, int classIndex, int skillIndex, int version);
uint32_t RangeLength(Aspect aspect);

class Workspace {
 public:
  // Empties (or creates) a folder named name beside the test program.
  explicit Workspace(const std::string& name);

  const std::string& Dir() const { return dir_; }
  // The game folder; its name holds a blank.
  std::string GameDir() const { return dir_ + "\\game files"; }
  std::string Path(const std::string& relative) const { return dir_ + "\\" + relative; }

  // data\versions.txt, data\classes.txt and every skill table.
  void WriteTables();
  // data\config.txt naming GameDir() as the program stores it.
  void WriteConfig();
  // Both DLLs in GameDir(), each a fixed pattern of bytes.
  void WriteDlls();
  // All of the above.
  void WriteAll();

  void WriteFile(const std::string& relative, const std::string& bytes) const;
  bool Exists(const std::string& relative) const;
  Bytes Read(const std::string& relative) const;
  void Remove(const std::string& relative) const;

 private:
  std::string dir_;
};

// The pattern the DLLs start with.
Bytes GameDllBytes();
Bytes ClientDllBytes();
// Exchanges a range of two skills inside bytes, as the program should.
void ExchangeRange(Bytes* bytes, Aspect aspect, int firstClass, int firstSkill, int secondClass,
                   int secondSkill, int version);

#endif  // ORVANEL_TESTS_E2E_WORKSPACE_H_

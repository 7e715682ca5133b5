// The exchange as the window and the command line run it: selection values
// in, the DLLs changed and the result text out.
#include "exchange/exchange.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "change/transaction.h"
#include "exchange/restore.h"
#include "io/change_lock.h"
#include "io/file_paths.h"
#include "io/save_steps.h"
#include "io/virtual_store.h"
#include "sets/set_apply.h"
#include "sets/status.h"
#include "tests/unit/patch_test_support.h"

#ifdef _WIN32
#include <windows.h>
constexpr int kInUseCode = ERROR_SHARING_VIOLATION;
constexpr int kDeniedCode = ERROR_ACCESS_DENIED;
constexpr int kDiskFullCode = ERROR_DISK_FULL;
#else
#include <cerrno>
constexpr int kInUseCode = ETXTBSY;
constexpr int kDeniedCode = EACCES;
constexpr int kDiskFullCode = ENOSPC;
#endif

namespace fs = std::filesystem;

namespace {

constexpr size_t kDllSize = 0x1000;
const char kErrors[] = "There were errors in your request\n";
// The user reads paths with one kind of separator, the platform's.
const std::string kGame = ShownPath("game\\d2game.dll");
const std::string kBroken = ShownPath("data\\Broken 109b.txt");
const std::string kGameMissing =
    kGame + " was not found: check the game folder (File > Set .dll Location)\n";
const char kCorrect[] = "correct the table (orvanel-cli check lists them all)\n";
const char kHeldBack[] =
    "held back so that the DLLs are not left half changed: the other line says what to do\n";

struct Offsets {
  const char* effects;
  const char* graphics;
  const char* descriptions;
};

// Offsets may be left empty (missing columns).
void AddSkill(RecordList* list, const std::string& name, Offsets offsets) {
  auto* skill = new SkillRecord;
  std::snprintf(skill->name, sizeof skill->name, "%s", name.c_str());
  std::snprintf(skill->effectsOffset, 6, "%s", offsets.effects);
  std::snprintf(skill->graphicsOffset, 6, "%s", offsets.graphics);
  std::snprintf(skill->descriptionsOffset, 6, "%s", offsets.descriptions);
  skill->AddToList(list);
}

// bytes with the length bytes at a and at b exchanged (ranges apart).
std::string Exchanged(std::string bytes, size_t length, size_t a, size_t b) {
  std::string atA = bytes.substr(a, length);
  bytes.replace(a, length, bytes.substr(b, length));
  bytes.replace(b, length, atA);
  return bytes;
}

SkillSelection Select(int32_t version, int32_t firstClass, int32_t firstSkill, int32_t secondClass,
                      int32_t secondSkill, bool effects, bool graphics, bool descriptions) {
  SkillSelection s;
  s.version = version;
  s.firstClass = firstClass;
  s.firstSkill = firstSkill;
  s.secondClass = secondClass;
  s.secondSkill = secondSkill;
  s.ticked[0] = effects;
  s.ticked[1] = graphics;
  s.ticked[2] = descriptions;
  return s;
}

// Amazon (class 0), Sorceress (class 1) and Broken (class 2, whose skills
// lack offsets or point outside the files, and which has no version 1 list).
class ExchangeTest : public InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    patcher_.UseFolder("game");
    patcher_.saveSteps = &steps_;
    gameBytes_ = DllBytes(kDllSize, 1);
    clientBytes_ = DllBytes(kDllSize, 2);
    WriteFileBytes("game/d2game.dll", gameBytes_);
    WriteFileBytes("game/d2client.dll", clientBytes_);

    auto* amazon = new ClassRecord;
    std::snprintf(amazon->name, sizeof amazon->name, "Amazon");
    AddSkill(&amazon->skillLists[0], "Magic Arrow", {"100", "200", "300"});
    AddSkill(&amazon->skillLists[0], "Jab", {"140", "240", "340"});
    AddSkill(&amazon->skillLists[1], "Magic Arrow", {"400", "500", "600"});
    AddSkill(&amazon->skillLists[1], "Jab", {"440", "540", "640"});
    amazon->skillLists.push_back(nullptr);  // a third version, e.g. 1.10
    AddSkill(&amazon->skillLists[2], "Magic Arrow", {"700", "800", "900"});
    AddSkill(&amazon->skillLists[2], "Jab", {"740", "840", "940"});
    amazon->AddToList(&classes_);
    auto* sorceress = new ClassRecord;
    std::snprintf(sorceress->name, sizeof sorceress->name, "Sorceress");
    AddSkill(&sorceress->skillLists[0], "Fire Bolt", {"180", "280", "380"});
    AddSkill(&sorceress->skillLists[1], "Fire Bolt", {"480", "580", "680"});
    sorceress->skillLists.push_back(nullptr);
    AddSkill(&sorceress->skillLists[2], "Fire Bolt", {"780", "880", "980"});
    sorceress->AddToList(&classes_);
    auto* broken = new ClassRecord;
    std::snprintf(broken->name, sizeof broken->name, "Broken");
    AddSkill(&broken->skillLists[0], "No Effects", {"", "2C0", "3C0"});
    AddSkill(&broken->skillLists[0], "Past The End", {"FFF", "2C0", "3C0"});
    broken->AddToList(&classes_);
  }
  void TearDown() override {
    FreeList<ClassRecord>(&classes_);
    InTempDir::TearDown();
  }

  std::string Run(const SkillSelection& selection, int expectedResult) {
    char result[kResultSize + 32];
    std::memset(result, '#', sizeof result);
    EXPECT_EQ(ExchangeSkills(patcher_, versionList, classes_, selection, result), expectedResult);
    for (size_t i = kResultSize; i < sizeof result; ++i) {
      EXPECT_EQ(result[i], '#') << "written past the result buffer at " << i;
    }
    EXPECT_LT(std::strlen(result), static_cast<size_t>(kResultSize));
    return result;
  }
  std::string Game() const { return ReadFileBytes("game/d2game.dll"); }
  std::string Client() const { return ReadFileBytes("game/d2client.dll"); }

  DllPatcher patcher_;
  FaultySteps steps_;
  RecordList classes_ = nullptr;
  std::string gameBytes_;
  std::string clientBytes_;
};

// Nothing ticked: no DLL is even opened (a load of the missing files would
// be logged), whatever the rest of the selection says.
TEST_F(ExchangeTest, NothingTickedTouchesNoFile) {
  fs::remove_all("game");
  EXPECT_EQ(Run(Select(0, 0, 0, 1, 0, false, false, false), 1), "No changes made\n");
  EXPECT_EQ(Run(Select(-1, -1, -1, -1, -1, false, false, false), 1), "No changes made\n");
  EXPECT_FALSE(fs::exists("game"));
  EXPECT_FALSE(fs::exists("log.txt"));
  EXPECT_TRUE(steps_.replaced.empty());
}

TEST_F(ExchangeTest, EffectsAloneChangeOnlyTheGameDll) {
  EXPECT_EQ(Run(Select(0, 0, 0, 1, 0, true, false, false), 1),
            "Magic Arrow <-> Fire Bolt\n   Effects\n");
  EXPECT_TRUE(Game() == Exchanged(gameBytes_, 12, 0x100, 0x180));
  EXPECT_TRUE(Client() == clientBytes_);
  EXPECT_FALSE(steps_.Replaced("game\\d2client.dll"));
  EXPECT_FALSE(fs::exists("log.txt"));
}

// Graphics and descriptions both live in d2client.dll: the second change
// starts from the file the first one wrote.
TEST_F(ExchangeTest, AllThreeAspectsInTheirOrder) {
  EXPECT_EQ(Run(Select(0, 0, 1, 1, 0, true, true, true), 1),
            "Jab <-> Fire Bolt\n   Effects\n   Graphics\n   Descriptions\n");
  EXPECT_TRUE(Game() == Exchanged(gameBytes_, 12, 0x140, 0x180));
  EXPECT_TRUE(Client() == Exchanged(Exchanged(clientBytes_, 20, 0x240, 0x280), 16, 0x340, 0x380));

  EXPECT_EQ(Run(Select(0, 1, 0, 0, 0, false, true, true), 1),
            "Fire Bolt <-> Magic Arrow\n   Graphics\n   Descriptions\n");
}

TEST_F(ExchangeTest, AMissingGameDllStillExchangesTheClientDll) {
  fs::remove("game/d2game.dll");
  // The window's text is never cut; the retry's words make it longer than
  // the fixed buffer.
  EXPECT_EQ(
      RunExchange(patcher_, versionList, classes_, Select(0, 0, 0, 1, 0, true, true, true)).text,
      std::string(kErrors) +
          "   Effects: not exchanged: " + kGameMissing.substr(0, kGameMissing.size() - 1) +
          "; Swap again as ticked would exchange Graphics, Descriptions back: tick only "
          "Effects\n   Graphics: exchanged\n   Descriptions: exchanged\n");
  EXPECT_TRUE(Client() == Exchanged(Exchanged(clientBytes_, 20, 0x200, 0x280), 16, 0x300, 0x380));
  EXPECT_FALSE(fs::exists("game/d2game.dll"));
}

// Another run holds the game folder's lock all the time the exchange may
// wait: it refuses, says why, and touches no file.
TEST_F(ExchangeTest, AnotherRunsLockRefusesTheExchange) {
  ChangeLock other("game\\d2game.dll");
  ASSERT_TRUE(other.Held());
  std::string text;
  EXPECT_EQ(ExchangeSkills(patcher_, versionList, classes_,
                           Select(0, 0, 0, 1, 0, true, false, true), &text),
            0);
  // One reason stops both aspects: it is said once.
  EXPECT_EQ(text, std::string(kErrors) +
                      "   Effects, Descriptions: not exchanged: another Orvanel is changing these "
                      "files: try again when it has finished\n"
                      "Another Orvanel is changing these files: nothing was changed.\n");
  EXPECT_TRUE(steps_.replaced.empty());
  EXPECT_TRUE(Game() == gameBytes_);
  EXPECT_TRUE(Client() == clientBytes_);
}

TEST_F(ExchangeTest, TheSameSkillOnBothSidesChangesNoByte) {
  EXPECT_EQ(Run(Select(0, 0, 1, 0, 1, true, true, true), 1),
            "Jab <-> Jab\n   Effects\n   Graphics\n   Descriptions\n");
  EXPECT_TRUE(Game() == gameBytes_);
  EXPECT_TRUE(Client() == clientBytes_);
}

TEST_F(ExchangeTest, SwappingTwiceRestoresBothFiles) {
  SkillSelection selection = Select(0, 0, 0, 1, 0, true, true, true);
  Run(selection, 1);
  ASSERT_FALSE(Game() == gameBytes_);
  ASSERT_FALSE(Client() == clientBytes_);
  Run(selection, 1);
  EXPECT_TRUE(Game() == gameBytes_);
  EXPECT_TRUE(Client() == clientBytes_);
}

// Each later version position takes the records of the classes' list for
// it, with their own offsets.
TEST_F(ExchangeTest, EachVersionUsesItsOwnRecordsAndOffsets) {
  for (int32_t version : {1, 2}) {
    uint32_t at = 0x400 + 0x300 * static_cast<uint32_t>(version - 1);
    EXPECT_EQ(Run(Select(version, 0, 1, 1, 0, true, true, true), 1),
              "Jab <-> Fire Bolt\n   Effects\n   Graphics\n   Descriptions\n");
    EXPECT_TRUE(Game() == Exchanged(gameBytes_, 12, at + 0x40, at + 0x80));
    EXPECT_TRUE(Client() == Exchanged(Exchanged(clientBytes_, 20, at + 0x140, at + 0x180), 16,
                                      at + 0x240, at + 0x280));
    Run(Select(version, 0, 1, 1, 0, true, true, true), 1);  // back again
  }
}

// A selection that finds no record opens no file (a load of the missing
// DLLs would be logged) and is reported as an error.
TEST_F(ExchangeTest, ASelectionWithoutARecordTouchesNoFile) {
  fs::remove_all("game");
  const SkillSelection selections[] = {
      Select(0, -1, 0, 1, 0, true, true, true),   // no first class selected
      Select(0, 0, 0, 1, -1, true, true, true),   // no second skill selected
      Select(0, 3, 0, 1, 0, true, false, false),  // beyond the class list
      Select(0, 0, 2, 1, 0, false, true, false),  // beyond the skill list
      Select(0, 0, 0, 1, 1, false, false, true),
      Select(3, 0, 0, 1, 0, true, true, true),  // a version without skill data
      Select(-1, 0, 0, 1, 0, true, true, true),
      Select(1, 2, 0, 0, 0, true, true, true),  // a class without a version 1 table
  };
  for (const SkillSelection& selection : selections) {
    std::string text = Run(selection, 0);
    EXPECT_EQ(text.rfind(kErrors, 0), 0u) << text;
    EXPECT_NE(text.find(": not exchanged: no skill in the tables matches this selection"),
              std::string::npos)
        << text;
  }
  EXPECT_FALSE(fs::exists("game"));
  EXPECT_FALSE(fs::exists("log.txt"));
  EXPECT_TRUE(steps_.replaced.empty());
}

// An offset that is missing or leads outside the file refuses the whole
// exchange before anything is written: a half-done exchange would leave the
// skills mixed. The text says error.
TEST_F(ExchangeTest, ABadOffsetRefusesTheWholeExchange) {
  EXPECT_EQ(Run(Select(0, 2, 0, 0, 0, true, true, false), 0),
            std::string(kErrors) + "   Effects: not exchanged: " + kBroken +
                ": Effects offset \"\" of No Effects is missing or not upper-case hexadecimal: " +
                kCorrect);  // the Graphics line does not fit the 256 bytes: left out whole
  EXPECT_TRUE(steps_.replaced.empty());
  EXPECT_TRUE(Game() == gameBytes_);
  EXPECT_TRUE(Client() == clientBytes_);

  steps_.replaced.clear();
  EXPECT_EQ(Run(Select(0, 1, 0, 2, 1, true, false, false), 0),
            std::string(kErrors) + "   Effects: not exchanged: " + kBroken +
                ": Effects offset \"FFF\" of Past The End lies outside " + kGame +
                " (4096 bytes): " + kCorrect);
  EXPECT_FALSE(steps_.Replaced("game\\d2game.dll"));
  EXPECT_TRUE(Game() == gameBytes_);
}

// A skill read from a line in pieces, or one that is not the skill the box
// shows, is never exchanged; the result says where, and nothing is written.
TEST_F(ExchangeTest, ASkillThatCannotBeTrustedRefusesTheWholeExchange) {
  RecordNode* jab = AtPosition(static_cast<ClassRecord*>(classes_)->skillLists[0], 1);
  jab->inPieces = true;
  jab->line = 7;
  // Longer than the 256-byte result the window's buffer keeps: the whole text.
  std::string text;
  EXPECT_EQ(ExchangeSkills(patcher_, versionList, classes_,
                           Select(0, 0, 1, 1, 0, true, true, false), &text),
            0);
  EXPECT_EQ(text, std::string(kErrors) +
                      "   Effects, Graphics: not exchanged: " + ShownPath("data\\Amazon 109b.txt") +
                      " line 7: line longer than 253 characters: the program reads it in pieces "
                      "and exchanges none of them: shorten the line: " +
                      kCorrect);
  jab->inPieces = false;
  RecordNode* other = AtPosition(static_cast<ClassRecord*>(classes_->next)->skillLists[1], 0);
  std::snprintf(other->name, sizeof other->name, "Blizzard");
  other->line = 12;
  EXPECT_EQ(Run(Select(1, 0, 1, 1, 0, false, false, true), 0),
            std::string(kErrors) + "   Descriptions: not exchanged: the box shows \"Fire Bolt\" (" +
                ShownPath("data\\Sorceress 109b.txt") + " line 0) but " +
                ShownPath("data\\Sorceress 109d.txt") +
                " line 12 is \"Blizzard\": not exchanged\n");
  EXPECT_TRUE(steps_.replaced.empty());
  EXPECT_TRUE(Game() == gameBytes_);
  EXPECT_TRUE(Client() == clientBytes_);
}

TEST_F(ExchangeTest, AFailedSaveIsReportedAsAnError) {
  steps_.refuse = "game\\d2client.dll";
  EXPECT_EQ(Run(Select(0, 0, 0, 1, 0, false, true, false), 0),
            std::string(kErrors) + "   Graphics: not exchanged: " +
                ShownPath("game\\d2client.dll") + " could not be replaced: try again\n");
  EXPECT_TRUE(Client() == clientBytes_);

  // d2game.dll saved, then d2client.dll refused: d2game.dll is put back.
  EXPECT_EQ(Run(Select(0, 0, 0, 1, 0, true, true, false), 0),
            std::string(kErrors) + "   Effects: not exchanged: " + kHeldBack +
                "   Graphics: not exchanged: " + ShownPath("game\\d2client.dll") +
                " could not be replaced: try again\n");
  EXPECT_TRUE(steps_.Replaced("game\\d2game.dll"));
  EXPECT_TRUE(Game() == gameBytes_);
  EXPECT_TRUE(Client() == clientBytes_);
  EXPECT_FALSE(fs::exists("game/orvanel.journal"));

  // Putting d2game.dll back fails too: the result says it is exchanged, and
  // the journal stays for the next change to put the two together.
  steps_.replaced.clear();
  steps_.refuseAgain = "game\\d2game.dll";
  ExchangeOutcome apart =
      RunExchange(patcher_, versionList, classes_, Select(0, 0, 0, 1, 0, true, true, false));
  EXPECT_FALSE(apart.done);
  EXPECT_EQ(apart.apart.problem, Problem::kApart);
  EXPECT_NE(apart.text.find("   Effects: exchanged\n   Graphics: not exchanged: "),
            std::string::npos)
      << apart.text;
  EXPECT_NE(apart.text.find("d2game.dll is changed and d2client.dll not"), std::string::npos);
  EXPECT_FALSE(Game() == gameBytes_);
  EXPECT_TRUE(fs::exists("game/orvanel.journal"));
  steps_.refuse = steps_.refuseAgain = "";
  std::string recovered;
  EXPECT_EQ(RecoverGameFolder(patcher_, nullptr, classes_, &recovered), 1);
  EXPECT_EQ(recovered.rfind("An interrupted change was undone", 0), 0u) << recovered;
  EXPECT_TRUE(Game() == gameBytes_);
}

// Names of 255 characters: the text stays inside its 256 bytes, the names
// are cut and every aspect line still shows.
TEST_F(ExchangeTest, VeryLongNamesNeverOverflowAndKeepTheAspectLines) {
  std::string first(255, 'F');
  std::string second(255, 'S');
  AddSkill(&static_cast<ClassRecord*>(classes_)->skillLists[0], first, {"800", "800", "800"});
  AddSkill(&static_cast<ClassRecord*>(classes_)->skillLists[0], second, {"900", "900", "900"});
  const std::string aspects = "\n   Effects\n   Graphics\n   Descriptions\n";

  std::string text = Run(Select(0, 0, 2, 0, 3, true, true, true), 1);
  EXPECT_EQ(text.size(), static_cast<size_t>(kResultSize - 1));
  ASSERT_GE(text.size(), aspects.size());
  EXPECT_EQ(text.substr(text.size() - aspects.size()), aspects);
  size_t join = text.find(" <-> ");
  ASSERT_NE(join, std::string::npos);
  EXPECT_EQ(text.substr(0, join), std::string(join, 'F'));
  EXPECT_GT(join, 90u);  // both names keep a fair share
  EXPECT_EQ(text.substr(join + 5, text.size() - aspects.size() - join - 5),
            std::string(text.size() - aspects.size() - join - 5, 'S'));

  // A short name is kept whole; only the long one is cut.
  text = Run(Select(0, 1, 0, 0, 3, true, false, false), 1);
  EXPECT_EQ(text.substr(0, 14), "Fire Bolt <-> ");
  EXPECT_EQ(text.size(), static_cast<size_t>(kResultSize - 1));
  EXPECT_EQ(text.substr(text.size() - 12), "\n   Effects\n");
}

// Every kind of failure gives its aspects their own reason, with the next
// step. Aspects of a DLL that cannot be opened, or whose backup cannot be the
// original, do not stop the other DLL's; a save that fails holds the other
// DLL back, or puts it back (both DLLs or neither).
TEST_F(ExchangeTest, EveryFailureGivesEachAspectItsReason) {
  struct Case {
    FaultySteps::Fault fault;
    int code;
    const char* file;  // d2game.dll removed ("-"), given a foreign backup ("bak"), or
                       // d2client.dll held open ("busy")
    int32_t firstClass, firstSkill;
    std::string effects;  // the start of the Effects reason
    bool graphicsDone;
  };
  const Case cases[] = {
      {FaultySteps::kReplace, kInUseCode, "", 0, 0,
       kGame + " is in use by another program: close the game and try again", false},
      {FaultySteps::kOpen, kDeniedCode, "", 0, 0, "access to " + ShownPath("game\\~ov"), false},
      {FaultySteps::kWrite, kDiskFullCode, "", 0, 0, "the disk is full, so " + kGame, false},
      {FaultySteps::kNone, 0, "-", 0, 0, kGame + " was not found: check the game folder", true},
      // The game holds d2client.dll: d2game.dll's Effects are not exchanged either.
      {FaultySteps::kNone, kInUseCode, "busy", 0, 0,
       ShownPath("game\\d2client.dll") +
           " is in use by another program: nothing was exchanged: close the game, then press "
           "Swap again",
       false},
      {FaultySteps::kNone, 0, "bak", 0, 0,
       "the backup " + kGame +
           ".bak has 5 bytes, the DLL 4096, so it cannot be the original: if the DLL is "
           "untouched",
       true},
      {FaultySteps::kNone, 0, "", 2, 1, kBroken + ": Effects offset \"FFF\"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.effects);
    WriteFileBytes("game/d2game.dll", gameBytes_);
    WriteFileBytes("game/d2client.dll", clientBytes_);
    fs::remove("game/d2game.dll.bak");
    fs::remove("game/d2client.dll.bak");
    if (std::string(c.file) == "-") fs::remove("game/d2game.dll");
    if (std::string(c.file) == "bak") WriteFileBytes("game/d2game.dll.bak", "other");
    FaultySteps steps(c.fault);
    steps.code = c.code;
    steps.spared = 1;  // the journal
    // Only d2game.dll's save meets the fault: the backups are made first.
    patcher_.saveSteps = &steps_;
    if (std::string(c.file) == "busy") {
      steps.refuseOpen = patcher_.dllPaths[kClientDll];
      patcher_.saveSteps = &steps;
    }
    if (c.fault != FaultySteps::kNone) {
      WriteFileBytes("game/d2game.dll.bak", gameBytes_);
      WriteFileBytes("game/d2client.dll.bak", clientBytes_);
      patcher_.saveSteps = &steps;
    }
    ExchangeOutcome outcome =
        RunExchange(patcher_, versionList, classes_,
                    Select(0, c.firstClass, c.firstSkill, 1, 0, true, true, false));
    EXPECT_FALSE(outcome.done);
    const std::string& text = outcome.text;
    const std::vector<AspectOutcome>& outcomes = outcome.aspects;
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_FALSE(outcomes[0].done);
    EXPECT_EQ(UserReason(outcomes[0].error).rfind(c.effects, 0), 0u)
        << UserReason(outcomes[0].error);
    // One reason for both when the whole swap stops, else Effects' own line.
    std::string aspects = std::string(c.file) == "busy" ? "Effects, Graphics" : "Effects";
    EXPECT_EQ(text.find(std::string(kErrors) + "   " + aspects + ": not exchanged: " + c.effects),
              0u)
        << text;
    EXPECT_EQ(outcomes[1].done, c.graphicsDone);
    // Half a swap says that the same Swap would exchange the done half back.
    EXPECT_EQ(text.find("would exchange Graphics back: tick only Effects") != std::string::npos,
              c.graphicsDone)
        << text;
    if (std::string(c.file) != "-") {
      EXPECT_TRUE(Game() == gameBytes_);
    }
  }
  patcher_.saveSteps = &steps_;
}

// status names each exchanged pair with its aspects, and a range changed
// otherwise; after restore there are no changes.
TEST_F(ExchangeTest, StatusNamesThePairsAndForeignChanges) {
  std::vector<std::string> lines;
  EXPECT_EQ(DescribeChanges(patcher_, nullptr, classes_, 0, &lines), 1);
  EXPECT_EQ(lines,
            (std::vector<std::string>{"# no backup: nothing has been changed", "version 0"}));

  auto* sorceress = static_cast<ClassRecord*>(classes_->next);
  AddSkill(&sorceress->skillLists[0], "Nova", {"1C0", "2E0", "3E0"});
  Run(Select(0, 0, 0, 1, 0, true, true, false), 1);   // Magic Arrow <-> Fire Bolt
  Run(Select(0, 0, 1, 1, 1, false, false, true), 1);  // Jab <-> Nova
  std::string game = Game();
  game.replace(0x140, 3, "xyz");  // inside Jab's Effects
  WriteFileBytes("game/d2game.dll", game);

  lines.clear();
  EXPECT_EQ(DescribeChanges(patcher_, nullptr, classes_, 0, &lines), 1);
  EXPECT_EQ(
      lines,
      (std::vector<std::string>{
          "version 0", "Amazon:Magic Arrow <-> Sorceress:Fire Bolt: Effects, Graphics",
          "Amazon:Jab <-> Sorceress:Nova: Descriptions",
          "# Amazon:Jab: Effects changed by something else (d2game.dll bytes 0x140..0x14B)"}));

  patcher_.saveSteps = &SaveSteps::System();
  EXPECT_EQ(RestoreBoth(patcher_, nullptr, classes_).restored, 2);
  lines.clear();
  EXPECT_EQ(DescribeChanges(patcher_, nullptr, classes_, 0, &lines), 1);
  EXPECT_EQ(lines, (std::vector<std::string>{"# no changes", "version 0"}));

  // A DLL, or the whole folder, that cannot be read: no "no changes".
  fs::remove("game/d2client.dll");
  lines.clear();
  EXPECT_EQ(DescribeChanges(patcher_, nullptr, classes_, 0, &lines), 0);
  DllPatcher nowhere;
  nowhere.UseFolder("nowhere");
  lines.clear();
  EXPECT_EQ(DescribeChanges(nowhere, nullptr, classes_, 0, &lines), 0);
  EXPECT_EQ(lines, std::vector<std::string>{"# " + ShownPath("nowhere\\d2game.dll") +
                                            " was not found: check the game folder (File > Set "
                                            ".dll Location)"});
}

// A dry run is the exchange with nothing written: it refuses what the
// exchange refuses (here a backup that cannot be the original) and shows
// the ranges of the DLL that would change.
TEST_F(ExchangeTest, ADryRunAndTheExchangeAgreeOnAForeignBackup) {
  WriteFileBytes("game/d2game.dll.bak", "other");
  SkillSelection selection = Select(0, 0, 0, 1, 0, true, true, false);
  ExchangeOutcome dry = RunExchange(patcher_, versionList, classes_, selection, {true, false});
  EXPECT_TRUE(Game() == gameBytes_);
  EXPECT_TRUE(Client() == clientBytes_);
  ExchangeOutcome swap = RunExchange(patcher_, versionList, classes_, selection);
  EXPECT_EQ(dry.text, swap.text);
  ASSERT_EQ(dry.aspects.size(), 2u);
  EXPECT_EQ(dry.aspects[0].error.problem, Problem::kBackup);
  EXPECT_TRUE(dry.aspects[1].done);
  ASSERT_EQ(dry.ranges.size(), 2u);  // the Graphics swap's two ranges
  EXPECT_EQ(std::string(dry.ranges[0].before.begin(), dry.ranges[0].before.end()),
            clientBytes_.substr(0x200, 20));
  EXPECT_EQ(dry.ranges[0].after, dry.ranges[1].before);
  EXPECT_TRUE(Game() == gameBytes_);
}

// A copy in VirtualStore under the DLL's path without its drive is found.
TEST_F(ExchangeTest, AShadowCopyInVirtualStoreIsFound) {
#ifdef _WIN32
  _putenv_s("LOCALAPPDATA", "store");
#else
  setenv("LOCALAPPDATA", "store", 1);
#endif
  EXPECT_EQ(ShadowCopyOf("C:\\Games\\d2game.dll"), "");
  WriteFileBytes("store/VirtualStore/Games/d2game.dll", "old");
  EXPECT_EQ(ShadowCopyOf("C:\\Games\\d2game.dll"), "store\\VirtualStore\\Games\\d2game.dll");
  EXPECT_EQ(ShadowCopyOf("Games\\d2game.dll"), "");  // no drive: no shadow
#ifdef _WIN32
  _putenv_s("LOCALAPPDATA", "");
#else
  unsetenv("LOCALAPPDATA");
#endif
}

// A set saved from status brings the same bytes back after a restore, a
// chain of exchanges included; applying it again changes nothing, an empty
// set gives the originals, and a wrong line changes nothing and is named.
TEST_F(ExchangeTest, AStatusSetAppliedAfterARestoreGivesTheSameBytes) {
  RecordList versions = nullptr;
  for (const char* name : {"1.09b", "1.09d", "1.10"}) {
    auto* version = new VersionRecord;
    std::snprintf(version->name, sizeof version->name, "%s", name);
    version->AddToList(&versions);
  }
  patcher_.saveSteps = &SaveSteps::System();
  auto* sorceress = static_cast<ClassRecord*>(classes_->next);
  AddSkill(&sorceress->skillLists[0], "Nova", {"1C0", "2E0", "3E0"});
  AddSkill(&sorceress->skillLists[2], "Nova", {"7C0", "8C0", "9C0"});
  Run(Select(2, 0, 0, 1, 0, true, true, false), 1);  // Magic Arrow <-> Fire Bolt
  Run(Select(2, 0, 0, 1, 1, true, false, true), 1);  // Magic Arrow <-> Nova: a chain
  const std::string game = Game();
  const std::string client = Client();

  std::vector<std::string> lines;
  ASSERT_EQ(DescribeChanges(patcher_, versions, classes_, 2, &lines), 1);
  std::string set;
  for (const std::string& line : lines) set += line + "\n";
  EXPECT_EQ(RestoreBoth(patcher_, versions, classes_).restored, 2);
  ASSERT_TRUE(Game() == gameBytes_);
  for (int time = 0; time < 2; ++time) {
    SetApplyOutcome applied = ApplySwapSet(patcher_, versions, classes_, set);
    EXPECT_TRUE(applied.done) << applied.text;
    EXPECT_TRUE(Game() == game && Client() == client) << set;
  }
  EXPECT_TRUE(ApplySwapSet(patcher_, versions, classes_, "version 1.10\n").done);
  EXPECT_TRUE(Game() == gameBytes_ && Client() == clientBytes_);

  ApplySwapSet(patcher_, versions, classes_, set);
  SetApplyOutcome wrong = ApplySwapSet(
      patcher_, versions, classes_,
      "version 1.10\nAmazon:Jab <-> Sorceress:Nova: Effects\nAmazon:Jab <-> Druid:Fury: Effects\n");
  EXPECT_FALSE(wrong.done);
  EXPECT_EQ(
      wrong.text,
      "The swap set was not applied: nothing was changed.\nline 3: unknown class \"Druid\"\n");
  EXPECT_TRUE(Game() == game && Client() == client);

  // Bytes no exchange made would be lost: the set is refused, naming them.
  std::string foreign = game;
  foreign.replace(0x740, 2, "zz");  // inside Jab's Effects at 1.10
  WriteFileBytes("game/d2game.dll", foreign);
  SetApplyOutcome refused = ApplySwapSet(patcher_, versions, classes_, set);
  EXPECT_FALSE(refused.done);
  EXPECT_NE(refused.text.find("Amazon:Jab: Effects changed by something else (d2game.dll bytes "
                              "0x740..0x74B)"),
            std::string::npos)
      << refused.text;
  EXPECT_TRUE(Game() == foreign);
  FreeList<VersionRecord>(&versions);
}

// The folder is flushed where a power cut must not reorder a change: after
// the journal and each new backup are in place, before the journal's removal
// (the DLLs' new names first) and after it (before the change is reported).
TEST_F(ExchangeTest, EveryChangeFlushesTheFolderBetweenItsSteps) {
  RecordList versions = nullptr;
  auto* version = new VersionRecord;
  std::snprintf(version->name, sizeof version->name, "1.09b");
  version->AddToList(&versions);
  std::string note;
  FileError error;
  const std::string dlls = "orvanel.journal | d2game.dll d2client.dll | -orvanel.journal |";
  struct Row {
    const char* change;
    std::function<bool()> run;
    std::string order;
  };
  const Row rows[] = {
      {"first swap", [&] { return Run(Select(0, 0, 0, 1, 0, true, true, false), 1) != ""; },
       "d2game.dll.bak | d2client.dll.bak | orvanel.journal | d2game.dll d2client.dll | "
       "-orvanel.journal |"},
      {"later swap", [&] { return Run(Select(0, 0, 0, 1, 0, true, true, false), 1) != ""; }, dlls},
      {"restore", [&] { return RestoreBoth(patcher_, versions, classes_).restored == 2; }, dlls},
      {"apply",
       [&] {
         return ApplySwapSet(patcher_, versions, classes_,
                             "version 1.09b\nAmazon:Jab <-> Sorceress:Fire Bolt: Effects, "
                             "Graphics\n")
             .done;
       },
       dlls},
      // One file's save is whole or nothing: no journal, its new name flushed.
      {"one file", [&] { return Run(Select(0, 0, 0, 1, 0, true, false, false), 1) != ""; },
       "d2game.dll |"},
      {"recovery",
       [&] {
         // Stopped after d2game.dll, before d2client.dll.
         std::vector<JournalFile> files(2);
         std::string before = Game();
         std::string client = Client();
         std::string clientAfter = client;
         clientAfter[0x200] ^= 0x40;  // where the graphics lie
         auto bytes = [](const std::string& text) {
           return reinterpret_cast<const uint8_t*>(text.data());
         };
         DescribeWrite("d2game.dll", bytes(before), before.size(), bytes(gameBytes_),
                       gameBytes_.size(), &files[0]);
         DescribeWrite("d2client.dll", bytes(client), client.size(), bytes(clientAfter),
                       clientAfter.size(), &files[1]);
         bool begun = !WriteJournal(steps_, JournalPath(patcher_.dllPaths[kGameDll]),
                                    {"Jab <-> Fire Bolt (Effects)", files})
                           .Failed();
         WriteFileBytes("game/d2game.dll", gameBytes_);
         return begun && !UndoInterruptedChange(patcher_, &note).Failed() && !note.empty();
       },
       "orvanel.journal | d2game.dll | -orvanel.journal |"},
  };
  for (const Row& row : rows) {
    steps_.order.clear();
    EXPECT_TRUE(row.run()) << row.change;
    EXPECT_EQ(steps_.order, row.order) << row.change;
  }
  FreeList<VersionRecord>(&versions);
}

// Each DLL and each backup is read once per change, whatever the change
// checks before it writes.
TEST_F(ExchangeTest, ASwapARestoreAndAnApplyReadEachFileOnce) {
  RecordList versions = nullptr;
  auto* version = new VersionRecord;
  std::snprintf(version->name, sizeof version->name, "1.09b");
  version->AddToList(&versions);
  const std::map<std::string, int> dlls = {{"d2client.dll", 1}, {"d2game.dll", 1}};
  const std::map<std::string, int> both = {
      {"d2client.dll", 1}, {"d2client.dll.bak", 1}, {"d2game.dll", 1}, {"d2game.dll.bak", 1}};
  struct Row {
    const char* change;
    std::function<bool()> run;
    std::map<std::string, int> reads;
  };
  const Row rows[] = {
      {"first swap", [&] { return Run(Select(0, 0, 0, 1, 0, true, true, false), 1) != ""; }, dlls},
      {"later swap", [&] { return Run(Select(0, 0, 0, 1, 0, true, true, false), 1) != ""; }, both},
      {"restore", [&] { return RestoreBoth(patcher_, versions, classes_).restored == 2; }, both},
      {"apply",
       [&] {
         return ApplySwapSet(patcher_, versions, classes_,
                             "version 1.09b\nAmazon:Jab <-> Sorceress:Fire Bolt: Effects\n")
             .done;
       },
       both},
  };
  for (const Row& row : rows) {
    steps_.reads.clear();
    EXPECT_TRUE(row.run()) << row.change;
    EXPECT_EQ(steps_.reads, row.reads) << row.change;
  }
  FreeList<VersionRecord>(&versions);
}
// A table entry the check finds fault with is refused in the check's words,
// also where the loader read something that looks like an offset.
class ExchangeWordingTest : public InTempDir {};

std::string Utf16(const std::string& text) {
  std::string wide = "\xFF\xFE";
  for (char c : text) wide += std::string(1, c) + '\0';
  return wide;
}

TEST_F(ExchangeWordingTest, TableFaultsAreToldAsTheCheckTellsThem) {
  const std::string sound = "Jab\t00100h\tfx\t00200h\tgfx\t00300h\tdesc\r\n|\r\n";
  struct Row {
    std::string table;  // data\Amazon 109b.txt
    std::string reason;
  } rows[] = {
      {"Jab\t0x00100\tfx\t00200h\tgfx\t00300h\tdesc\r\n|\r\n",
       "line 1: effects offset \"0x00100\" begins with 0x: write 00100h, without 0x"},
      {"Jab\t00140\tfx\t00200h\tgfx\t00300h\tdesc\r\n|\r\n",
       "line 1: effects offset \"00140\" ends in a digit: the program drops an offset's last "
       "character and would read \"0014\": write 00140h"},
      {Utf16(sound),
       ": is saved as UTF-16 (\"Unicode\" in Notepad), which the program cannot read: save it "
       "again as ANSI or UTF-8 (Notepad: File > Save As, Encoding)"},
  };
  for (const Row& row : rows) {
    WriteFileBytes("data/versions.txt", "1.09b\r\n1.09d\r\n|\r\n");
    WriteFileBytes("data/classes.txt", "Amazon\r\nSorceress\r\n|\r\n");
    WriteFileBytes("data/Amazon 109b.txt", row.table);
    WriteFileBytes("data/Amazon 109d.txt", sound);
    WriteFileBytes("data/Sorceress 109b.txt", sound);
    WriteFileBytes("data/Sorceress 109d.txt", sound);
    WriteFileBytes("game/d2game.dll", DllBytes(kDllSize, 1));
    WriteFileBytes("game/d2client.dll", DllBytes(kDllSize, 2));
    DllPatcher patcher;
    patcher.UseFolder("game");
    versionList = LoadVersions("data\\versions.txt");
    ASSERT_EQ(LoadClasses(versionList), 1);
    std::string result;
    EXPECT_EQ(ExchangeSkills(patcher, versionList, classList,
                             Select(0, 0, 0, 1, 0, true, false, false), &result),
              0);
    FreeDataTables();
    EXPECT_EQ(result, std::string(kErrors) +
                          "   Effects: not exchanged: " + ShownPath("data\\Amazon 109b.txt") +
                          (row.reason[0] == ':' ? "" : " ") + row.reason + ": " + kCorrect);
    EXPECT_EQ(ReadFileBytes("game/d2game.dll"), DllBytes(kDllSize, 1));
  }
}

}  // namespace

// A commit that fails (the journal cannot be removed) is no success: the
// swap and the set are written whole, and the result says the journal stays.
TEST_F(ExchangeTest, ACommitThatFailsIsReported) {
  RecordList versions = nullptr;
  auto* version = new VersionRecord;
  std::snprintf(version->name, sizeof version->name, "1.09b");
  version->AddToList(&versions);
  steps_.refuseRemove = "game\\orvanel.journal";
  ExchangeOutcome swap =
      RunExchange(patcher_, versionList, classes_, Select(0, 0, 0, 1, 0, true, true, false));
  EXPECT_FALSE(swap.done);
  EXPECT_TRUE(swap.aspects[0].done);
  EXPECT_NE(swap.text.find("orvanel.journal could not be removed"), std::string::npos) << swap.text;
  // The journal left names a finished change: the next start keeps it.
  steps_.refuseRemove = "";
  std::string recovered;
  EXPECT_EQ(RecoverGameFolder(patcher_, nullptr, classes_, &recovered), 1);
  EXPECT_EQ(recovered.rfind("An interrupted change was complete and is kept", 0), 0u) << recovered;
  EXPECT_FALSE(Game() == gameBytes_);
  steps_.refuseRemove = "game\\orvanel.journal";
  SetApplyOutcome applied = ApplySwapSet(patcher_, versions, classes_, "version 1.09b\n");
  EXPECT_FALSE(applied.done);
  EXPECT_EQ(applied.text.rfind("Swap set applied: ", 0), 0u) << applied.text;
  EXPECT_NE(applied.text.find("orvanel.journal could not be removed"), std::string::npos);
  EXPECT_TRUE(Game() == gameBytes_);
  FreeList<VersionRecord>(&versions);
}

// Fingerprints: the tokens of data\versions.txt, the rule that refuses a DLL
// (or a backup) that is not the file a version declares, and detection.
#include "files/fingerprint.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "demo/demo_exe.h"
#include "exchange/exchange.h"
#include "exchange/restore.h"
#include "files/journal.h"
#include "io/file_paths.h"
#include "sets/set_apply.h"
#include "sets/status.h"
#include "tests/unit/patch_test_support.h"

namespace {

const char kErrors[] = "There were errors in your request\n";

uint32_t CrcOf(const std::string& bytes) {
  return ImageCrc(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(Crc32, IsTheStandardCrc) {
  EXPECT_EQ(CrcOf("123456789"), 0xCBF43926u);
}

struct TokenRow {
  const char* line;
  DllFingerprint::State game;
  DllFingerprint::State client;
};

class FingerprintTokens : public InTempDir {};

TEST_F(FingerprintTokens, AreReadWhenWellFormedAndMarkedWhenNot) {
  using F = DllFingerprint;
  const TokenRow rows[] = {
      {"1.09b", F::kAbsent, F::kAbsent},
      {"1.09b other words", F::kAbsent, F::kAbsent},
      // Typos are never words that mean nothing.
      {"1.09b d2game.dll = 4096:0A1B2C3D", F::kMalformed, F::kAbsent},
      {"1.09b d2game.dll:4096:0A1B2C3D D2CLIENT=1:00000000", F::kMalformed, F::kMalformed},
      {"1.09b d2game.dll.=4096:0A1B2C3D d2game.dll.bak=1:00000000", F::kMalformed, F::kAbsent},
      {"1.09b d2game.dll=4096:0a1b2c3d D2Client.DLL=8192:FFFFFFFF", F::kDeclared, F::kDeclared},
      {"1.09b d2game.dll=4096:0A1B2C3", F::kMalformed, F::kAbsent},
      {"1.09b d2game.dll=:0A1B2C3D", F::kMalformed, F::kAbsent},
      {"1.09b d2game.dll=40x6:0A1B2C3D", F::kMalformed, F::kAbsent},
      {"1.09b d2game.dll=4096-0A1B2C3D", F::kMalformed, F::kAbsent},
      {"1.09b d2client.dll=4096:0A1B2C3G", F::kAbsent, F::kMalformed},
      {"1.09b d2game.dll=1:00000000 d2game.dll=1:00000000", F::kMalformed, F::kAbsent},
      // A version's files= says which files its tokens name, wherever it stands.
      {"1.09b Game.exe=3614696:0A1B2C3D files=Game.exe", F::kDeclared, F::kAbsent},
      {"1.09b files=Game.exe d2game.dll=1:00000000", F::kMalformed, F::kAbsent},
      {"1.09b files=Game.exe d2client.dll=1:00000000", F::kAbsent, F::kAbsent},
      {"1.09b files=a.dll,Storm.dll STORM.DLL=1:00000000", F::kAbsent, F::kDeclared},
      {"1.09b files=d2game.dll,d2client.dll d2client.dll=1:00000000", F::kAbsent, F::kDeclared},
  };
  for (const TokenRow& row : rows) {
    SCOPED_TRACE(row.line);
    WriteFileBytes("data/versions.txt", std::string(row.line) + "\n|\n");
    RecordList versions = LoadVersions("data\\versions.txt");
    ASSERT_NE(versions, nullptr);
    auto* version = static_cast<VersionRecord*>(versions);
    EXPECT_STREQ(version->name, "1.09b");
    EXPECT_EQ(version->fingerprints[kGameDll].state, row.game);
    EXPECT_EQ(version->fingerprints[kClientDll].state, row.client);
    FreeList<VersionRecord>(&versions);
  }
  DllFingerprint parsed;
  ASSERT_EQ(ParseFingerprintToken("d2game.dll=4096:0a1b2c3d", &parsed), kGameDll);
  EXPECT_EQ(parsed.size, 4096u);
  EXPECT_EQ(parsed.crc, 0x0A1B2C3Du);
  EXPECT_EQ(FingerprintText(parsed.size, parsed.crc), "4096:0A1B2C3D");
}

// Amazon with two skills, 1.09d declaring the fingerprints given.
class FingerprintTest : public GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    auto* amazon = new ClassRecord;
    for (const char* offsets : {"100", "200"}) {
      auto* skill = new SkillRecord;
      std::snprintf(skill->name, sizeof skill->name, "Skill %s", offsets);
      for (auto field : {&SkillRecord::effectsOffset, &SkillRecord::graphicsOffset}) {
        std::snprintf(skill->*field, 6, "%s", offsets);
      }
      skill->AddToList(&amazon->skillLists[0]);
    }
    amazon->AddToList(&classList);
  }
  void TearDown() override {
    FreeDataTables();
    GameFolderTest::TearDown();
  }
  VersionRecord* Declare(const char* name, uint32_t gameCrc, uint32_t clientCrc) {
    auto* version = new VersionRecord;
    std::snprintf(version->name, sizeof version->name, "%s", name);
    version->fingerprints[kGameDll] = {DllFingerprint::kDeclared, 5000, gameCrc};
    version->fingerprints[kClientDll] = {DllFingerprint::kDeclared, 7000, clientCrc};
    version->AddToList(&versionList);
    return version;
  }
  std::vector<FileFingerprint> Found() {
    return UntouchedFingerprints({patcher_.dllPaths[kGameDll], patcher_.dllPaths[kClientDll]},
                                 versionList, classList);
  }
  int Swap(char result[kResultSize]) {
    SkillSelection selection;
    selection.version = 0;
    selection.firstClass = selection.secondClass = 0;
    selection.firstSkill = 0;
    selection.secondSkill = 1;
    selection.ticked[0] = selection.ticked[1] = true;  // Effects, Graphics
    return ExchangeSkills(patcher_, versionList, classList, selection, result);
  }
};

TEST_F(FingerprintTest, TheWrongFileIsRefusedBeforeAnyByteMoves) {
  Declare("1.09d", CrcOf(game_) ^ 1, CrcOf(client_));
  char result[kResultSize];
  EXPECT_EQ(Swap(result), 0);
  char expected[kResultSize];
  std::snprintf(
      expected, sizeof expected,
      "%s   Effects, Graphics: not exchanged: d2game.dll is not the 1.09d file these tables are "
      "for: found 5000:%08X, "
      "expected 5000:%08X\n",
      kErrors, CrcOf(game_), CrcOf(game_) ^ 1);
  EXPECT_STREQ(result, expected);
  EXPECT_EQ(ReadFileBytes("game/d2game.dll"), game_);
  EXPECT_EQ(ReadFileBytes("game/d2client.dll"), client_);
  EXPECT_EQ(ListFolder("game"),
            (std::vector<std::string>{"d2client.dll", "d2game.dll", "orvanel.lock"}));
  // The DLLs are another declared version's files: the refusal says which.
  Declare("1.09b", CrcOf(game_), CrcOf(client_));
  EXPECT_EQ(Swap(result), 0);
  std::string text = result;
  const std::string next = "; the DLLs are the 1.09b files: choose 1.09b\n";
  ASSERT_GT(text.size(), next.size());
  EXPECT_EQ(text.substr(text.size() - next.size()), next);
}

// The chosen version declares no fingerprints, but the DLLs are another's.
TEST_F(FingerprintTest, DllsOfAnotherVersionAreRefusedForOneWithoutFingerprints) {
  auto* undeclared = new VersionRecord;
  std::snprintf(undeclared->name, sizeof undeclared->name, "1.09d");
  undeclared->AddToList(&versionList);
  Declare("1.09b", CrcOf(game_), CrcOf(client_));
  char result[kResultSize];
  EXPECT_EQ(Swap(result), 0);
  EXPECT_EQ(std::string(result),
            std::string(kErrors) +
                "   Effects, Graphics: not exchanged: version 1.09d declares no fingerprints, but "
                "the DLLs are the 1.09b files: choose 1.09b\n");
  // A set for that version (empty: the originals) is refused the same way.
  SetApplyOutcome applied = ApplySwapSet(patcher_, versionList, classList, "version 1.09d\n");
  EXPECT_FALSE(applied.done);
  EXPECT_NE(applied.text.find("version 1.09d declares no fingerprints, but the DLLs are the "
                              "1.09b files: choose 1.09b"),
            std::string::npos)
      << applied.text;
  EXPECT_EQ(ReadFileBytes("game/d2game.dll"), game_);
  EXPECT_EQ(ReadFileBytes("game/d2client.dll"), client_);
}

// A DLL that is a PE file with a version resource: the refusal names what it
// says it is, and so does what fingerprint prints.
TEST_F(FingerprintTest, TheRefusalNamesThePeFilesOwnVersion) {
  std::vector<uint8_t> pe = StandInExe(kDemoExeVersion, kDemoExeBuildTime, 5000);
  game_.assign(pe.begin(), pe.end());
  WriteFileBytes("game/d2game.dll", game_);
  Declare("1.09d", CrcOf(game_) ^ 1, CrcOf(client_));
  char result[kResultSize];
  EXPECT_EQ(Swap(result), 0);
  const std::string words = "(d2game.dll is file version 1.14.3.71, built 2016-03-18), expected";
  EXPECT_NE(std::string(result).find(words), std::string::npos) << result;
  EXPECT_EQ(ReadFileBytes("game/d2game.dll"), game_);
  std::vector<FileFingerprint> found = Found();
  EXPECT_EQ(FoundVersionWords(found[kGameDll]),
            "d2game.dll is file version 1.14.3.71, built 2016-03-18");
  EXPECT_EQ(FoundVersionWords(found[kClientDll]), "");
  EXPECT_NE(DllVersionNote(versionList, found)
                .find("(found d2game.dll=" + FingerprintText(5000, CrcOf(game_)) +
                      " (d2game.dll is file version 1.14.3.71, built 2016-03-18), d2client.dll="),
            std::string::npos);
}

// A version that keeps its skills in one file (from 1.14 on, Game.exe)
// exchanges, backs up, tells its status and restores in that file alone,
// with no journal; files= gone wrong exchanges nothing.
TEST_F(FingerprintTest, AVersionKeptInOneFileChangesThatFileAlone) {
  const std::string exe = DllBytes(6000, 9);
  WriteFileBytes("game/Game.exe", exe);
  auto* amazon = static_cast<ClassRecord*>(classList);
  std::snprintf(amazon->name, sizeof amazon->name, "Amazon");
  const char* graphics[] = {"300", "400"};  // apart from the effects, in the one file
  int n = 0;
  for (RecordNode* skill = amazon->skillLists[0]; skill != nullptr; skill = skill->next) {
    std::snprintf(static_cast<SkillRecord*>(skill)->graphicsOffset, 6, "%s", graphics[n++]);
  }
  VersionRecord* version = Declare("1.14d", 0, 0);
  version->fingerprints[kClientDll] = DllFingerprint();
  version->fingerprints[kGameDll] = {DllFingerprint::kDeclared, 6000, CrcOf(exe)};
  ASSERT_TRUE(ReadFilesWord("files=../Game.exe", &version->files));
  char result[kResultSize];
  EXPECT_EQ(Swap(result), 0);
  EXPECT_NE(std::string(result).find("cannot be read (\"../Game.exe\" names a path, not a file): "
                                     "this version exchanges nothing"),
            std::string::npos)
      << result;
  ASSERT_TRUE(ReadFilesWord("files=GAME.EXE", &version->files));
  ASSERT_EQ(Swap(result), 1) << result;
  std::string swapped = ReadFileBytes("game/Game.exe");
  EXPECT_EQ(swapped.substr(0x100, 12), exe.substr(0x200, 12));
  EXPECT_EQ(swapped.substr(0x400, 20), exe.substr(0x300, 20));
  EXPECT_EQ(ReadFileBytes("game/Game.exe.bak"), exe);
  EXPECT_EQ(ReadFileBytes("game/d2game.dll"), game_);
  EXPECT_EQ(ReadFileBytes("game/d2client.dll"), client_);
  EXPECT_EQ(ListFolder("game"),
            (std::vector<std::string>{"Game.exe", "Game.exe.bak", "d2client.dll", "d2game.dll",
                                      "orvanel.lock"}));
  std::vector<std::string> lines;
  ASSERT_EQ(DescribeChanges(patcher_, versionList, classList, 0, &lines), 1);
  EXPECT_EQ(lines.back(), "Amazon:Skill 100 <-> Amazon:Skill 200: Effects, Graphics");
  // With no d2game.dll the folder is a one-file version's: restore puts
  // Game.exe back, and the status as a set gives the exchange again.
  std::remove("game/d2game.dll");
  RestoreReport report = RestoreBoth(patcher_, versionList, classList);
  EXPECT_EQ(report.restored, 1) << report.text;
  EXPECT_EQ(report.failed, 0) << report.text;
  EXPECT_EQ(ReadFileBytes("game/Game.exe"), exe);
  SetApplyOutcome applied =
      ApplySwapSet(patcher_, versionList, classList, "version 1.14d\n" + lines.back() + "\n");
  EXPECT_TRUE(applied.done) << applied.text;
  EXPECT_EQ(ReadFileBytes("game/Game.exe"), swapped);
  // A version of d2game.dll on such a folder is told what the folder holds.
  version->files = VersionFiles();
  EXPECT_EQ(Swap(result), 0);
  EXPECT_NE(std::string(result).find(" holds Game.exe and no d2game.dll: a version that keeps its "
                                     "skills in Game.exe needs files=Game.exe in versions.txt"),
            std::string::npos)
      << result;
  EXPECT_EQ(ReadFileBytes("game/Game.exe"), swapped);
}

// An old modded backup beside an untouched DLL: the backup is blamed, never
// the DLL, and neither a fingerprint nor the status is taken from it.
TEST_F(FingerprintTest, AModdedBackupBesideAnUntouchedDllIsBlamed) {
  Declare("1.09b", CrcOf(game_), CrcOf(client_));
  std::string modded = game_;
  modded.replace(0x100, 12, std::string(12, 'm'));  // inside a range the tables name
  WriteFileBytes("game/d2game.dll.bak", modded);
  SkillSelection selection;
  selection.version = selection.firstClass = selection.secondClass = selection.firstSkill = 0;
  selection.secondSkill = 1;
  selection.ticked[0] = true;  // Effects
  ExchangeOutcome outcome = RunExchange(patcher_, versionList, classList, selection);
  ASSERT_EQ(outcome.aspects.size(), 1u);
  EXPECT_EQ(UserReason(outcome.aspects[0].error)
                .find("the backup " + ShownPath("game\\d2game.dll.bak") +
                      " differs from the DLL, which is the untouched 1.09b file"),
            0u);
  EXPECT_EQ(ReadFileBytes("game/d2game.dll"), game_);
  std::vector<FileFingerprint> found = Found();
  EXPECT_FALSE(found[kGameDll].read);
  EXPECT_EQ(found[kGameDll].why.problem, Problem::kBackup);
  std::vector<std::string> lines;
  EXPECT_EQ(DescribeChanges(patcher_, versionList, classList, 0, &lines), 0);
}

// After the first change the DLL differs from what the tables declare; its
// trusted backup is the untouched form that must match.
TEST_F(FingerprintTest, TheRightFileWorksBeforeAndAfterTheFirstChange) {
  Declare("1.09b", CrcOf(game_), CrcOf(client_));
  char result[kResultSize];
  ASSERT_EQ(Swap(result), 1) << result;
  ASSERT_NE(ReadFileBytes("game/d2game.dll"), game_);
  EXPECT_EQ(Swap(result), 1) << result;
  EXPECT_EQ(ReadFileBytes("game/d2game.dll"), game_);
  EXPECT_EQ(ReadFileBytes("game/d2client.dll"), client_);
}

TEST_F(FingerprintTest, OneMatchingVersionIsDetectedAndABackupOfNoneIsNotRestored) {
  Declare("1.09b", CrcOf(game_) ^ 1, CrcOf(client_));
  Declare("1.09d", CrcOf(game_), CrcOf(client_));
  std::vector<FileFingerprint> found = Found();
  EXPECT_EQ(DetectVersion(versionList, found), 1);
  Declare("again", CrcOf(game_), CrcOf(client_));
  EXPECT_EQ(DetectVersion(versionList, found), -1);
  // check tells which versions the DLLs are, or what they are when none.
  EXPECT_EQ(DllVersionNote(versionList, found),
            "the DLLs match the fingerprints of version: 1.09d, again");
  found[kGameDll].crc ^= 1;
  found[kClientDll].read = false;
  EXPECT_EQ(DllVersionNote(versionList, found),
            "the DLLs match the fingerprints of no version (found d2game.dll=" +
                FingerprintText(5000, CrcOf(game_) ^ 1) +
                ", d2client.dll cannot be read): swap refuses every version that declares "
                "fingerprints");
  EXPECT_EQ(DllVersionNote(nullptr, found), "");

  // A changed DLL whose backup is the file of no declared version.
  const std::string changed = DllBytes(7000, 4);
  WriteFileBytes("game/d2client.dll", changed);
  WriteFileBytes("game/d2client.dll.bak", DllBytes(7000, 3));
  FileOutcome restored = RestoreBackup(patcher_, versionList, kClientDll, {{0, 7000}});
  EXPECT_FALSE(restored.changed);
  EXPECT_EQ(ReadFileBytes("game/d2client.dll"), changed);
  EXPECT_EQ(UserReason(restored.error)
                .find(ShownPath("game\\d2client.dll.bak") +
                      " matches no version these tables declare for d2client.dll: found 7000:"),
            0u);
}

}  // namespace

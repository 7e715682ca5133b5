// End-to-end tests: the real Orvanel.exe, started in a prepared working folder
// and worked through its windows from outside, as a user would.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "resources/resource.h"
#include "tests/e2e/window_driver.h"
#include "tests/e2e/workspace.h"

namespace {

constexpr DWORD kBoxWaitMs = 5000;
constexpr DWORD kExitWaitMs = 10000;
constexpr DWORD kQuietMs = 300;  // how long a box that must not come is awaited
const char kErrors[] = "There were errors in your request\n";
const char kNoSkill[] =
    "no skill in the tables matches this selection (data\\versions.txt, data\\classes.txt, the "
    "skill tables): correct the table (orvanel-cli check lists them all)\n";

std::string OrvanelExe() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  folder = folder.substr(0, folder.find_last_of('\\'));  // ...\tests\e2e
  return folder + "\\..\\..\\app\\Orvanel.exe";
}

std::string SkillName(int classIndex, int version, int skill) {
  std::string name = kSkillNames[classIndex][version][skill];
  for (char& c : name) {
    if (c == '_') c = ' ';
  }
  return name;
}

std::vector<std::string> FirstVersionSkills(int classIndex) {
  std::vector<std::string> names;
  for (int skill = 0; skill < 3; ++skill) names.push_back(SkillName(classIndex, 0, skill));
  return names;
}

// A named CALLBACK, not a lambda: on i686 WNDENUMPROC is __stdcall, which a
// captureless lambda does not convert to.
BOOL CALLBACK FindEditChild(HWND child, LPARAM found) {
  if (ClassName(child) != "Edit") return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

std::string AsText(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// The controls in creation order, as the window procedure's table names them.
enum Control {
  kFolderCaptionLabel,
  kFolderPathLabel,
  kVersionLabel,
  kVersionCombo,
  kFirstClassLabel,
  kFirstClassCombo,
  kFirstSkillLabel,
  kFirstSkillCombo,
  kSecondClassLabel,
  kSecondClassCombo,
  kSecondSkillLabel,
  kSecondSkillCombo,
  kEffectsLabel,
  kEffectsCheckBox,
  kGraphicsLabel,
  kGraphicsCheckBox,
  kDescsLabel,
  kDescsCheckBox,
  kSwapButton,
  kStatusLine,  // after the nineteen, so that they keep their order
  kControlCount
};

class OrvanelTest : public ::testing::Test {
 protected:
  OrvanelTest() : work_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

  // Starts the program; true when its window came up with all controls.
  bool Start() {
    std::string error;
    if (!run_.Start(OrvanelExe(), work_.Dir(), &error)) {
      ADD_FAILURE() << error;
      return false;
    }
    main_ = run_.MainWindow();
    if (main_ == nullptr) {
      ADD_FAILURE() << "no main window; exit code " << run_.WaitForExit(0);
      return false;
    }
    // The status line comes right after the Swap button the run waited for.
    controls_ = Children(main_);
    for (int attempt = 0; attempt < 100 && controls_.size() < kControlCount; ++attempt) {
      Sleep(20);
      controls_ = Children(main_);
    }
    if (controls_.size() != kControlCount) {
      ADD_FAILURE() << "expected " << kControlCount << " controls, found " << controls_.size();
      return false;
    }
    return true;
  }

  HWND operator[](Control control) const { return controls_[control]; }

  // Waits for the one box the last action opens, checks it and closes it
  // with button.
  void ExpectBox(const std::string& caption, const std::string& text, LPCSTR icon,
                 int button = IDOK) {
    BoxInfo box;
    ASSERT_TRUE(run_.WaitForBox(kBoxWaitMs, &box)) << "no message box \"" << caption << "\"";
    EXPECT_EQ(box.caption, caption);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.owner, main_) << "the box must be owned by the main window";
    EXPECT_EQ(box.icon, icon) << "the box shows another icon";
    ASSERT_TRUE(run_.CloseBox(box, button));
  }

  void Swap() { PostClick((*this)[kSwapButton]); }

  // The status line shows text within the time a box gets.
  void ExpectStatus(const std::string& text) {
    for (DWORD waited = 0; WindowText((*this)[kStatusLine]) != text && waited < kBoxWaitMs;
         waited += 20) {
      Sleep(20);
    }
    EXPECT_EQ(WindowText((*this)[kStatusLine]), text);
  }

  // Types path into the program's open or save dialog and presses its OK.
  bool AnswerFileDialog(const std::string& path) {
    BoxInfo dialog;
    if (!run_.WaitForBox(kBoxWaitMs, &dialog)) return false;
    // The file name box (cmb13) is a ComboBoxEx32 with an edit deep inside.
    constexpr int kFileNameCombo = 0x47C;
    HWND name = nullptr;
    EnumChildWindows(GetDlgItem(dialog.window, kFileNameCombo), FindEditChild,
                     reinterpret_cast<LPARAM>(&name));
    if (name == nullptr) return false;
    std::wstring wide(path.begin(), path.end());
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    return run_.CloseBox(dialog, IDOK);
  }

  void Tick(Control checkBox) { ClickCheckBox((*this)[checkBox]); }

  void ExpectDllsUnchanged() {
    EXPECT_EQ(work_.Read("game files\\d2game.dll"), GameDllBytes());
    EXPECT_EQ(work_.Read("game files\\d2client.dll"), ClientDllBytes());
  }

  void CloseAndExpectExitCode(DWORD code) {
    ClickCloseBox(main_);
    EXPECT_EQ(run_.WaitForExit(kExitWaitMs), code);
  }

  Workspace work_;
  OrvanelRun run_;
  HWND main_ = nullptr;
  std::vector<HWND> controls_;
};

struct ExpectedControl {
  const char* className;
  const char* text;  // null: the folder, checked on its own
  DWORD style;
  int x, y, width, height;
};

const ExpectedControl kLayout[kStatusLine] = {
    {"Static", ".dll Folder", 0x50000000, 20, 20, 80, 20},
    {"Static", nullptr, 0x50000000, 110, 20, 500, 50},
    {"Static", "Version", 0x50000000, 20, 80, 60, 20},
    {"ComboBox", "", 0x50200803, 90, 80, 100, 100},
    {"Static", "Class 1", 0x50000000, 20, 110, 60, 20},
    {"ComboBox", "", 0x50200803, 90, 110, 200, 100},
    {"Static", "Skill 1", 0x50000000, 20, 140, 60, 20},
    {"ComboBox", "", 0x50200803, 90, 140, 200, 100},
    {"Static", "Class 2", 0x50000000, 300, 110, 60, 20},
    {"ComboBox", "", 0x50200803, 370, 110, 200, 100},
    {"Static", "Skill 2", 0x50000000, 300, 140, 60, 20},
    {"ComboBox", "", 0x50200803, 370, 140, 200, 100},
    {"Static", "Swap Effects?", 0x50000000, 20, 170, 120, 20},
    {"Button", "", 0x50000003, 130, 170, 20, 20},
    {"Static", "Swap Graphics?", 0x50000000, 20, 200, 120, 20},
    {"Button", "", 0x50000003, 130, 200, 20, 20},
    {"Static", "Swap Descs?", 0x50000000, 20, 230, 100, 20},
    {"Button", "", 0x50000003, 130, 230, 20, 20},
    {"Button", "Swap", 0x50000000, 270, 250, 60, 40},
};

TEST_F(OrvanelTest, StartsWithTheWholeWindowFilledFromTheTables) {
  work_.WriteAll();
  ASSERT_TRUE(Start());

  EXPECT_EQ(ClassName(main_), "Orvanel");
  EXPECT_EQ(WindowText(main_), "Orvanel");
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(main_, GWL_STYLE)), 0x16CF0000u);
  RECT frame;
  GetWindowRect(main_, &frame);
  EXPECT_EQ(frame.left, 200);
  EXPECT_EQ(frame.top, 200);
  EXPECT_EQ(frame.right - frame.left, 600);
  EXPECT_EQ(frame.bottom - frame.top, 400);
  EXPECT_EQ(GetClassLongA(main_, GCL_STYLE), 0x2Bu);
  EXPECT_NE(GetMenu(main_), nullptr);

  for (int i = 0; i < kStatusLine; ++i) {
    SCOPED_TRACE("control " + std::to_string(i + 1));
    const ExpectedControl& expected = kLayout[i];
    ControlInfo actual = ReadControl(controls_[i]);
    EXPECT_EQ(actual.className, expected.className);
    if (expected.text != nullptr) {
      EXPECT_EQ(actual.text, expected.text);
    }
    if (expected.className == std::string("ComboBox")) {
      EXPECT_EQ(actual.style, expected.style & ~WS_VSCROLL);
      DWORD list = ListStyle(controls_[i]);
      EXPECT_EQ(list & WS_VSCROLL, static_cast<DWORD>(WS_VSCROLL));
      EXPECT_EQ(list & LBS_DISABLENOSCROLL, static_cast<DWORD>(LBS_DISABLENOSCROLL));
    } else {
      EXPECT_EQ(actual.style, expected.style);
    }
    EXPECT_EQ(actual.rect.left, expected.x);
    EXPECT_EQ(actual.rect.top, expected.y);
    EXPECT_EQ(actual.rect.right - actual.rect.left, expected.width);
    if (expected.className == std::string("ComboBox")) {
      // Wine rounds the list down to whole entries.
      int dropped = DroppedHeight(controls_[i]);
      EXPECT_LE(dropped, expected.height);
      EXPECT_GT(dropped, expected.height - 2 * EntryHeight(controls_[i]));
    } else {
      EXPECT_EQ(actual.rect.bottom - actual.rect.top, expected.height);
    }
    EXPECT_EQ(GetDlgCtrlID(controls_[i]), 0);
  }
  // The saved folder, read back with its blank.
  EXPECT_EQ(WindowText((*this)[kFolderPathLabel]), work_.GameDir());

  ComboInfo versions = ReadCombo((*this)[kVersionCombo]);
  EXPECT_EQ(versions.entries, (std::vector<std::string>{"1.09b", "1.09d LoD"}));
  EXPECT_EQ(versions.selection, 0);
  for (Control combo : {kFirstClassCombo, kSecondClassCombo}) {
    ComboInfo classes = ReadCombo((*this)[combo]);
    EXPECT_EQ(classes.entries, (std::vector<std::string>{"Amazon", "Sorceress", "Empty"}));
    EXPECT_EQ(classes.selection, 0);
  }
  for (Control combo : {kFirstSkillCombo, kSecondSkillCombo}) {
    ComboInfo skills = ReadCombo((*this)[combo]);
    EXPECT_EQ(skills.entries, FirstVersionSkills(0));
    EXPECT_EQ(skills.selection, 0);
  }
  for (Control checkBox : {kEffectsCheckBox, kGraphicsCheckBox, kDescsCheckBox}) {
    EXPECT_FALSE(IsChecked((*this)[checkBox]));
  }

  CloseAndExpectExitCode(1);
  ExpectDllsUnchanged();
  EXPECT_FALSE(work_.Exists("log.txt"));
  // The counter that shows no control is made without the classes file.
  EXPECT_GT(run_.WindowsCreated(), kControlCount);
}

TEST_F(OrvanelTest, WithoutClassesFileSaysWhereToStartAndEndsWithCodeZero) {
  work_.WriteAll();
  work_.Remove("data\\classes.txt");
  std::string error;
  ASSERT_TRUE(run_.Start(OrvanelExe(), work_.Dir(), &error)) << error;
  // As when started from another folder: the box names the one it was in.
  BoxInfo box;
  ASSERT_TRUE(run_.WaitForBox(kBoxWaitMs, &box)) << "no box before the end";
  EXPECT_EQ(box.text,
            "Orvanel could not read data\\classes.txt in the folder it was started in:\n" +
                work_.Dir() +
                "\nStart Orvanel from its own folder, the one that holds Orvanel.exe "
                "and data\\ (for a shortcut, set its \"Start in\" to that folder).");
  EXPECT_EQ(box.icon, IDI_EXCLAMATION);
  ASSERT_TRUE(run_.CloseBox(box));
  EXPECT_EQ(run_.WaitForExit(kExitWaitMs), 0u);
  EXPECT_EQ(AsText(work_.Read("log.txt")), "* Couldn't read the data\\classes.txt file\r\n");
  ExpectDllsUnchanged();
}

TEST_F(OrvanelTest, TheStatusLineIsReadyOnSoundTables) {
  work_.WriteAll();
  work_.WriteFile("data\\classes.txt", "Amazon\r\nSorceress\r\n|\r\n");
  ASSERT_TRUE(Start());
  ExpectStatus("Ready: pick two skills, tick what to exchange and press Swap");
  CloseAndExpectExitCode(1);
}

// As the release comes: empty tables, no game folder yet.
TEST_F(OrvanelTest, TheStatusLineSaysWhatToFillOnEmptyTables) {
  work_.WriteFile("data\\versions.txt", "1.09b\r\n1.09d\r\n|\r\n");
  work_.WriteFile("data\\classes.txt", "Amazon\r\nSorceress\r\n|\r\n");
  for (const char* table : {"Amazon 109b", "Amazon 109d", "Sorceress 109b", "Sorceress 109d"}) {
    work_.WriteFile(std::string("data\\") + table + ".txt", "// empty\r\n|\r\n");
  }
  ASSERT_TRUE(Start());
  ExpectStatus(
      "The skill tables come empty: write your DLLs' offsets into data\\Amazon 109b.txt and the "
      "other classes' tables (README.txt, section 2)");
  CloseAndExpectExitCode(1);
}

// The check's first finding, until a class without skills is picked.
TEST_F(OrvanelTest, TheStatusLineNamesATableProblemAndAClassWithoutSkills) {
  work_.WriteAll();
  ASSERT_TRUE(Start());
  ExpectStatus(
      "data\\classes.txt line 4: class \"Empty\" has no table data/Empty 109d.txt (README.txt, "
      "section 2)");
  PickEntry((*this)[kSecondClassCombo], 2);
  ExpectStatus(
      "Class \"Empty\" has no skills yet: fill data\\Empty 109b.txt with your DLLs' offsets "
      "(README.txt, section 2)");
  CloseAndExpectExitCode(1);
}

TEST_F(OrvanelTest, TheStatusLineNamesTheDllTheFolderLacks) {
  work_.WriteTables();
  work_.WriteDlls();
  work_.WriteConfig();
  work_.Remove("game files\\d2client.dll");
  ASSERT_TRUE(Start());
  ExpectStatus(
      "The game folder holds no d2client.dll: choose File > Set .dll Location and pick the "
      "folder with d2game.dll and d2client.dll (README.txt, section 5)");
  CloseAndExpectExitCode(1);
}

TEST_F(OrvanelTest, TablesChangedOnDiskAreNeverUsedForAChange) {
  work_.WriteAll();
  ASSERT_TRUE(Start());
  work_.WriteFile("data\\Amazon 109b.txt", "|\r\n");
  PickEntry((*this)[kVersionCombo], 1);
  ExpectStatus(
      "The tables in data\\ changed since Orvanel started: close Orvanel and start it again to "
      "use them; nothing is exchanged until then");
  Tick(kEffectsCheckBox);
  Swap();
  ExpectBox("Orvanel",
            "The tables in data\\ changed since Orvanel started, so Orvanel would work on the old "
            "ones: nothing was changed.\nClose Orvanel and start it again.",
            IDI_EXCLAMATION);
  ExpectDllsUnchanged();
  CloseAndExpectExitCode(1);
}

TEST_F(OrvanelTest, WithoutVersionsFileTheVersionComboIsEmptyAndNothingIsExchanged) {
  work_.WriteAll();
  work_.Remove("data\\versions.txt");
  ASSERT_TRUE(Start());
  ComboInfo versions = ReadCombo((*this)[kVersionCombo]);
  EXPECT_TRUE(versions.entries.empty());
  EXPECT_EQ(versions.selection, -1);
  EXPECT_EQ(ReadCombo((*this)[kFirstClassCombo]).entries.size(), 3u);
  EXPECT_EQ(ReadCombo((*this)[kSecondSkillCombo]).entries, FirstVersionSkills(0));

  // With no version there is no skill to exchange: no file is touched.
  Tick(kEffectsCheckBox);
  Swap();
  ExpectBox("Swapped!", std::string(kErrors) + "   Effects: not exchanged: " + kNoSkill,
            IDI_INFORMATION);
  ExpectDllsUnchanged();

  ChooseMenuCommand(main_, IDM_EXIT);
  EXPECT_EQ(run_.WaitForExit(kExitWaitMs), 1u);
}

TEST_F(OrvanelTest, WithoutConfigTheFolderIsEmptyAndSwapIsRefused) {
  work_.WriteTables();
  work_.WriteDlls();
  ASSERT_TRUE(Start());
  EXPECT_EQ(WindowText((*this)[kFolderPathLabel]), "");
  ExpectStatus(
      "The game folder is not set: choose File > Set .dll Location (README.txt, section 5)");

  Tick(kEffectsCheckBox);
  Tick(kGraphicsCheckBox);
  Tick(kDescsCheckBox);
  Swap();
  ExpectBox("Error", "Diablo II .dll folder not set", IDI_EXCLAMATION);
  ExpectDllsUnchanged();
  EXPECT_FALSE(work_.Exists("log.txt"));
  EXPECT_FALSE(work_.Exists("data\\config.txt"));
  CloseAndExpectExitCode(1);
}

TEST_F(OrvanelTest, ClassChangesRefillTheSkillsAndVersionChangesDoNot) {
  work_.WriteAll();
  ASSERT_TRUE(Start());

  PickEntry((*this)[kFirstClassCombo], 1);
  ComboInfo first = ReadCombo((*this)[kFirstSkillCombo]);
  EXPECT_EQ(first.entries, FirstVersionSkills(1));
  EXPECT_EQ(first.selection, 0);
  EXPECT_EQ(ReadCombo((*this)[kSecondSkillCombo]).entries, FirstVersionSkills(0));

  // Any notification of a class combo starts its side over at the first skill.
  PickEntry((*this)[kFirstSkillCombo], 2);
  EXPECT_EQ(ReadCombo((*this)[kFirstSkillCombo]).selection, 2);
  OpenAndCloseList((*this)[kFirstClassCombo]);
  EXPECT_EQ(ReadCombo((*this)[kFirstClassCombo]).selection, 1);
  EXPECT_EQ(ReadCombo((*this)[kFirstSkillCombo]).selection, 0);

  // The skill combos always show the first version's names.
  PickEntry((*this)[kSecondSkillCombo], 1);
  PickEntry((*this)[kVersionCombo], 1);
  EXPECT_EQ(ReadCombo((*this)[kFirstSkillCombo]).entries, FirstVersionSkills(1));
  ComboInfo second = ReadCombo((*this)[kSecondSkillCombo]);
  EXPECT_EQ(second.entries, FirstVersionSkills(0));
  EXPECT_EQ(second.selection, 1);

  // A class without skills leaves its skill combo empty.
  PickEntry((*this)[kSecondClassCombo], 2);
  second = ReadCombo((*this)[kSecondSkillCombo]);
  EXPECT_TRUE(second.entries.empty());
  EXPECT_EQ(second.selection, -1);

  CloseAndExpectExitCode(1);
}

TEST_F(OrvanelTest, SwapWithNothingTickedChangesNothing) {
  work_.WriteAll();
  ASSERT_TRUE(Start());
  Swap();
  ExpectBox("Swapped!", "No changes made\n", IDI_INFORMATION);
  ExpectDllsUnchanged();
  EXPECT_FALSE(work_.Exists("log.txt"));
  CloseAndExpectExitCode(1);
}

TEST_F(OrvanelTest, SwapOfEffectsExchangesTwelveBytesOfTheGameDllOnly) {
  work_.WriteAll();
  ASSERT_TRUE(Start());
  PickEntry((*this)[kFirstSkillCombo], 1);
  PickEntry((*this)[kSecondClassCombo], 1);
  PickEntry((*this)[kSecondSkillCombo], 2);
  Tick(kEffectsCheckBox);
  Swap();
  ExpectBox("Swapped!", "Fire Arrow <-> Ice Bolt\n   Effects\n", IDI_INFORMATION);

  Bytes game = GameDllBytes();
  ExchangeRange(&game, kEffects, 0, 1, 1, 2, 0);
  EXPECT_EQ(work_.Read("game files\\d2game.dll"), game);
  EXPECT_EQ(work_.Read("game files\\d2client.dll"), ClientDllBytes());
  EXPECT_FALSE(work_.Exists("log.txt"));
  CloseAndExpectExitCode(1);
}

TEST_F(OrvanelTest, SwapOfAllAspectsChangesBothDllsAndSwappingAgainRestoresThem) {
  work_.WriteAll();
  ASSERT_TRUE(Start());
  PickEntry((*this)[kSecondClassCombo], 1);
  Tick(kEffectsCheckBox);
  Tick(kGraphicsCheckBox);
  Tick(kDescsCheckBox);
  Swap();
  ExpectBox("Swapped!", "Magic Arrow <-> Fire Bolt\n   Effects\n   Graphics\n   Descriptions\n",
            IDI_INFORMATION);

  Bytes game = GameDllBytes();
  Bytes client = ClientDllBytes();
  ExchangeRange(&game, kEffects, 0, 0, 1, 0, 0);
  ExchangeRange(&client, kGraphics, 0, 0, 1, 0, 0);
  ExchangeRange(&client, kDescriptions, 0, 0, 1, 0, 0);
  EXPECT_EQ(work_.Read("game files\\d2game.dll"), game);
  EXPECT_EQ(work_.Read("game files\\d2client.dll"), client);

  Swap();
  ExpectBox("Swapped!", "Magic Arrow <-> Fire Bolt\n   Effects\n   Graphics\n   Descriptions\n",
            IDI_INFORMATION);
  ExpectDllsUnchanged();
  CloseAndExpectExitCode(1);
}

TEST_F(OrvanelTest, SwapWithMissingGameDllReportsErrorsYetChangesTheClientDll) {
  work_.WriteAll();
  work_.Remove("game files\\d2game.dll");
  ASSERT_TRUE(Start());
  PickEntry((*this)[kSecondClassCombo], 1);
  Tick(kEffectsCheckBox);
  Tick(kGraphicsCheckBox);
  Tick(kDescsCheckBox);
  Swap();
  // Told what was done, a second "Swap" cannot undo it unnoticed.
  ExpectBox("Swapped!",
            std::string(kErrors) + "   Effects: not exchanged: " + work_.GameDir() +
                "\\d2game.dll was not found: check the game folder (File > Set .dll Location); "
                "Swap again as ticked would exchange Graphics, Descriptions back: tick only "
                "Effects\n   Graphics: exchanged\n   Descriptions: exchanged\n",
            IDI_INFORMATION);

  Bytes client = ClientDllBytes();
  ExchangeRange(&client, kGraphics, 0, 0, 1, 0, 0);
  ExchangeRange(&client, kDescriptions, 0, 0, 1, 0, 0);
  EXPECT_EQ(work_.Read("game files\\d2client.dll"), client);
  EXPECT_FALSE(work_.Exists("game files\\d2game.dll"));
  EXPECT_EQ(AsText(work_.Read("log.txt")), "* Couldn't open file " + work_.GameDir() +
                                               "\\d2game.dll: not found (system error 2)\r\n");
  CloseAndExpectExitCode(1);
}

TEST_F(OrvanelTest, SwapInTheSecondVersionTakesItsOwnSkillsAndOffsets) {
  work_.WriteAll();
  ASSERT_TRUE(Start());
  PickEntry((*this)[kVersionCombo], 1);
  PickEntry((*this)[kFirstSkillCombo], 2);  // shows "Cold Arrow", is "Ice Arrow" there
  const std::string kWrongSkill =
      "the box shows \"Cold Arrow\" (data\\Amazon 109b.txt line 4) but data\\Amazon 109d.txt "
      "line 4 is \"Ice Arrow\": not exchanged";
  PickEntry((*this)[kSecondClassCombo], 1);
  Tick(kEffectsCheckBox);
  Tick(kGraphicsCheckBox);
  Swap();
  // One reason stops both aspects: the box says it once.
  ExpectBox("Swapped!",
            "There were errors in your request\n"
            "   Effects, Graphics: not exchanged: " +
                kWrongSkill + "\n",
            IDI_INFORMATION);
  ExpectDllsUnchanged();
  PickEntry((*this)[kFirstSkillCombo], 1);
  Swap();
  ExpectBox("Swapped!", "Fire Arrow <-> Fire Bolt\n   Effects\n   Graphics\n", IDI_INFORMATION);

  Bytes game = GameDllBytes();
  Bytes client = ClientDllBytes();
  ExchangeRange(&game, kEffects, 0, 1, 1, 0, 1);
  ExchangeRange(&client, kGraphics, 0, 1, 1, 0, 1);
  EXPECT_EQ(work_.Read("game files\\d2game.dll"), game);
  EXPECT_EQ(work_.Read("game files\\d2client.dll"), client);
  CloseAndExpectExitCode(1);
}

// The one version whose fingerprints match both DLLs is selected at start.
TEST_F(OrvanelTest, StartsWithTheVersionTheDllsFingerprintsMatch) {
  work_.WriteAll();
  Bytes game = GameDllBytes();
  Bytes client = ClientDllBytes();
  char line[160];
  std::snprintf(line, sizeof line, "1.09d_LoD d2game.dll=%lu:%08lX d2client.dll=%lu:%08lx\r\n",
                static_cast<unsigned long>(game.size()),
                crc32(0, game.data(), static_cast<uInt>(game.size())),
                static_cast<unsigned long>(client.size()),
                crc32(0, client.data(), static_cast<uInt>(client.size())));
  work_.WriteFile("data\\versions.txt",
                  std::string("1.09b d2game.dll=1:00000000\r\n") + line + "|\r\n");
  ASSERT_TRUE(Start());
  EXPECT_EQ(ReadCombo((*this)[kVersionCombo]).selection, 1);
  ExpectDllsUnchanged();
  CloseAndExpectExitCode(1);
}

TEST_F(OrvanelTest, AboutShowsItsBoxAndExitEndsWithCodeOne) {
  work_.WriteAll();
  ASSERT_TRUE(Start());
  ChooseMenuCommand(main_, IDM_ABOUT);
  ExpectBox("About", "Diablo II Orvanel\nversion 0.01\nby Pellworth", IDI_INFORMATION);
  ChooseMenuCommand(main_, IDM_EXIT);
  EXPECT_EQ(run_.WaitForExit(kExitWaitMs), 1u);
  EXPECT_FALSE(work_.Exists("log.txt"));
}

TEST_F(OrvanelTest, SkillComboIsEmptiedCompletelyBeforeAShortListReplacesALongOne) {
  work_.WriteAll();
  work_.WriteFile("data\\classes.txt", "Hoarder\r\nAmazon\r\n|\r\n");
  std::string hoard;
  for (int skill = 0; skill < 300; ++skill) {
    hoard += "Skill_" + std::to_string(skill) + " 00100x e 00100x g 01000x d\r\n";
  }
  work_.WriteFile("data\\Hoarder 109b.txt", hoard + "|\r\n");
  ASSERT_TRUE(Start());
  EXPECT_EQ(ReadCombo((*this)[kFirstSkillCombo]).entries.size(), 300u);

  PickEntry((*this)[kFirstClassCombo], 1);
  ComboInfo skills = ReadCombo((*this)[kFirstSkillCombo]);
  EXPECT_EQ(skills.entries, FirstVersionSkills(0));
  EXPECT_EQ(skills.selection, 0);
  CloseAndExpectExitCode(1);
}

TEST_F(OrvanelTest, AnEmptyClassTableGivesEmptyCombosAndNoExchange) {
  work_.WriteAll();
  work_.WriteFile("data\\classes.txt", "// no classes yet\r\n|\r\n");
  ASSERT_TRUE(Start());
  for (Control combo : {kFirstClassCombo, kFirstSkillCombo, kSecondClassCombo, kSecondSkillCombo}) {
    ComboInfo info = ReadCombo((*this)[combo]);
    EXPECT_TRUE(info.entries.empty());
    EXPECT_EQ(info.selection, -1);
  }
  Tick(kDescsCheckBox);
  Swap();
  ExpectBox("Swapped!", std::string(kErrors) + "   Descriptions: not exchanged: " + kNoSkill,
            IDI_INFORMATION);
  ExpectDllsUnchanged();
  CloseAndExpectExitCode(1);
}

TEST_F(OrvanelTest, AnIdleWindowSleepsInsteadOfPolling) {
  work_.WriteAll();
  ASSERT_TRUE(Start());
  Sleep(300);  // let the window settle
  long before = run_.ProcessorTicks(work_.Dir());
  ASSERT_GE(before, 0) << "cannot find the program's process in Z:\\proc";
  Sleep(1000);
  // Ticks are hundredths of a second; a loop that polls without waiting uses
  // about 100 in that second.
  EXPECT_LT(run_.ProcessorTicks(work_.Dir()) - before, 20);
  CloseAndExpectExitCode(1);
}

TEST_F(OrvanelTest, AKeyPressWhileQIsDownEndsTheProgramWithCodeOne) {
  work_.WriteAll();
  ASSERT_TRUE(Start());
  BringToFront(main_);
  PressKey('A');
  ReleaseKey('A');
  EXPECT_EQ(run_.WaitForExit(kQuietMs), kStillRunning) << "a key without Q must not end it";
  PressKey('Q');
  DWORD code = run_.WaitForExit(kExitWaitMs);
  ReleaseKey('Q');
  EXPECT_EQ(code, 1u);
}

// The game holds d2client.dll (opened without sharing): the box says so and
// what to do, and no byte of either DLL changes, so that the retry after the
// game is closed does not exchange d2game.dll's Effects back.
TEST_F(OrvanelTest, ALockedDllGivesTheInUseReasonAndChangesNothing) {
  work_.WriteAll();
  HANDLE held = CreateFileA(work_.Path("game files\\d2client.dll").c_str(), GENERIC_READ, 0,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Start());
  PickEntry((*this)[kSecondClassCombo], 1);
  Tick(kEffectsCheckBox);
  Tick(kGraphicsCheckBox);
  Swap();
  ExpectBox("Swapped!",
            std::string(kErrors) + "   Effects, Graphics: not exchanged: " + work_.GameDir() +
                "\\d2client.dll is in use by another program: nothing was exchanged: close the "
                "game, then press Swap again\n",
            IDI_INFORMATION);
  CloseHandle(held);
  ExpectDllsUnchanged();
  CloseAndExpectExitCode(1);
}

// After exchanges, "Show Changes" names the pair and "Restore Original DLLs"
// asks first, then brings back the exact originals.
TEST_F(OrvanelTest, ShowChangesNamesThePairAndRestoreBringsBackTheOriginals) {
  work_.WriteAll();
  ASSERT_TRUE(Start());
  ChooseMenuCommand(main_, IDM_SHOW_CHANGES);
  ExpectBox("Changes", "# no backup: nothing has been changed\nversion 1.09b\n", IDI_INFORMATION);

  PickEntry((*this)[kSecondClassCombo], 1);
  Tick(kEffectsCheckBox);
  Tick(kDescsCheckBox);
  Swap();
  ExpectBox("Swapped!", "Magic Arrow <-> Fire Bolt\n   Effects\n   Descriptions\n",
            IDI_INFORMATION);
  ChooseMenuCommand(main_, IDM_SHOW_CHANGES);
  ExpectBox("Changes",
            "version 1.09b\nAmazon:Magic Arrow <-> Sorceress:Fire Bolt: Effects, Descriptions\n",
            IDI_INFORMATION);

  const char kAsk[] =
      "Put d2game.dll and d2client.dll back as they were before Orvanel first changed them?\n"
      "Every exchange made since is undone; the backups stay.";
  ChooseMenuCommand(main_, IDM_RESTORE);
  ExpectBox("Restore Original DLLs", kAsk, IDI_QUESTION, IDNO);
  EXPECT_NE(work_.Read("game files\\d2game.dll"), GameDllBytes()) << "No restored it";

  ChooseMenuCommand(main_, IDM_RESTORE);
  ExpectBox("Restore Original DLLs", kAsk, IDI_QUESTION, IDYES);
  std::string game = work_.GameDir() + "\\d2game.dll";
  std::string client = work_.GameDir() + "\\d2client.dll";
  for (char* path : {&game[0], &client[0]}) {
    for (char* c = path; *c != '\0'; ++c) {
      if (*c == '\\') *c = '/';
    }
  }
  ExpectBox("Restore Original DLLs",
            "Restored " + game + " from " + game + ".bak\nRestored " + client + " from " + client +
                ".bak\n",
            IDI_INFORMATION);
  ExpectDllsUnchanged();
  ChooseMenuCommand(main_, IDM_SHOW_CHANGES);
  ExpectBox("Changes", "# no changes\nversion 1.09b\n", IDI_INFORMATION);
  CloseAndExpectExitCode(1);
}

// File > Save Swap Set\u2026 keeps what Show Changes shows; after a restore,
// File > Apply Swap Set\u2026 of that file gives back the very same DLLs.
TEST_F(OrvanelTest, ASavedSwapSetAppliedAfterARestoreGivesTheSameDlls) {
  work_.WriteAll();
  ASSERT_TRUE(Start());
  PickEntry((*this)[kSecondClassCombo], 1);
  Tick(kEffectsCheckBox);
  Tick(kGraphicsCheckBox);
  Swap();
  ExpectBox("Swapped!", "Magic Arrow <-> Fire Bolt\n   Effects\n   Graphics\n", IDI_INFORMATION);
  const auto game = work_.Read("game files\\d2game.dll");
  const auto client = work_.Read("game files\\d2client.dll");
  const std::string set =
      "version 1.09b\nAmazon:Magic Arrow <-> Sorceress:Fire Bolt: Effects, Graphics\n";

  ChooseMenuCommand(main_, IDM_SAVE_SET);
  ASSERT_TRUE(AnswerFileDialog(work_.Path("my.set")));
  ExpectBox("Save Swap Set", "Swap set saved to " + work_.Path("my.set") + ":\n" + set,
            IDI_INFORMATION);
  Bytes savedBytes = work_.Read("my.set");
  std::string saved(savedBytes.begin(), savedBytes.end());
  EXPECT_EQ(saved,
            "version 1.09b\r\nAmazon:Magic Arrow <-> Sorceress:Fire Bolt: Effects, Graphics\r\n");

  ChooseMenuCommand(main_, IDM_RESTORE);
  BoxInfo box;
  for (int button : {IDYES, IDOK}) {
    ASSERT_TRUE(run_.WaitForBox(kBoxWaitMs, &box));
    ASSERT_TRUE(run_.CloseBox(box, button));
  }
  ExpectDllsUnchanged();

  // The set names 1.09b: applying it selects that version again.
  PickEntry((*this)[kVersionCombo], 1);
  ChooseMenuCommand(main_, IDM_APPLY_SET);
  ASSERT_TRUE(AnswerFileDialog(work_.Path("my.set")));
  ASSERT_TRUE(run_.WaitForBox(kBoxWaitMs, &box));
  EXPECT_EQ(box.caption, "Apply Swap Set");
  EXPECT_EQ(box.text.rfind("Swap set applied: version 1.09b, 1 exchange\n", 0), 0u) << box.text;
  EXPECT_EQ(box.icon, IDI_INFORMATION);
  ASSERT_TRUE(run_.CloseBox(box));
  EXPECT_EQ(work_.Read("game files\\d2game.dll"), game);
  EXPECT_EQ(work_.Read("game files\\d2client.dll"), client);
  EXPECT_EQ(ReadCombo((*this)[kVersionCombo]).selection, 0);
  CloseAndExpectExitCode(1);
}

// A journal left by a crash is looked at before anything else; one that is
// damaged is never applied: a box says so and nothing is written.
TEST_F(OrvanelTest, AJournalLeftByACrashIsToldInABoxAtStart) {
  work_.WriteAll();
  const std::string damaged = "Orvanel journal 1\nchange: Jab <-> Fire Bolt (Effects)\n";
  work_.WriteFile("game files\\orvanel.journal", damaged);
  ASSERT_TRUE(Start());
  std::string journal = work_.GameDir() + "\\orvanel.journal";
  ExpectBox("Orvanel",
            "a change was stopped half way, and " + journal +
                " is damaged: line 2: expected its checksum: nothing was written and "
                "orvanel.journal is kept: File > Restore Original DLLs (or orvanel-cli restore) "
                "brings back the original DLLs\n",
            IDI_EXCLAMATION);
  ExpectDllsUnchanged();
  EXPECT_EQ(work_.Read("game files\\orvanel.journal"), Bytes(damaged.begin(), damaged.end()));
  CloseAndExpectExitCode(1);
}

// The folder picker: its tree is worked through tree view messages.
class FolderPickerTest : public OrvanelTest {
 protected:
  HWND OpenPicker() {
    ChooseMenuCommand(main_, IDM_SET_FOLDER);
    HWND picker = WaitForFolderPicker(run_.ProcessId(), kBoxWaitMs);
    EXPECT_NE(picker, nullptr) << "no folder picker";
    if (picker == nullptr) return nullptr;
    EXPECT_NE(FindWindowExA(picker, nullptr, "Static", "Enter The Source Path"), nullptr);
    // It has no owner, so the main window stays usable while it is open.
    EXPECT_EQ(GetWindow(picker, GW_OWNER), nullptr);
    EXPECT_TRUE(IsWindowEnabled(main_));
    return picker;
  }

  void Press(HWND picker, int button) {
    PostClick(GetDlgItem(picker, button));
    for (int attempt = 0; attempt < 250 && IsWindow(picker); ++attempt) Sleep(20);
    EXPECT_FALSE(IsWindow(picker)) << "the folder picker did not close";
  }

  void ExpectFolderUnchanged(const Bytes& config) {
    EXPECT_EQ(WindowText((*this)[kFolderPathLabel]), work_.GameDir());
    EXPECT_EQ(work_.Read("data\\config.txt"), config);
  }
};

TEST_F(FolderPickerTest, CancellingChangesNothing) {
  work_.WriteAll();
  Bytes config = work_.Read("data\\config.txt");
  ASSERT_TRUE(Start());
  HWND picker = OpenPicker();
  ASSERT_NE(picker, nullptr);
  Press(picker, IDCANCEL);
  ExpectBox("D2 .dll", "D2 .dll folder not set", IDI_EXCLAMATION);
  ExpectFolderUnchanged(config);
  CloseAndExpectExitCode(1);
}

TEST_F(FolderPickerTest, PickedFolderIsStoredWithUnderscoresAndUsedWithBlanks) {
  work_.WriteTables();
  work_.WriteDlls();
  ASSERT_TRUE(Start());
  HWND picker = OpenPicker();
  ASSERT_NE(picker, nullptr);
  ASSERT_TRUE(SelectInFolderPicker(picker, PickerPathOf(work_.GameDir())));
  Press(picker, IDOK);

  std::string stored = work_.GameDir();
  for (char& c : stored) {
    if (c == ' ') c = '_';
  }
  // The window stores the folder (under the data folder's lock, flushed to
  // disk) after the picker has closed: give it the time a box gets.
  for (DWORD waited = 0; WindowText((*this)[kFolderPathLabel]) != stored && waited < kBoxWaitMs;
       waited += 20) {
    Sleep(20);
  }
  EXPECT_EQ(WindowText((*this)[kFolderPathLabel]), stored);
  EXPECT_EQ(AsText(work_.Read("data\\config.txt")), "Folder: " + stored);

  // The DLL paths keep the blank: the exchange finds the files.
  PickEntry((*this)[kSecondClassCombo], 1);
  Tick(kEffectsCheckBox);
  Swap();
  ExpectBox("Swapped!", "Magic Arrow <-> Fire Bolt\n   Effects\n", IDI_INFORMATION);
  Bytes game = GameDllBytes();
  ExchangeRange(&game, kEffects, 0, 0, 1, 0, 0);
  EXPECT_EQ(work_.Read("game files\\d2game.dll"), game);
  CloseAndExpectExitCode(1);
}

TEST_F(FolderPickerTest, AnItemWithoutFileSystemPathIsTreatedAsCancel) {
  work_.WriteAll();
  Bytes config = work_.Read("data\\config.txt");
  ASSERT_TRUE(Start());
  HWND picker = OpenPicker();
  ASSERT_NE(picker, nullptr);
  ASSERT_TRUE(SelectInFolderPicker(picker, {"My Computer"}));
  Press(picker, IDOK);
  ExpectBox("D2 .dll", "D2 .dll folder not set", IDI_EXCLAMATION);
  ExpectFolderUnchanged(config);
  CloseAndExpectExitCode(1);
}

// Marks a folder immutable through the Unix chattr for the life of the
// object; Held() is false when that did not take (no chattr, a file system
// without the mark), which a test then skips for.
class ImmutableFolder {
 public:
  explicit ImmutableFolder(const std::string& windowsPath) : path_(windowsPath) {
    Mark(true);
    std::string probe = path_ + "\\probe.tmp";
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    held_ = file == INVALID_HANDLE_VALUE;
    if (!held_) {
      CloseHandle(file);
      DeleteFileA(probe.c_str());
    }
  }
  ~ImmutableFolder() { Mark(false); }
  bool Held() const { return held_; }

 private:
  // Wine's drive Z: is the Unix root.
  void Mark(bool on) const {
    std::string unixPath = path_.substr(2);
    for (char& c : unixPath) c = c == '\\' ? '/' : c;
    std::string command = std::string("start /wait /unix /usr/bin/chattr ") + (on ? "+i" : "-i") +
                          " \"" + unixPath + "\"";
    std::system(command.c_str());
  }

  std::string path_;
  bool held_ = false;
};

TEST_F(FolderPickerTest, AReadOnlyOwnFolderSaysToUnpackOrvanelWhereTheUserCanWrite) {
  work_.WriteTables();
  work_.WriteDlls();
  // Root, who runs these tests, writes anywhere; an immutable folder is the
  // one it cannot write in.
  ImmutableFolder unwritable(work_.Path("data"));
  if (!unwritable.Held()) GTEST_SKIP() << "no immutable mark here (chattr)";
  const std::string advice =
      "Orvanel's own folder cannot be written: unpack Orvanel where you can write (not in "
      "Program Files) and start it there";
  ASSERT_TRUE(Start());
  ExpectStatus(advice + " (README.txt, section 3)");
  HWND picker = OpenPicker();
  ASSERT_NE(picker, nullptr);
  ASSERT_TRUE(SelectInFolderPicker(picker, PickerPathOf(work_.GameDir())));
  Press(picker, IDOK);
  ExpectBox("D2 .dll",
            "The folder holds for this run only: data\\config.txt could not be written (" + advice +
                "), so the next start will not know it.",
            IDI_EXCLAMATION);
  EXPECT_FALSE(work_.Exists("data\\config.txt"));
  CloseAndExpectExitCode(1);
}

TEST_F(FolderPickerTest, AFolderPathTooLongToStoreIsRefused) {
  work_.WriteAll();
  Bytes config = work_.Read("data\\config.txt");
  // 250 characters: more than the 242 that still leave room for
  // "\\d2client.dll", fewer than the picker's limit.
  std::string longName(250 - work_.Dir().size() - 1, 'x');
  std::string longFolder = work_.Dir() + "\\" + longName;
  ASSERT_EQ(longFolder.size(), 250u);
  ASSERT_TRUE(CreateDirectoryA(longFolder.c_str(), nullptr));
  ASSERT_TRUE(Start());
  HWND picker = OpenPicker();
  ASSERT_NE(picker, nullptr);
  ASSERT_TRUE(SelectInFolderPicker(picker, PickerPathOf(longFolder)));
  Press(picker, IDOK);
  ExpectBox("D2 .dll",
            "The folder path is too long: 250 characters, at most 242 fit.\n"
            "D2 .dll folder not changed",
            IDI_EXCLAMATION);
  ExpectFolderUnchanged(config);
  CloseAndExpectExitCode(1);
}

}  // namespace

// The journal of a change: its text reads back as written, and anything else
// (cut short, edited, a wrong checksum) is refused rather than applied; a
// change stopped between its saves is undone from the DLLs and the journal.
#include "files/journal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "change/transaction.h"
#include "sets/status.h"
#include "tests/unit/patch_test_support.h"

namespace {

const uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const uint8_t*>(text.data());
}

// A journal of two DLLs: one with changes far apart and close together, one
// that the change brings back.
Journal TwoDlls(const std::string& before, const std::string& after) {
  Journal journal;
  journal.change = "Magic Arrow <-> Fire Bolt (Effects, Graphics)";
  journal.files.resize(2);
  EXPECT_TRUE(DescribeWrite("d2game.dll", Bytes(before), before.size(), Bytes(after), after.size(),
                            &journal.files[0]));
  EXPECT_TRUE(
      DescribeWrite("d2client.dll", nullptr, 0, Bytes(after), after.size(), &journal.files[1]));
  return journal;
}

TEST(JournalTest, TheTextReadsBackAsWritten) {
  // Over three 4 KiB blocks, which the search for differences passes whole.
  std::string before = DllBytes(9000, 4);
  std::string after = before;
  after[10] ^= 1;
  after[20] ^= 1;  // 9 equal bytes apart: one range
  after[4095] ^= 1;
  after[4096] ^= 1;  // across a block's end: one range
  after[8999] ^= 1;
  Journal written = TwoDlls(before, after);
  ASSERT_EQ(written.files[0].ranges.size(), 3u);
  EXPECT_EQ(written.files[0].ranges[0].start, 10u);
  EXPECT_EQ(written.files[0].ranges[0].before.size(), 11u);
  EXPECT_EQ(written.files[0].ranges[1].start, 4095u);
  EXPECT_EQ(written.files[0].ranges[2].start, 8999u);
  JournalFile resized;
  EXPECT_FALSE(DescribeWrite("d2game.dll", Bytes(before), 8999, Bytes(after), 9000, &resized));

  Journal read;
  FileError unread = ReadJournalText(JournalText(written), &read);
  ASSERT_FALSE(unread.Failed()) << unread.detail;
  EXPECT_EQ(read.change, written.change);
  ASSERT_EQ(read.files.size(), 2u);
  for (size_t f = 0; f < 2; ++f) {
    const JournalFile& a = written.files[f];
    const JournalFile& b = read.files[f];
    EXPECT_EQ(b.name, a.name);
    EXPECT_EQ(b.absentBefore, a.absentBefore);
    EXPECT_EQ(b.sizeBefore, a.sizeBefore);
    EXPECT_EQ(b.crcBefore, a.crcBefore);
    EXPECT_EQ(b.sizeAfter, a.sizeAfter);
    EXPECT_EQ(b.crcAfter, a.crcAfter);
    ASSERT_EQ(b.ranges.size(), a.ranges.size());
    for (size_t r = 0; r < a.ranges.size(); ++r) {
      EXPECT_EQ(b.ranges[r].start, a.ranges[r].start);
      EXPECT_EQ(b.ranges[r].before, a.ranges[r].before);
      EXPECT_EQ(b.ranges[r].after, a.ranges[r].after);
    }
  }
  EXPECT_TRUE(read.files[1].absentBefore);
  EXPECT_EQ(read.files[0].crcBefore, ImageCrc(Bytes(before), before.size()));
  // Told from the ranges, the CRC after is the file's own.
  EXPECT_EQ(read.files[0].crcAfter, ImageCrc(Bytes(after), after.size()));
  uint32_t crc = 0;
  EXPECT_FALSE(CrcWithRanges(0, 3000, {{10, {1, 2}, {3, 4}}, {11, {5}, {6}}}, &crc));
}

TEST(JournalTest, ADamagedJournalIsRefused) {
  std::string before = DllBytes(500, 5);
  std::string after = before;
  after[100] ^= 0xFF;
  std::string text = JournalText(TwoDlls(before, after));
  Journal read;
  // Cut short anywhere: never read.
  for (size_t length = 0; length < text.size(); ++length) {
    EXPECT_TRUE(ReadJournalText(text.substr(0, length), &read).Failed()) << length;
  }
  struct Case {
    std::string from, to;  // a change to the text
    const char* why;       // the start of the reason
  };
  size_t checksum = text.rfind("checksum: ");
  const Case cases[] = {
      {"Fire Bolt", "Fire Bolz", "its checksum"},
      {text.substr(checksum), "checksum: 1234567\n", "line 10: expected its checksum"},
      {"Orvanel journal 1", "Orvanel journal 2", "line 1: expected"},
  };
  for (const Case& c : cases) {
    std::string damaged = text;
    damaged.replace(damaged.find(c.from), c.from.size(), c.to);
    std::string why = ReadJournalText(damaged, &read).detail;
    EXPECT_EQ(why.rfind(c.why, 0), 0u) << c.to << ": " << why;
    EXPECT_TRUE(read.files.empty());
  }
  // A line no journal has, under a checksum that fits it: still refused.
  std::string body = text.substr(0, checksum) + "range: 00000000 AB\n";
  char sum[9];
  std::snprintf(sum, sizeof sum, "%08X", ImageCrc(Bytes(body), body.size()));
  EXPECT_EQ(ReadJournalText(body + "checksum: " + sum + "\n", &read).detail,
            "line 10 is not a journal line");
}

using TransactionTest = GameFolderTest;

// A change that wrote d2game.dll and was stopped before d2client.dll: status
// tells of it and changes nothing; the next undo puts d2game.dll back and
// says what it undid; a DLL changed since stops the undo.
TEST_F(TransactionTest, AStoppedChangeIsUndoneAndAForeignChangeStopsTheUndo) {
  std::string changedGame = game_;
  changedGame[40] ^= 0x11;
  std::string changedClient = client_;
  changedClient[70] ^= 0x22;
  patcher_.changeable[kGameDll] = {{40, 12}};
  patcher_.changeable[kClientDll] = {{70, 12}};
  std::vector<JournalFile> files(2);
  DescribeWrite("d2game.dll", Bytes(game_), game_.size(), Bytes(changedGame), changedGame.size(),
                &files[0]);
  DescribeWrite("d2client.dll", Bytes(client_), client_.size(), Bytes(changedClient),
                changedClient.size(), &files[1]);
  ASSERT_FALSE(WriteJournal(*patcher_.saveSteps, JournalPath(patcher_.dllPaths[kGameDll]),
                            {"Jab <-> Nova (Effects, Graphics)", files})
                   .Failed());
  WriteFileBytes("game/d2game.dll", changedGame);

  std::vector<std::string> lines;
  DescribeChanges(patcher_, nullptr, nullptr, 0, &lines);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].rfind("# a change was stopped half way (Jab <-> Nova (Effects, Graphics))", 0),
            0u);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == changedGame);

  std::string kept = ReadFileBytes("game/orvanel.journal");
  std::string foreign = changedGame;
  foreign[41] ^= 1;
  WriteFileBytes("game/d2game.dll", foreign);
  std::string note;
  FileError error;
  EXPECT_TRUE((error = UndoInterruptedChange(patcher_, &note)).Failed());
  EXPECT_NE(UserReason(error).find("d2game.dll was changed by something else"), std::string::npos);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == foreign);
  EXPECT_EQ(ReadFileBytes("game/orvanel.journal"), kept);

  WriteFileBytes("game/d2game.dll", changedGame);
  EXPECT_FALSE(UndoInterruptedChange(patcher_, &note).Failed());
  EXPECT_EQ(note, "An interrupted change was undone: Jab <-> Nova (Effects, Graphics)\n");
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game_);
  EXPECT_TRUE(ReadFileBytes("game/d2client.dll") == client_);
  EXPECT_FALSE(std::filesystem::exists("game/orvanel.journal"));
}

// Journals no change of the tables could have written, each beside DLLs it
// would otherwise rewrite or remove: refused, the DLLs and journal untouched.
TEST_F(TransactionTest, AJournalNoChangeCouldWriteIsRefused) {
  patcher_.changeable[kGameDll] = {{40, 12}};
  patcher_.changeable[kClientDll] = {{70, 12}};
  std::string changedGame = game_;
  changedGame[44] ^= 0x11;
  auto stopped = [&](const std::string& gameNow) {
    Journal journal{"Jab <-> Nova (Effects)", std::vector<JournalFile>(1)};
    DescribeWrite("d2game.dll", Bytes(game_), game_.size(), Bytes(changedGame), changedGame.size(),
                  &journal.files[0]);
    WriteFileBytes("game/d2game.dll", gameNow);
    return journal;
  };
  auto ranges = [&](size_t count, size_t length, uint32_t start) {
    Journal journal = stopped(changedGame);
    journal.files[0].sizeBefore = journal.files[0].sizeAfter = 600000;
    journal.files[0].ranges.assign(
        count, {start, std::vector<uint8_t>(length, 1), std::vector<uint8_t>(length, 2)});
    for (size_t i = 0; i < count; ++i) journal.files[0].ranges[i].start += uint32_t(i * length);
    return JournalText(journal);
  };
  struct Row {
    const char* what;
    std::function<std::string()> text;  // the journal, with the DLLs set
    const char* why;
  };
  const Row rows[] = {
      {"before: absent",
       [&] {
         Journal journal = stopped(game_);  // d2game.dll not yet written
         journal.files.emplace_back();
         DescribeWrite("d2client.dll", nullptr, 0, Bytes(client_), client_.size(),
                       &journal.files[1]);
         return JournalText(journal);
       },
       "undoing it would remove"},
      {"512 KiB", [&] { return ranges(1, 512 * 1024, 0); }, "is larger than any change"},
      {"20,000 ranges", [&] { return ranges(20000, 1, 0); }, "is larger than any change"},
      {"outside every table",
       [&] {
         Journal journal = stopped(changedGame);
         journal.files[0].ranges[0].start = 100;
         return JournalText(journal);
       },
       "it changes byte 00000064"},
      {"past the joins",
       [&] {
         Journal journal = stopped(changedGame);
         JournalRange& range = journal.files[0].ranges[0];
         range = {20,
                  {changedGame.begin() + 20, changedGame.begin() + 60},
                  {changedGame.begin() + 20, changedGame.begin() + 60}};
         range.before[44 - 20] = static_cast<uint8_t>(game_[44]);
         return JournalText(journal);
       },
       "hold more bytes"},
      {"new bytes not the DLL's",
       [&] {
         Journal journal = stopped(changedGame);
         journal.files[0].ranges[0].after[0] ^= 1;  // its size and CRC after still fit
         return JournalText(journal);
       },
       "was changed by something else"},
      {"100 MB", [&] { return std::string(); }, "is larger than any change"},
  };
  for (const Row& row : rows) {
    WriteFileBytes("game/d2client.dll", client_);
    std::string text = row.text();
    WriteFileBytes("game/orvanel.journal", text);
    if (text.empty()) std::filesystem::resize_file("game/orvanel.journal", 100u << 20);
    std::string game = ReadFileBytes("game/d2game.dll");
    std::string note;
    FileError error = UndoInterruptedChange(patcher_, &note);
    EXPECT_EQ(error.problem, Problem::kJournalKept) << row.what;
    EXPECT_NE(UserReason(error).find(row.why), std::string::npos) << row.what << UserReason(error);
    EXPECT_NE(UserReason(error).find("Restore Original DLLs"), std::string::npos) << row.what;
    EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game) << row.what;
    EXPECT_TRUE(ReadFileBytes("game/d2client.dll") == client_) << row.what;
    if (!text.empty()) {
      EXPECT_EQ(ReadFileBytes("game/orvanel.journal"), text) << row.what;
    }
    EXPECT_EQ(std::filesystem::file_size("game/orvanel.journal"),
              text.empty() ? 100u << 20 : text.size());
  }
}

}  // namespace

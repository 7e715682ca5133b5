// The swap-set text: what reads, what is refused with its line, and that
// the written form reads back as itself.
#include "tables/swap_set.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SwapSet, ReadsCommentsVersionAndExchangesInOrder) {
  SwapSet set;
  FileError error = ReadSwapSet(
      "# saved by hand\r\n\r\nversion 1.13c beta\r\n"
      "Amazon:Magic Arrow <-> Sorceress:Fire Bolt: Effects, descriptions\r\n"
      "  Amazon:Jab<->Amazon:Magic Arrow:Graphics  \n# the end",
      &set);
  ASSERT_FALSE(error.Failed()) << error.detail;
  EXPECT_EQ(set.version, "1.13c beta");
  EXPECT_EQ(set.versionLine, 3);
  ASSERT_EQ(set.exchanges.size(), 2u);
  const SetExchange& first = set.exchanges[0];
  EXPECT_EQ(first.line, 4);
  EXPECT_EQ(first.first.className, "Amazon");
  EXPECT_EQ(first.first.skillName, "Magic Arrow");
  EXPECT_EQ(first.second.skillName, "Fire Bolt");
  EXPECT_TRUE(first.aspects[0] && !first.aspects[1] && first.aspects[2]);
  EXPECT_EQ(SetExchangeLine(set.exchanges[1]), "Amazon:Jab <-> Amazon:Magic Arrow: Graphics");

  SwapSet again;
  ASSERT_FALSE(ReadSwapSet(SwapSetText(set), &again).Failed());
  EXPECT_EQ(SwapSetText(again), SwapSetText(set));
  EXPECT_EQ(SwapSetText(set),
            "version 1.13c beta\n"
            "Amazon:Magic Arrow <-> Sorceress:Fire Bolt: Effects, Descriptions\n"
            "Amazon:Jab <-> Amazon:Magic Arrow: Graphics\n");
}

// text in UTF-16 with its byte-order mark, as PowerShell's ">" saves it.
std::string Utf16(const std::u16string& text, bool bigEndian) {
  std::string bytes;
  for (char16_t unit : u"\uFEFF" + text) {
    char high = static_cast<char>(unit >> 8);
    char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

// Every way Windows tools save a set reads as the same set, characters
// beyond ASCII (one needing two UTF-16 units) included.
TEST(SwapSet, ReadsTheEncodingsWindowsSaves) {
  const std::string utf8 =
      "version 1.09b\r\nAmazon:Jab <-> Paladin:Z\xC3\xA9"
      "al \xF0\x9F\x98\x80: Effects\r\n";
  const std::u16string utf16 =
      u"version 1.09b\r\nAmazon:Jab <-> Paladin:Z\u00E9al \U0001F600: Effects\r\n";
  for (const std::string& bytes :
       {utf8, "\xEF\xBB\xBF" + utf8, Utf16(utf16, false), Utf16(utf16, true)}) {
    SwapSet set;
    FileError error = ReadSwapSet(bytes, &set);
    ASSERT_FALSE(error.Failed()) << error.detail;
    EXPECT_EQ(SwapSetText(set),
              "version 1.09b\nAmazon:Jab <-> Paladin:Z\xC3\xA9"
              "al \xF0\x9F\x98\x80: Effects\n");
  }
}

TEST(SwapSet, AWrongLineIsNamedWithWhatIsWrong) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"# nothing\n", "line 2: no version line \"version NAME\""},
      {"version\n", "line 1: the version line names no version"},
      {"version 1.09b\nversion 1.09d\n", "line 2: a second version line (the first is line 1)"},
      {"A:B <-> C:D: Effects\n", "line 1: an exchange before the version line \"version NAME\""},
      {"version 1.09b\nA:B <-> C:D: Effects\nversion 1.10\n",
       "line 3: a second version line (the first is line 1)"},
      {"version 1.09b\nswap everything\n",
       "line 2: expected \"version NAME\" or \"CLASS:SKILL <-> CLASS:SKILL: Aspect, ...\", found "
       "\"swap everything\""},
      {"version 1.09b\nA:B <-> C:D\n",
       "line 2: expected \": Aspect, ...\" after the second skill, found \"C:D\""},
      {"version 1.09b\nAB <-> C:D: Effects\n",
       "line 2: expected CLASS:SKILL as the first skill, found \"AB\""},
      {"version 1.09b\nA: <-> C:D: Effects\n",
       "line 2: the first skill \"A:\" lacks its class or its name"},
      {"version 1.09b\nA:B <-> C:D: Effects, Sound\n",
       "line 2: unknown aspect \"Sound\": expected Effects, Graphics or Descriptions"},
      {"version 1.09b\nA:B <-> C:D: Graphics, graphics\n", "line 2: Graphics is named twice"},
      {"version 1.09b\nA:B <-> C:D: \n",
       "line 2: unknown aspect \"\": expected Effects, Graphics or Descriptions"},
  };
  for (const Case& c : cases) {
    SwapSet set;
    FileError error = ReadSwapSet(c.text, &set);
    EXPECT_EQ(error.problem, Problem::kSetLine) << c.text;
    // The words name the line the error keeps.
    EXPECT_EQ(UserReason(error), c.error) << c.text;
  }
}

}  // namespace

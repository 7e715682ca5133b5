// The swap-set text: what reads, what is refused with its line, and that
// the written form reads back as itself.
#include "tables/swap_set.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SwapSet, ReadsCommentsVersionAndExchangesInOrder) {
  SwapSet set;
  std::string error;
  ASSERT_TRUE(
      ReadSwapSet("# saved by hand\r\n\r\nversion 1.13c beta\r\n"
                  "Amazon:Magic Arrow <-> Sorceress:Fire Bolt: Effects, descriptions\r\n"
                  "  Amazon:Jab<->Amazon:Magic Arrow:Graphics  \n# the end",
                  &set, &error))
      << error;
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
  ASSERT_TRUE(ReadSwapSet(SwapSetText(set), &again, &error)) << error;
  EXPECT_EQ(SwapSetText(again), SwapSetText(set));
  EXPECT_EQ(SwapSetText(set),
            "version 1.13c beta\n"
            "Amazon:Magic Arrow <-> Sorceress:Fire Bolt: Effects, Descriptions\n"
            "Amazon:Jab <-> Amazon:Magic Arrow: Graphics\n");
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
    std::string error;
    EXPECT_FALSE(ReadSwapSet(c.text, &set, &error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

}  // namespace

// The two skill pairs the crash saver exchanges, shared with the driver that
// predicts the files. Per pair, the offsets of the first and of the second
// skill: effects in d2game.dll, graphics and descriptions in d2client.dll,
// or all three in Game.exe for a version kept in one file. All twelve ranges
// are apart and inside the driver's 1 MiB files, so the two pairs' exchanges
// never touch the same byte, in two files or in one.
#ifndef ORVANEL_TESTS_CRASH_CRASH_PAIRS_H_
#define ORVANEL_TESTS_CRASH_CRASH_PAIRS_H_

struct CrashPair {
  const char* effects[2];
  const char* graphics[2];
  const char* descriptions[2];
};

constexpr int kCrashPairCount = 2;
constexpr CrashPair kCrashPairs[kCrashPairCount] = {
    {{"1000", "80000"}, {"5000", "C0000"}, {"3000", "A0000"}},
    {{"2000", "90000"}, {"6000", "D0000"}, {"4000", "B0000"}},
};

#endif  // ORVANEL_TESTS_CRASH_CRASH_PAIRS_H_

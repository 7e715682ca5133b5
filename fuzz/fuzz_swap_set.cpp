// ReadSwapSet on arbitrary bytes: a refusal names a line of the text; a set
// that reads is written back as text that reads as the very same set, so
// that what status prints always applies as it was read.
#include <algorithm>
#include <string>

#include "fuzz/fuzz_support.h"
#include "tables/swap_set.h"

namespace {

bool SameSkill(const SetSkill& a, const SetSkill& b) {
  return a.className == b.className && a.skillName == b.skillName;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  SwapSet set;
  FileError error = ReadSwapSet(text, &set);
  if (error.Failed()) {
    FUZZ_CHECK(error.problem == Problem::kSetLine && !error.detail.empty());
    long line = error.line;
    long lines = static_cast<long>(std::count(text.begin(), text.end(), '\n')) + 1;
    FUZZ_CHECK(line >= 1 && line <= lines + 1);
    return 0;
  }
  SwapSet again;
  FUZZ_CHECK(!ReadSwapSet(SwapSetText(set), &again).Failed());
  FUZZ_CHECK(again.version == set.version);
  FUZZ_CHECK(again.exchanges.size() == set.exchanges.size());
  for (size_t i = 0; i < set.exchanges.size(); ++i) {
    const SetExchange& a = set.exchanges[i];
    const SetExchange& b = again.exchanges[i];
    FUZZ_CHECK(SameSkill(a.first, b.first) && SameSkill(a.second, b.second));
    FUZZ_CHECK(std::equal(a.aspects, a.aspects + kAspectCount, b.aspects));
  }
  return 0;
}

// SwapRanges with random images, offset texts and lengths, against a simple
// reference: a call the contract refuses changes nothing; an accepted one
// puts the former bytes of B at A and those of A at B (A winning where they
// overlap), and no byte outside both ranges ever changes.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "patch/dll_patcher.h"

namespace {

const int32_t kMaxImageSize = 4096;

// Offset texts the exchange may use: 1 to 8 upper-case hexadecimal digits.
bool IsOffsetText(const std::string& text) {
  return !text.empty() && text.size() <= 8 &&
         text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

uint64_t OffsetValue(const std::string& text) {
  return std::stoull(text, nullptr, 16);
}

// Mostly offsets near the image, written as the tables write them, with now
// and then a form the contract refuses or any text at all.
std::string MakeOffsetText(FuzzedDataProvider& in, int32_t imageSize) {
  char text[32];
  switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0:
      return in.ConsumeRandomLengthString(12).c_str();  // the program sees texts up to a NUL
    case 1:
      std::snprintf(text, sizeof text, "%" PRIX32, in.ConsumeIntegral<uint32_t>());
      return text;
    case 2:
      std::snprintf(text, sizeof text, "%" PRIx32,
                    in.ConsumeIntegralInRange<uint32_t>(0, imageSize + 300));
      return text;
    case 3:
      std::snprintf(text, sizeof text, "%0*" PRIX32, in.ConsumeIntegralInRange(1, 10),
                    in.ConsumeIntegralInRange<uint32_t>(0, imageSize + 300));
      return text;
    default:
      std::snprintf(text, sizeof text, "%" PRIX32,
                    in.ConsumeIntegralInRange<uint32_t>(0, imageSize + 300));
      return text;
  }
}

int32_t MakeLength(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0:
      return in.ConsumeIntegral<int32_t>();
    case 1:
      return in.ConsumeIntegralInRange(-2, 300);
    case 2:
      return 12;
    case 3:
      return 20;
    case 4:
      return 16;
    default:
      return in.ConsumeIntegralInRange(1, 256);
  }
}

// The bytes outside both ranges, compared gap by gap (memcmp keeps the
// check itself out of the coverage feedback).
void CheckUnchangedOutside(const std::vector<uint8_t>& before, const uint8_t* after,
                           std::pair<uint64_t, uint64_t> first,
                           std::pair<uint64_t, uint64_t> second) {
  if (second.first < first.first) std::swap(first, second);
  uint64_t gapEnds[] = {first.first, second.first, before.size()};
  uint64_t gapStarts[] = {0, first.second, std::max(first.second, second.second)};
  for (int gap = 0; gap < 3; ++gap) {
    if (gapStarts[gap] >= gapEnds[gap]) continue;
    FUZZ_CHECK(std::memcmp(after + gapStarts[gap], before.data() + gapStarts[gap],
                           gapEnds[gap] - gapStarts[gap]) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static DllPatcher* patcher = [] {
    EnterEmptyScratchFolder();  // sends the refusals' log lines nowhere
    return new DllPatcher;
  }();
  FuzzedDataProvider in(data, size);
  int32_t length = MakeLength(in);
  int32_t imageSize = in.ConsumeIntegralInRange(0, kMaxImageSize);
  bool noImage = imageSize == 0 && in.ConsumeBool();
  std::string a = MakeOffsetText(in, imageSize);
  std::string b = MakeOffsetText(in, imageSize);
  std::vector<uint8_t> before = in.ConsumeBytes<uint8_t>(imageSize);
  // Short inputs give a patterned rest, so that moved bytes stay visible.
  static const std::vector<uint8_t> pattern = [] {
    std::vector<uint8_t> bytes(kMaxImageSize);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    return bytes;
  }();
  size_t given = before.size();
  before.resize(imageSize);
  std::copy(pattern.begin() + given, pattern.begin() + imageSize, before.begin() + given);

  patcher->image = noImage ? ByteStore() : ByteStore::Copy(before.data(), imageSize);
  patcher->imageSize = imageSize;

  bool accepted = IsOffsetText(a) && IsOffsetText(b) && length >= 1 && length <= kWindowSize &&
                  !noImage && OffsetValue(a) + length <= static_cast<uint64_t>(imageSize) &&
                  OffsetValue(b) + length <= static_cast<uint64_t>(imageSize);
  int result = patcher->SwapRanges(length, a.c_str(), b.c_str());
  if (result != (accepted ? 1 : 0)) {
    std::fprintf(stderr, "SwapRanges(%d, \"%s\", \"%s\") on %d bytes gave %d\n", length, a.c_str(),
                 b.c_str(), imageSize, result);
  }
  FUZZ_CHECK(result == (accepted ? 1 : 0));
  FUZZ_CHECK(patcher->imageSize == imageSize);
  if (noImage) {
    FUZZ_CHECK(patcher->image == nullptr);
    return 0;
  }

  std::vector<uint8_t> expected = before;
  uint64_t atA = accepted ? OffsetValue(a) : 0;
  uint64_t atB = accepted ? OffsetValue(b) : 0;
  if (accepted) {
    std::memcpy(&expected[atB], &before[atA], length);
    std::memcpy(&expected[atA], &before[atB], length);
  }
  const uint8_t* after = patcher->image.get();
  if (accepted) {
    CheckUnchangedOutside(before, after, {atA, atA + length}, {atB, atB + length});
  }
  FUZZ_CHECK(imageSize == 0 || std::memcmp(after, expected.data(), imageSize) == 0);
  return 0;
}

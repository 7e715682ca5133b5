// The PE reader on arbitrary bytes: libFuzzer's buffer is exactly the input,
// so the sanitizers catch any read outside it. A version is only ever read
// from a file that carries the marks it is read by.
#include <algorithm>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "files/pe_version.h"

namespace {

bool Holds(const uint8_t* data, size_t size, const char* mark, size_t length) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(mark);
  return std::search(data, data + size, bytes, bytes + length) != data + size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PeVersion version = ReadPeVersion(data, size);
  bool isPe = size >= 2 && data[0] == 'M' && data[1] == 'Z' && Holds(data, size, "PE\0\0", 4);
  FUZZ_CHECK(isPe || (!version.hasFileVersion && !version.hasBuildTime));
  FUZZ_CHECK(!version.hasBuildTime || version.buildTime != 0);
  // VS_FIXEDFILEINFO's signature, 0xFEEF04BD, little-endian.
  FUZZ_CHECK(!version.hasFileVersion || Holds(data, size, "\xBD\x04\xEF\xFE", 4));
  std::string words = PeVersionWords("Game.exe", version);
  FUZZ_CHECK(words.empty() == (!version.hasFileVersion && !version.hasBuildTime));
  return 0;
}

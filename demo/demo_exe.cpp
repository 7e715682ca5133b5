#include "demo/demo_exe.h"

#include <cstring>

#include "demo/demo_dlls.h"

namespace {

constexpr uint32_t kPeAt = 0x40;
constexpr uint32_t kOptionalAt = kPeAt + 24;
constexpr uint16_t kOptionalSize = 224;  // PE32 with 16 data directories
constexpr uint32_t kSectionTableAt = kOptionalAt + kOptionalSize;
constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kResourceAt = 0x200;  // in the file
constexpr uint32_t kResourceRva = 0x1000;
// The resource tree: type 16 (version) > name 1 > language 0x409 > data.
constexpr uint32_t kNameDirectory = 0x18;
constexpr uint32_t kLanguageDirectory = 0x30;
constexpr uint32_t kDataEntry = 0x48;
constexpr uint32_t kVersionInfo = 0x58;
constexpr uint16_t kVersionInfoSize = 92;  // header, key, padding, VS_FIXEDFILEINFO

class Writer {
 public:
  explicit Writer(std::vector<uint8_t>* bytes) : bytes_(bytes) {}
  void U16(uint32_t at, uint16_t value) {
    (*bytes_)[at] = static_cast<uint8_t>(value);
    (*bytes_)[at + 1] = static_cast<uint8_t>(value >> 8);
  }
  void U32(uint32_t at, uint32_t value) {
    U16(at, static_cast<uint16_t>(value));
    U16(at + 2, static_cast<uint16_t>(value >> 16));
  }

 private:
  std::vector<uint8_t>* bytes_;
};

void WriteHeaders(Writer* out, uint32_t buildTime) {
  out->U16(0, 0x5A4D);  // "MZ"
  out->U32(0x3C, kPeAt);
  out->U32(kPeAt, 0x00004550);  // "PE\0\0"
  out->U16(kPeAt + 4, 0x14C);   // i386
  out->U16(kPeAt + 6, 1);       // one section
  out->U32(kPeAt + 8, buildTime);
  out->U16(kPeAt + 20, kOptionalSize);
  out->U16(kPeAt + 22, 0x0102);          // executable, 32-bit
  out->U16(kOptionalAt, 0x10B);          // PE32
  out->U32(kOptionalAt + 28, 0x400000);  // image base
  out->U32(kOptionalAt + 32, 0x1000);    // section alignment
  out->U32(kOptionalAt + 36, kFileAlignment);
  out->U16(kOptionalAt + 40, 4);                      // operating system 4.0
  out->U16(kOptionalAt + 48, 4);                      // subsystem 4.0
  out->U32(kOptionalAt + 56, kResourceRva + 0x1000);  // size of image
  out->U32(kOptionalAt + 60, kResourceAt);            // size of headers
  out->U16(kOptionalAt + 68, 2);                      // Windows GUI
  out->U32(kOptionalAt + 92, 16);                     // data directories
  out->U32(kOptionalAt + 96 + 2 * 8, kResourceRva);
  out->U32(kOptionalAt + 96 + 2 * 8 + 4, kVersionInfo + kVersionInfoSize);
}

void WriteSectionHeader(std::vector<uint8_t>* bytes, Writer* out) {
  std::memcpy(bytes->data() + kSectionTableAt, ".rsrc", 5);
  out->U32(kSectionTableAt + 8, kVersionInfo + kVersionInfoSize);
  out->U32(kSectionTableAt + 12, kResourceRva);
  out->U32(kSectionTableAt + 16, kFileAlignment);
  out->U32(kSectionTableAt + 20, kResourceAt);
  out->U32(kSectionTableAt + 36, 0x40000040);  // initialised data, readable
}

// A directory of one entry with an id, pointing at a subdirectory or data.
void WriteDirectory(Writer* out, uint32_t at, uint32_t id, uint32_t target) {
  out->U16(kResourceAt + at + 14, 1);
  out->U32(kResourceAt + at + 16, id);
  out->U32(kResourceAt + at + 20, target);
}

void WriteVersionInfo(Writer* out, const uint16_t version[4]) {
  uint32_t at = kResourceAt + kVersionInfo;
  out->U16(at, kVersionInfoSize);
  out->U16(at + 2, 52);
  const char key[] = "VS_VERSION_INFO";
  for (uint32_t c = 0; c < sizeof key; ++c) out->U16(at + 6 + 2 * c, static_cast<uint8_t>(key[c]));
  uint32_t fixed = at + 40;
  out->U32(fixed, 0xFEEF04BD);
  out->U32(fixed + 4, 0x10000);
  for (uint32_t pair : {8u, 16u}) {  // file version, then product version
    out->U32(fixed + pair, static_cast<uint32_t>(version[0]) << 16 | version[1]);
    out->U32(fixed + pair + 4, static_cast<uint32_t>(version[2]) << 16 | version[3]);
  }
  out->U32(fixed + 24, 0x3F);     // flags mask
  out->U32(fixed + 32, 0x40004);  // Windows NT
  out->U32(fixed + 36, 1);        // an application
}

}  // namespace

std::vector<uint8_t> StandInExe(const uint16_t fileVersion[4], uint32_t buildTime, uint32_t size) {
  if (size < kDemoExeHeaderSize) size = kDemoExeHeaderSize;
  std::vector<uint8_t> bytes(size, kDemoBackground);
  std::memset(bytes.data(), 0, kDemoExeHeaderSize);
  Writer out(&bytes);
  WriteHeaders(&out, buildTime);
  WriteSectionHeader(&bytes, &out);
  WriteDirectory(&out, 0, 16, 0x80000000 | kNameDirectory);
  WriteDirectory(&out, kNameDirectory, 1, 0x80000000 | kLanguageDirectory);
  WriteDirectory(&out, kLanguageDirectory, 0x409, kDataEntry);
  out.U32(kResourceAt + kDataEntry, kResourceRva + kVersionInfo);
  out.U32(kResourceAt + kDataEntry + 4, kVersionInfoSize);
  WriteVersionInfo(&out, fileVersion);
  return bytes;
}

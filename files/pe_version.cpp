#include "files/pe_version.h"

#include <cstdio>
#include <string>

#include "io/file_case.h"
#include "io/file_paths.h"
#include "io/whole_file.h"
#include "tables/version_files.h"

namespace {

constexpr uint16_t kMzSignature = 0x5A4D;      // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint32_t kNewHeaderPointer = 0x3C;   // e_lfanew
constexpr uint32_t kCoffHeaderSize = 20;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectory = 2;  // index among the data directories
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint16_t kMaxSections = 96;          // the format's own limit
constexpr uint32_t kVersionResourceType = 16;  // RT_VERSION
constexpr uint32_t kSubdirectoryFlag = 0x80000000;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
// VS_VERSIONINFO: three WORDs, the key L"VS_VERSION_INFO" with its NUL, then
// VS_FIXEDFILEINFO at the next 32-bit boundary.
const char kVersionKey[] = "VS_VERSION_INFO";
constexpr uint32_t kKeyAt = 6;
constexpr uint32_t kFixedInfoAt = 40;
constexpr uint32_t kFixedInfoSize = 52;

// Little-endian reads that never leave the bytes; offsets are 64-bit so that
// no sum of 32-bit fields can wrap.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Has(uint64_t at, uint64_t length) const { return at <= size_ && length <= size_ - at; }
  bool U16(uint64_t at, uint16_t* value) const {
    if (!Has(at, 2)) return false;
    *value = static_cast<uint16_t>(data_[at] | data_[at + 1] << 8);
    return true;
  }
  bool U32(uint64_t at, uint32_t* value) const {
    if (!Has(at, 4)) return false;
    *value = static_cast<uint32_t>(data_[at]) | static_cast<uint32_t>(data_[at + 1]) << 8 |
             static_cast<uint32_t>(data_[at + 2]) << 16 |
             static_cast<uint32_t>(data_[at + 3]) << 24;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

struct Layout {
  uint64_t coffHeader = 0;
  uint64_t sectionTable = 0;
  uint16_t sections = 0;
  uint32_t resourceRva = 0;  // 0: no resources
};

// The headers: false when the bytes are no PE file.
bool ReadLayout(const Bytes& bytes, Layout* layout) {
  uint16_t mz = 0;
  uint32_t peAt = 0;
  uint32_t pe = 0;
  if (!bytes.U16(0, &mz) || mz != kMzSignature || !bytes.U32(kNewHeaderPointer, &peAt) ||
      !bytes.U32(peAt, &pe) || pe != kPeSignature) {
    return false;
  }
  layout->coffHeader = static_cast<uint64_t>(peAt) + 4;
  uint16_t optionalSize = 0;
  if (!bytes.U16(layout->coffHeader + 2, &layout->sections) ||
      !bytes.U16(layout->coffHeader + 16, &optionalSize)) {
    return false;
  }
  uint64_t optional = layout->coffHeader + kCoffHeaderSize;
  layout->sectionTable = optional + optionalSize;
  if (layout->sections > kMaxSections) layout->sections = 0;
  uint16_t magic = 0;
  if (!bytes.U16(optional, &magic) || (magic != kPe32Magic && magic != kPe32PlusMagic)) return true;
  uint64_t countAt = optional + (magic == kPe32Magic ? 92 : 108);
  uint32_t directories = 0;
  uint64_t resourceAt = countAt + 4 + 8 * kResourceDirectory;
  if (bytes.U32(countAt, &directories) && directories > kResourceDirectory &&
      resourceAt + 8 <= layout->sectionTable) {
    bytes.U32(resourceAt, &layout->resourceRva);
  }
  return true;
}

// The file offset of length bytes at rva, all inside one section's data and
// the file; false when they are not.
bool RvaToOffset(const Bytes& bytes, const Layout& layout, uint64_t rva, uint64_t length,
                 uint64_t* offset) {
  for (uint16_t s = 0; s < layout.sections; ++s) {
    uint64_t header = layout.sectionTable + static_cast<uint64_t>(s) * kSectionHeaderSize;
    uint32_t address = 0;
    uint32_t rawSize = 0;
    uint32_t rawAt = 0;
    if (!bytes.U32(header + 12, &address) || !bytes.U32(header + 16, &rawSize) ||
        !bytes.U32(header + 20, &rawAt)) {
      return false;
    }
    if (rva < address || rva - address >= rawSize) continue;
    uint64_t into = rva - address;
    if (length > rawSize - into) return false;
    *offset = static_cast<uint64_t>(rawAt) + into;
    return bytes.Has(*offset, length);
  }
  return false;
}

// The data word of an entry of the resource directory at directory (an
// offset into the resources): with id, the entry of that id; else the first.
bool DirectoryEntry(const Bytes& bytes, const Layout& layout, uint32_t directory, bool byId,
                    uint32_t id, uint32_t* data) {
  uint64_t at = 0;
  uint16_t named = 0;
  uint16_t ids = 0;
  uint64_t rva = static_cast<uint64_t>(layout.resourceRva) + directory;
  if (!RvaToOffset(bytes, layout, rva, 16, &at) || !bytes.U16(at + 12, &named) ||
      !bytes.U16(at + 14, &ids)) {
    return false;
  }
  uint32_t entries = static_cast<uint32_t>(named) + ids;
  uint64_t first = 0;
  if (!RvaToOffset(bytes, layout, rva + 16, 8ull * entries, &first)) return false;
  for (uint32_t e = 0; e < entries; ++e) {
    uint32_t name = 0;
    bytes.U32(first + 8ull * e, &name);
    bytes.U32(first + 8ull * e + 4, data);
    if (!byId || (e >= named && name == id)) return true;
  }
  return false;
}

// The RVA and size of the version resource: type 16, its first name, that
// name's first language. Exactly three levels, so no loop can go deeper.
bool FindVersionResource(const Bytes& bytes, const Layout& layout, uint32_t* rva, uint32_t* size) {
  uint32_t data = 0;
  if (layout.resourceRva == 0 ||
      !DirectoryEntry(bytes, layout, 0, true, kVersionResourceType, &data) ||
      (data & kSubdirectoryFlag) == 0 ||
      !DirectoryEntry(bytes, layout, data & ~kSubdirectoryFlag, false, 0, &data) ||
      (data & kSubdirectoryFlag) == 0 ||
      !DirectoryEntry(bytes, layout, data & ~kSubdirectoryFlag, false, 0, &data) ||
      (data & kSubdirectoryFlag) != 0) {
    return false;
  }
  uint64_t entry = 0;
  return RvaToOffset(bytes, layout, static_cast<uint64_t>(layout.resourceRva) + data, 16, &entry) &&
         bytes.U32(entry, rva) && bytes.U32(entry + 4, size);
}

bool ReadFixedFileInfo(const Bytes& bytes, const Layout& layout, PeVersion* version) {
  uint32_t rva = 0;
  uint32_t size = 0;
  uint64_t at = 0;
  uint16_t valueLength = 0;
  if (!FindVersionResource(bytes, layout, &rva, &size) || size < kFixedInfoAt + kFixedInfoSize ||
      !RvaToOffset(bytes, layout, rva, kFixedInfoAt + kFixedInfoSize, &at) ||
      !bytes.U16(at + 2, &valueLength) || valueLength < kFixedInfoSize) {
    return false;
  }
  for (uint32_t c = 0; c < sizeof kVersionKey; ++c) {
    uint16_t unit = 0;
    bytes.U16(at + kKeyAt + 2 * c, &unit);
    if (unit != static_cast<unsigned char>(kVersionKey[c])) return false;
  }
  uint32_t signature = 0;
  uint32_t high = 0;
  uint32_t low = 0;
  bytes.U32(at + kFixedInfoAt, &signature);
  bytes.U32(at + kFixedInfoAt + 8, &high);
  bytes.U32(at + kFixedInfoAt + 12, &low);
  if (signature != kFixedInfoSignature) return false;
  version->fileVersion[0] = static_cast<uint16_t>(high >> 16);
  version->fileVersion[1] = static_cast<uint16_t>(high);
  version->fileVersion[2] = static_cast<uint16_t>(low >> 16);
  version->fileVersion[3] = static_cast<uint16_t>(low);
  return true;
}

}  // namespace

PeVersion ReadPeVersion(const uint8_t* data, size_t size) {
  PeVersion version;
  if (data == nullptr) return version;
  Bytes bytes(data, size);
  Layout layout;
  if (!ReadLayout(bytes, &layout)) return version;
  version.hasBuildTime =
      bytes.U32(layout.coffHeader + 4, &version.buildTime) && version.buildTime != 0;
  version.hasFileVersion = ReadFixedFileInfo(bytes, layout, &version);
  return version;
}

std::string FileVersionText(const PeVersion& version) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", version.fileVersion[0], version.fileVersion[1],
                version.fileVersion[2], version.fileVersion[3]);
  return text;
}

std::string BuildDateText(uint32_t buildTime) {
  // Days since 1970 to the Gregorian calendar, counting from 0000-03-01 so
  // that the leap day ends a year.
  int64_t days = buildTime / 86400 + 719468;
  int64_t era = days / 146097;
  int64_t dayOfEra = days - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  int64_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  int64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", static_cast<int>(year),
                static_cast<int>(month), static_cast<int>(day));
  return text;
}

std::string PeVersionWords(const char* fileName, const PeVersion& version) {
  std::string built = version.hasBuildTime ? "built " + BuildDateText(version.buildTime) : "";
  if (version.hasFileVersion) {
    return std::string(fileName) + " is file version " + FileVersionText(version) +
           (built.empty() ? "" : ", " + built);
  }
  return built.empty() ? "" : std::string(fileName) + " was " + built;
}

FileError KeptInGameExe(SaveSteps& steps, const char* dllPath) {
  std::string folder = FolderPartOf(dllPath);  // with its separator
  if (!SameFileName(FileNameOf(dllPath), "d2game.dll") || folder.empty()) return FileError();
  std::string folderOnly = folder.substr(0, folder.size() - 1);
  FileError ambiguous;
  std::string exe = FindFileName(folderOnly.c_str(), "Game.exe", &ambiguous);
  ByteBuffer bytes;
  if (ambiguous.Failed() || !steps.ReadWhole((folder + exe).c_str(), &bytes)) return FileError();
  PeVersion pe = ReadPeVersion(bytes.data.get(), static_cast<size_t>(bytes.size));
  FileError elsewhere{Problem::kElsewhere, 0, dllPath, exe};
  elsewhere.found = pe.hasFileVersion ? exe + ", file version " + FileVersionText(pe) + "," : exe;
  return elsewhere;
}

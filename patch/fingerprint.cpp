#include "patch/fingerprint.h"

#include <zlib.h>

#include <filesystem>
#include <memory>
#include <system_error>

#include "io/file_paths.h"
#include "io/whole_file.h"
#include "patch/exchange.h"

namespace {

bool Measure(const char* windowsPath, FileFingerprint* found) {
  std::unique_ptr<uint8_t[]> bytes;
  int32_t size = 0;
  found->source = NativePath(windowsPath);
  if (!ReadWholeFile(windowsPath, &bytes, &size)) return false;
  found->read = true;
  found->size = static_cast<uint64_t>(size);
  found->crc = Crc32(bytes.get(), static_cast<size_t>(size));
  return true;
}

}  // namespace

uint32_t Crc32(const uint8_t* bytes, size_t size) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes a uInt length: feed files larger than that in parts.
  constexpr size_t kPart = 1u << 30;
  for (size_t at = 0; at < size; at += kPart) {
    size_t length = size - at < kPart ? size - at : kPart;
    crc = crc32(crc, bytes + at, static_cast<uInt>(length));
  }
  return static_cast<uint32_t>(crc);
}

FileFingerprint UntouchedFingerprint(const char* dllPath, const ByteRanges& changeable) {
  FileFingerprint found;
  std::string backup = BackupPath(dllPath);
  std::error_code error;
  bool backupThere = std::filesystem::symlink_status(NativePath(backup.c_str()), error).type() !=
                     std::filesystem::file_type::not_found;
  if (backupThere) {
    std::unique_ptr<uint8_t[]> dll;
    int32_t size = 0;
    bool dllRead = ReadWholeFile(dllPath, &dll, &size);
    // Only a backup that can be the original is the untouched form; the save
    // refuses an untrusted one with its own reason.
    if (BackupMismatch(backup, dllRead ? dll.get() : nullptr, static_cast<size_t>(size), changeable)
            .empty() &&
        Measure(backup.c_str(), &found)) {
      return found;
    }
  }
  Measure(dllPath, &found);
  return found;
}

std::string FingerprintMismatch(const VersionRecord& version, int fileNumber,
                                const FileFingerprint& found) {
  const DllFingerprint& declared = version.fingerprints[fileNumber];
  std::string dll = kFingerprintDllNames[fileNumber];
  switch (declared.state) {
    case DllFingerprint::kAbsent:
      return "";
    case DllFingerprint::kMalformed:
      return dll + " cannot be checked: \"" + declared.token + "\" in line " +
             std::to_string(version.line) + " of versions.txt is no fingerprint (" +
             declared.problem + ")";
    case DllFingerprint::kDeclared:
      break;
  }
  std::string expected = FingerprintText(declared.size, declared.crc);
  if (!found.read) {
    return dll + " cannot be checked: " + found.source + " cannot be read, expected " + expected;
  }
  if (found.size == declared.size && found.crc == declared.crc) return "";
  return dll + " is not the " + version.name + " file these tables are for: found " +
         FingerprintText(found.size, found.crc) + ", expected " + expected;
}

bool MatchesBoth(const VersionRecord& version, const FileFingerprint found[2]) {
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (version.fingerprints[fileNumber].state != DllFingerprint::kDeclared ||
        !FingerprintMismatch(version, fileNumber, found[fileNumber]).empty()) {
      return false;
    }
  }
  return true;
}

void UntouchedFingerprints(const DllPatcher& patcher, RecordList classes,
                           FileFingerprint found[2]) {
  for (int fileNumber : {kGameDll, kClientDll}) {
    found[fileNumber] = FileFingerprint();
    if (patcher.folder[0] == '\0') continue;
    found[fileNumber] =
        UntouchedFingerprint(patcher.dllPaths[fileNumber], ChangeableRanges(classes, fileNumber));
  }
}

int32_t DetectVersion(RecordList versions, const FileFingerprint found[2]) {
  int32_t detected = -1;
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    if (!MatchesBoth(*static_cast<VersionRecord*>(node), found)) continue;
    if (detected >= 0) return -1;
    detected = node->position;
  }
  return detected;
}

std::string UnknownOriginal(RecordList versions, int fileNumber, const std::string& backupPath,
                            const uint8_t* bytes, size_t size) {
  FileFingerprint found;
  found.read = true;
  found.size = size;
  found.crc = Crc32(bytes, size);
  std::string expected;
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    auto* version = static_cast<VersionRecord*>(node);
    const DllFingerprint& declared = version->fingerprints[fileNumber];
    if (declared.state != DllFingerprint::kDeclared) continue;
    if (FingerprintMismatch(*version, fileNumber, found).empty()) return "";
    expected += (expected.empty() ? "" : ", ") + FingerprintText(declared.size, declared.crc) +
                " (" + version->name + ")";
  }
  if (expected.empty()) return "";
  return NativePath(backupPath.c_str()) + " is the " + kFingerprintDllNames[fileNumber] +
         " of no version these tables are for: found " + FingerprintText(found.size, found.crc) +
         ", expected " + expected;
}

std::string DllVersionNote(RecordList versions, const FileFingerprint found[2]) {
  bool declared = false;
  std::string matched;
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    auto* version = static_cast<VersionRecord*>(node);
    for (const DllFingerprint& fingerprint : version->fingerprints) {
      declared = declared || fingerprint.state == DllFingerprint::kDeclared;
    }
    if (MatchesBoth(*version, found)) {
      matched += (matched.empty() ? "" : ", ") + std::string(version->name);
    }
  }
  if (!declared) return "";
  if (!matched.empty()) return "the DLLs match the fingerprints of version: " + matched;
  std::string measured;
  for (int fileNumber : {kGameDll, kClientDll}) {
    measured += std::string(fileNumber == kGameDll ? "" : " ") + kFingerprintDllNames[fileNumber] +
                (found[fileNumber].read
                     ? "=" + FingerprintText(found[fileNumber].size, found[fileNumber].crc)
                     : " cannot be read");
  }
  return "the DLLs match the fingerprints of no version (they are " + measured +
         "): swap refuses every version that declares fingerprints";
}

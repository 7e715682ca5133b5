#include "patch/fingerprint.h"

#include <zlib.h>

#include <cstring>

#include "io/file_paths.h"

namespace {

FileFingerprint Measured(const std::string& windowsPath, const ByteBuffer& bytes, bool* taken,
                         uint32_t* crc) {
  if (!*taken) *crc = Crc32(bytes.data.get(), static_cast<size_t>(bytes.size));
  *taken = true;
  FileFingerprint found;
  found.read = true;
  found.source = NativePath(windowsPath.c_str());
  found.size = static_cast<uint64_t>(bytes.size);
  found.crc = *crc;
  return found;
}

FileFingerprint OfDll(const DllAndBackup& files) {
  return Measured(files.path, files.dll, &files.dllCrcTaken, &files.dllCrc);
}

FileFingerprint OfBackup(const DllAndBackup& files) {
  return Measured(BackupPath(files.path.c_str()), files.backup, &files.backupCrcTaken,
                  &files.backupCrc);
}

bool Matches(const DllFingerprint& declared, const FileFingerprint& found) {
  return declared.state == DllFingerprint::kDeclared && found.read && found.size == declared.size &&
         found.crc == declared.crc;
}

// The first version that declares found for the DLL of fileNumber.
const VersionRecord* DeclaringVersion(RecordList versions, int fileNumber,
                                      const FileFingerprint& found) {
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    auto* version = static_cast<const VersionRecord*>(node);
    if (Matches(version->fingerprints[fileNumber], found)) return version;
  }
  return nullptr;
}

// The mismatch in words, "" when found matches.
std::string Mismatch(const VersionRecord& version, int fileNumber, const FileFingerprint& found) {
  const DllFingerprint& declared = version.fingerprints[fileNumber];
  if (declared.state != DllFingerprint::kDeclared || Matches(declared, found)) return "";
  return std::string(kFingerprintDllNames[fileNumber]) + " is not the " + version.name +
         " file these tables are for: found " + FingerprintText(found.size, found.crc) +
         ", expected " + FingerprintText(declared.size, declared.crc);
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

void JudgeBackup(RecordList versions, int fileNumber, DllAndBackup* files) {
  if (!files->BackupUsable() || !files->DllRead()) return;
  bool declared = false;
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    declared =
        declared || static_cast<const VersionRecord*>(node)->fingerprints[fileNumber].state ==
                        DllFingerprint::kDeclared;
  }
  // A backup that is a declared original is one; else the DLL may be, and
  // then a backup that differs from it is not its original.
  if (!declared || DeclaringVersion(versions, fileNumber, OfBackup(*files)) != nullptr ||
      std::memcmp(files->dll.data.get(), files->backup.data.get(),
                  static_cast<size_t>(files->dll.size)) == 0) {
    return;
  }
  FileFingerprint dll = OfDll(*files);
  const VersionRecord* version = DeclaringVersion(versions, fileNumber, dll);
  if (version == nullptr) return;
  files->backupMismatch = std::string("differs from the DLL, which is the untouched ") +
                          version->name + " file (" + FingerprintText(dll.size, dll.crc) + ")";
}

DllAndBackup ReadDllFiles(const DllPatcher& patcher, RecordList versions, RecordList classes,
                          int fileNumber) {
  DllAndBackup files =
      ReadDllAndBackup(patcher.dllPaths[fileNumber], ChangeableRanges(classes, fileNumber));
  JudgeBackup(versions, fileNumber, &files);
  return files;
}

FileFingerprint UntouchedFingerprint(const DllAndBackup& files) {
  if (files.backupThere && !files.BackupUsable()) {
    FileFingerprint unknown;
    unknown.source = NativePath(BackupPath(files.path.c_str()).c_str());
    unknown.why = files.BackupError();
    return unknown;
  }
  if (files.BackupUsable()) return OfBackup(files);
  if (files.DllRead()) return OfDll(files);
  FileFingerprint unknown;
  unknown.source = NativePath(files.path.c_str());
  unknown.why = files.dllError;
  return unknown;
}

FileError FingerprintRefusal(const VersionRecord& version, int fileNumber,
                             const DllAndBackup& files) {
  const DllFingerprint& declared = version.fingerprints[fileNumber];
  std::string dll = kFingerprintDllNames[fileNumber];
  switch (declared.state) {
    case DllFingerprint::kAbsent:
      return FileError();
    case DllFingerprint::kMalformed:
      return {Problem::kTable, 0, "",
              dll + " cannot be checked: \"" + declared.token + "\" in " +
                  NativePath("data\\versions.txt") + " line " + std::to_string(version.line) +
                  " is no fingerprint (" + declared.problem + ")"};
    case DllFingerprint::kDeclared:
      break;
  }
  FileFingerprint found = UntouchedFingerprint(files);
  if (!found.read) return found.why;
  std::string mismatch = Mismatch(version, fileNumber, found);
  if (mismatch.empty()) return FileError();
  return {Problem::kRefused, 0, files.path, mismatch};
}

bool MatchesBoth(const VersionRecord& version, const FileFingerprint found[2]) {
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (!Matches(version.fingerprints[fileNumber], found[fileNumber])) return false;
  }
  return true;
}

void UntouchedFingerprints(const DllPatcher& patcher, RecordList versions, RecordList classes,
                           FileFingerprint found[2]) {
  for (int fileNumber : {kGameDll, kClientDll}) {
    found[fileNumber] = FileFingerprint();
    if (patcher.folder[0] == '\0') continue;
    found[fileNumber] = UntouchedFingerprint(ReadDllFiles(patcher, versions, classes, fileNumber));
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
    if (Matches(declared, found)) return "";
    expected += (expected.empty() ? "" : ", ") + FingerprintText(declared.size, declared.crc) +
                " (" + version->name + ")";
  }
  if (expected.empty()) return "";
  return NativePath(backupPath.c_str()) + " matches no version these tables declare for " +
         kFingerprintDllNames[fileNumber] + ": found " + FingerprintText(found.size, found.crc) +
         ", expected " + expected;
}

int CheckFingerprints(RecordList versions, const FileFingerprint found[2],
                      std::vector<std::string>* findings, std::string* matched) {
  int count = 0;
  bool declared = false;
  matched->clear();
  std::string versionsPath = NativePath("data\\versions.txt");
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    auto* version = static_cast<VersionRecord*>(node);
    for (int fileNumber : {kGameDll, kClientDll}) {
      // A malformed declaration is the table check's finding.
      if (version->fingerprints[fileNumber].state != DllFingerprint::kDeclared) continue;
      declared = true;
      const FileFingerprint& untouched = found[fileNumber];
      std::string mismatch = untouched.read
                                 ? Mismatch(*version, fileNumber, untouched)
                                 : std::string(kFingerprintDllNames[fileNumber]) +
                                       " cannot be checked: " + UserReason(untouched.why);
      if (mismatch.empty()) continue;
      findings->push_back(versionsPath + ":" + std::to_string(version->line) + ": " + mismatch);
      ++count;
    }
    if (MatchesBoth(*version, found))
      *matched += (matched->empty() ? "" : ", ") + std::string(version->name);
  }
  if (declared && matched->empty()) *matched = "none";
  return count;
}

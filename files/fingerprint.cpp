#include "files/fingerprint.h"

#include <zlib.h>

#include <cstring>

#include "files/journal.h"
#include "io/file_paths.h"

namespace {

FileFingerprint Measured(const std::string& windowsPath, const ByteBuffer& bytes, bool* taken,
                         uint32_t* crc) {
  if (!*taken) *crc = ImageCrc(bytes.data.get(), static_cast<size_t>(bytes.size));
  *taken = true;
  FileFingerprint found;
  found.read = true;
  found.source = NativePath(windowsPath.c_str());
  found.size = static_cast<uint64_t>(bytes.size);
  found.crc = *crc;
  found.pe = ReadPeVersion(bytes.data.get(), static_cast<size_t>(bytes.size));
  return found;
}

FileFingerprint OfDll(const DllAndBackup& files) {
  DllCrc(files);
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
  std::string words = FoundVersionWords(fileNumber, found);
  return std::string(kFingerprintDllNames[fileNumber]) + " is not the " + version.name +
         " file these tables are for: found " + FingerprintText(found.size, found.crc) +
         ", expected " + FingerprintText(declared.size, declared.crc) +
         (words.empty() ? "" : " (" + words + ")");
}

}  // namespace

uint32_t DllCrc(const DllAndBackup& files) {
  if (!files.dllCrcTaken) {
    const ByteBuffer& dll = files.dll;
    const ByteBuffer& backup = files.backup;
    uint32_t crc = 0;
    // The DLL differs from its measured backup in a few ranges at most: its
    // CRC follows from the backup's and those ranges, without a second pass.
    bool derived = files.backupCrcTaken && files.BackupUsable() && backup.size == dll.size &&
                   CrcWithRanges(files.backupCrc, static_cast<size_t>(dll.size),
                                 DifferingRanges(backup.data.get(), dll.data.get(),
                                                 static_cast<size_t>(dll.size)),
                                 &crc);
    files.dllCrc = derived ? crc : ImageCrc(dll.data.get(), static_cast<size_t>(dll.size));
    files.dllCrcTaken = true;
  }
  return files.dllCrc;
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
  files->RefuseBackup(std::string("differs from the DLL, which is the untouched ") + version->name +
                      " file (" + FingerprintText(dll.size, dll.crc) + ")");
}

DllAndBackup ReadDllFiles(const char* dllPath, RecordList versions, RecordList classes,
                          int fileNumber, SaveSteps& steps) {
  DllAndBackup files = ReadDllAndBackup(dllPath, ChangeableRanges(classes, fileNumber), steps);
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

void UntouchedFingerprints(const char* gameDll, const char* clientDll, RecordList versions,
                           RecordList classes, FileFingerprint found[2]) {
  const char* paths[2] = {gameDll, clientDll};
  for (int fileNumber : {kGameDll, kClientDll}) {
    found[fileNumber] = FileFingerprint();
    if (paths[fileNumber][0] == '\0') continue;
    found[fileNumber] =
        UntouchedFingerprint(ReadDllFiles(paths[fileNumber], versions, classes, fileNumber));
  }
}

std::string FoundVersionWords(int fileNumber, const FileFingerprint& found) {
  return found.read ? PeVersionWords(kFingerprintDllNames[fileNumber], found.pe) : "";
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

FileError UnknownOriginal(RecordList versions, int fileNumber, const std::string& backupPath,
                          const uint8_t* bytes, size_t size) {
  FileFingerprint found;
  found.read = true;
  found.size = size;
  found.crc = ImageCrc(bytes, size);
  std::string expected;
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    auto* version = static_cast<VersionRecord*>(node);
    const DllFingerprint& declared = version->fingerprints[fileNumber];
    if (declared.state != DllFingerprint::kDeclared) continue;
    if (Matches(declared, found)) return FileError();
    expected += (expected.empty() ? "" : ", ") + FingerprintText(declared.size, declared.crc) +
                " (" + version->name + ")";
  }
  if (expected.empty()) return FileError();
  FileError error{Problem::kRefused, 0, backupPath,
                  NativePath(backupPath.c_str()) + " matches no version these tables declare for " +
                      kFingerprintDllNames[fileNumber] + ": found " +
                      FingerprintText(found.size, found.crc) + ", expected " + expected};
  error.expected = expected;
  error.found = FingerprintText(found.size, found.crc);
  return error;
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
    std::string words = FoundVersionWords(fileNumber, found[fileNumber]);
    measured += std::string(fileNumber == kGameDll ? "" : ", ") + kFingerprintDllNames[fileNumber] +
                (found[fileNumber].read
                     ? "=" + FingerprintText(found[fileNumber].size, found[fileNumber].crc)
                     : " cannot be read") +
                (words.empty() ? "" : " (" + words + ")");
  }
  return "the DLLs match the fingerprints of no version (found " + measured +
         "): swap refuses every version that declares fingerprints";
}

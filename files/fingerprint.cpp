#include "files/fingerprint.h"

#include <zlib.h>

#include <cstring>

#include "files/journal.h"
#include "io/file_paths.h"

namespace {

// The fingerprint of bytes read from windowsPath, named after the DLL name
// (a backup is the untouched form of its DLL).
FileFingerprint Measured(const std::string& windowsPath, const std::string& name,
                         const ByteBuffer& bytes, bool* taken, uint32_t* crc) {
  if (!*taken) *crc = ImageCrc(bytes.data.get(), static_cast<size_t>(bytes.size));
  *taken = true;
  FileFingerprint found;
  found.read = true;
  found.name = name;
  found.source = NativePath(windowsPath.c_str());
  found.size = static_cast<uint64_t>(bytes.size);
  found.crc = *crc;
  found.pe = ReadPeVersion(bytes.data.get(), static_cast<size_t>(bytes.size));
  return found;
}

FileFingerprint OfDll(const DllAndBackup& files) {
  DllCrc(files);
  return Measured(files.path, FileNameOf(files.path), files.dll, &files.dllCrcTaken, &files.dllCrc);
}

FileFingerprint OfBackup(const DllAndBackup& files) {
  return Measured(BackupPath(files.path.c_str()), FileNameOf(files.path), files.backup,
                  &files.backupCrcTaken, &files.backupCrc);
}

bool Matches(const DllFingerprint& declared, const FileFingerprint& found) {
  return declared.state == DllFingerprint::kDeclared && found.read && found.size == declared.size &&
         found.crc == declared.crc;
}

const DllFingerprint kUndeclared;

// The first version that declares found for the file of its name.
const VersionRecord* DeclaringVersion(RecordList versions, const FileFingerprint& found) {
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    auto* version = static_cast<const VersionRecord*>(node);
    if (Matches(DeclaredFor(*version, found.name), found)) return version;
  }
  return nullptr;
}

// Why found is not the file version declares; kNone when it is, or when the
// version declares nothing for it.
FileError Mismatch(const VersionRecord& version, const FileFingerprint& found,
                   const std::string& path) {
  const DllFingerprint& declared = DeclaredFor(version, found.name);
  if (declared.state != DllFingerprint::kDeclared || Matches(declared, found)) return FileError();
  std::string words = FoundVersionWords(found);
  FileError error{Problem::kNotTheVersion, 0, path, version.name};
  error.found = FingerprintText(found.size, found.crc) + (words.empty() ? "" : " (" + words + ")");
  error.expected = FingerprintText(declared.size, declared.crc);
  return error;
}

// Where the DLL differs from its usable backup, as journal ranges: those
// judging the backup found.
std::vector<JournalRange> BackupToDll(const DllAndBackup& files) {
  const uint8_t* backup = files.backup.data.get();
  const uint8_t* dll = files.dll.data.get();
  std::vector<JournalRange> ranges;
  for (const auto& span : files.differing) {
    JournalRange range;
    range.start = static_cast<uint32_t>(span.first);
    range.before.assign(backup + span.first, backup + span.second);
    range.after.assign(dll + span.first, dll + span.second);
    ranges.push_back(std::move(range));
  }
  return ranges;
}

}  // namespace

uint32_t DllCrc(const DllAndBackup& files) {
  if (!files.dllCrcTaken) {
    const ByteBuffer& dll = files.dll;
    const ByteBuffer& backup = files.backup;
    uint32_t crc = 0;
    // The DLL differs from its measured backup in a few ranges at most: its
    // CRC follows from the backup's and those ranges, without a second pass.
    bool derived =
        files.backupCrcTaken && files.BackupUsable() && files.DllRead() &&
        backup.size == dll.size &&
        CrcWithRanges(files.backupCrc, static_cast<size_t>(dll.size), BackupToDll(files), &crc);
    files.dllCrc = derived ? crc : ImageCrc(dll.data.get(), static_cast<size_t>(dll.size));
    files.dllCrcTaken = true;
  }
  return files.dllCrc;
}

const DllFingerprint& DeclaredFor(const VersionRecord& version, const std::string& fileName) {
  int index = version.files.IndexOf(fileName);
  return index < 0 ? kUndeclared : version.fingerprints[index];
}

void JudgeBackup(RecordList versions, DllAndBackup* files) {
  if (!files->BackupUsable() || !files->DllRead()) return;
  std::string name = FileNameOf(files->path);
  bool declared = false;
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    declared = declared || DeclaredFor(*static_cast<const VersionRecord*>(node), name).state ==
                               DllFingerprint::kDeclared;
  }
  // A backup that is a declared original is one; else the DLL may be, and
  // then a backup that differs from it is not its original.
  if (!declared || DeclaringVersion(versions, OfBackup(*files)) != nullptr ||
      std::memcmp(files->dll.data.get(), files->backup.data.get(),
                  static_cast<size_t>(files->dll.size)) == 0) {
    return;
  }
  FileFingerprint dll = OfDll(*files);
  const VersionRecord* version = DeclaringVersion(versions, dll);
  if (version == nullptr) return;
  files->RefuseBackup(std::string("differs from the DLL, which is the untouched ") + version->name +
                      " file (" + FingerprintText(dll.size, dll.crc) + ")");
}

DllAndBackup ReadDllFiles(const char* dllPath, RecordList versions, RecordList classes,
                          SaveSteps& steps) {
  DllAndBackup files =
      ReadDllAndBackup(dllPath, ChangeableRanges(versions, classes, FileNameOf(dllPath)), steps);
  JudgeBackup(versions, &files);
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
  unknown.name = FileNameOf(files.path);
  unknown.source = NativePath(files.path.c_str());
  unknown.why = files.dllError;
  return unknown;
}

FileError FingerprintRefusal(const VersionRecord& version, const DllAndBackup& files) {
  std::string dll = FileNameOf(files.path);
  const DllFingerprint& declared = DeclaredFor(version, dll);
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
  return Mismatch(version, found, files.path);
}

namespace {

const FileFingerprint* FoundFor(const std::vector<FileFingerprint>& found,
                                const std::string& name) {
  for (const FileFingerprint& one : found) {
    if (SameFileName(one.name, name)) return &one;
  }
  return nullptr;
}

}  // namespace

bool MatchesAll(const VersionRecord& version, const std::vector<FileFingerprint>& found) {
  for (int n = 0; n < version.files.count; ++n) {
    const FileFingerprint* file = FoundFor(found, version.files.names[n]);
    if (file == nullptr || !Matches(version.fingerprints[n], *file)) return false;
  }
  return !version.files.Malformed();
}

std::vector<FileFingerprint> UntouchedFingerprints(const std::vector<std::string>& paths,
                                                   RecordList versions, RecordList classes) {
  std::vector<FileFingerprint> found;
  for (const std::string& path : paths) {
    found.push_back(path.empty()
                        ? FileFingerprint()
                        : UntouchedFingerprint(ReadDllFiles(path.c_str(), versions, classes)));
  }
  return found;
}

std::string FoundVersionWords(const FileFingerprint& found) {
  return found.read ? PeVersionWords(found.name.c_str(), found.pe) : "";
}

int32_t DetectVersion(RecordList versions, const std::vector<FileFingerprint>& found) {
  int32_t detected = -1;
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    if (!MatchesAll(*static_cast<VersionRecord*>(node), found)) continue;
    if (detected >= 0) return -1;
    detected = node->position;
  }
  return detected;
}

FileError UnknownOriginal(RecordList versions, const std::string& dllPath, const uint8_t* bytes,
                          size_t size) {
  std::string name = FileNameOf(dllPath);
  std::string backupPath = BackupPath(dllPath.c_str());
  FileFingerprint found;
  found.read = true;
  found.size = size;
  found.crc = ImageCrc(bytes, size);
  std::string expected;
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    auto* version = static_cast<VersionRecord*>(node);
    const DllFingerprint& declared = DeclaredFor(*version, name);
    if (declared.state != DllFingerprint::kDeclared) continue;
    if (Matches(declared, found)) return FileError();
    expected += (expected.empty() ? "" : ", ") + FingerprintText(declared.size, declared.crc) +
                " (" + version->name + ")";
  }
  if (expected.empty()) return FileError();
  FileError error{Problem::kUnknownOriginal, 0, backupPath, name};
  error.expected = expected;
  error.found = FingerprintText(found.size, found.crc);
  return error;
}

namespace {

// "d2game.dll=1048576:1A2B3C4D (d2game.dll is file version ...)" or
// "d2game.dll cannot be read", for each file there (every one when none is).
std::string MeasuredWords(const std::vector<FileFingerprint>& found) {
  bool anyThere = false;
  for (const FileFingerprint& file : found) {
    anyThere = anyThere || file.read || file.why.problem != Problem::kNotFound;
  }
  std::string measured;
  for (const FileFingerprint& file : found) {
    if (anyThere && !file.read && file.why.problem == Problem::kNotFound) continue;
    std::string words = FoundVersionWords(file);
    measured += std::string(measured.empty() ? "" : ", ") + file.name +
                (file.read ? "=" + FingerprintText(file.size, file.crc) : " cannot be read") +
                (words.empty() ? "" : " (" + words + ")");
  }
  return measured;
}

}  // namespace

std::string DllVersionNote(RecordList versions, const std::vector<FileFingerprint>& found) {
  bool declared = false;
  std::string matched;
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    auto* version = static_cast<VersionRecord*>(node);
    for (const DllFingerprint& fingerprint : version->fingerprints) {
      declared = declared || fingerprint.state == DllFingerprint::kDeclared;
    }
    if (MatchesAll(*version, found)) {
      matched += (matched.empty() ? "" : ", ") + std::string(version->name);
    }
  }
  if (!declared) return "";
  if (!matched.empty()) return "the DLLs match the fingerprints of version: " + matched;
  return "the DLLs match the fingerprints of no version (found " + MeasuredWords(found) +
         "): swap refuses every version that declares fingerprints";
}

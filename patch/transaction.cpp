#include "patch/transaction.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "io/file_paths.h"
#include "io/whole_file.h"
#include "patch/dll_links.h"
#include "patch/journal.h"
#include "patch/logger.h"

namespace {

const char kWayOut[] =
    "nothing was written and orvanel.journal is kept: File > Restore Original DLLs (or "
    "orvanel-cli restore) brings back the original DLLs";

}  // namespace

std::string DllFileName(const DllPatcher& patcher, int fileNumber) {
  std::string path = patcher.dllPaths[fileNumber];
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

std::string JournalPathOf(const DllPatcher& patcher) {
  return JournalPath(patcher.dllPaths[kGameDll]);
}

bool JournalIsThere(const DllPatcher& patcher) {
  std::error_code error;
  return patcher.dllPaths[kGameDll][0] != '\0' &&
         std::filesystem::symlink_status(NativePath(JournalPathOf(patcher).c_str()), error)
                 .type() != std::filesystem::file_type::not_found;
}

// The journal there; false with why it cannot be read.
bool ReadJournal(const DllPatcher& patcher, Journal* journal, std::string* why) {
  ByteBuffer bytes;
  if (!ReadWholeFile(JournalPathOf(patcher).c_str(), &bytes)) {
    *why = "cannot be read";
    return false;
  }
  std::string text(reinterpret_cast<const char*>(bytes.data.get()),
                   static_cast<size_t>(bytes.size));
  if (ReadJournalText(text, journal, why)) return true;
  *why = "is damaged: " + *why;
  return false;
}

FileError Refusal(const std::string& what) {
  FileError error{Problem::kRefused, 0, "", what + ": " + kWayOut};
  logger.Print("* %s", error.detail.c_str());
  return error;
}

// What undoing one DLL of a journal takes: nothing, its old bytes written
// back, or (when the change brought it back) its removal.
struct DllUndo {
  int fileNumber = -1;
  bool write = false;
  bool remove = false;
  ByteBuffer bytes;
};

// Finds what undoing file takes; "" when it can be undone, else what is wrong.
std::string PlanUndo(const DllPatcher& patcher, const JournalFile& file, DllUndo* undo) {
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (DllFileName(patcher, fileNumber) == file.name) undo->fileNumber = fileNumber;
  }
  if (undo->fileNumber < 0) return "it names " + file.name + ", which is no game DLL";
  const char* path = patcher.dllPaths[undo->fileNumber];
  std::string shown = NativePath(path);
  std::error_code error;
  if (!std::filesystem::exists(NativePath(path), error)) {
    return file.absentBefore ? "" : shown + " is missing";
  }
  if (!ReadWholeFile(path, &undo->bytes)) return shown + " cannot be read";
  uint8_t* bytes = undo->bytes.data.get();
  uint32_t size = static_cast<uint32_t>(undo->bytes.size);
  uint32_t crc = ImageCrc(bytes, size);
  if (!file.absentBefore && size == file.sizeBefore && crc == file.crcBefore) return "";
  bool after = size == file.sizeAfter && crc == file.crcAfter;
  if (after && file.absentBefore) {
    undo->remove = true;
    return "";
  }
  if (after) {
    // Last to first, so that ranges a change wrote twice get their first old bytes.
    for (auto range = file.ranges.rbegin(); range != file.ranges.rend(); ++range) {
      std::copy(range->before.begin(), range->before.end(), bytes + range->start);
    }
    undo->write = ImageCrc(bytes, size) == file.crcBefore;
    if (undo->write) return "";
  }
  return shown + " was changed by something else since a change was stopped half way";
}

}  // namespace

int BeginChange(DllPatcher& patcher, const std::string& change,
                const std::vector<JournalFile>& files, FileError* error) {
  Journal journal;
  journal.change = change;
  journal.files = files;
  std::string path = JournalPathOf(patcher);
  if (WriteJournal(*patcher.saveSteps, path, journal, error)) return 1;
  logger.Print("* Couldn't write file %s%s", path.c_str(), LogReason(*error).c_str());
  return 0;
}

int SaveChangedDll(DllPatcher& patcher, int fileNumber, ByteBuffer bytes,
                   const DllAndBackup& files) {
  patcher.image = std::move(bytes.data);
  patcher.imageSize = bytes.size;
  patcher.loadedFile = fileNumber;
  patcher.onDisk[fileNumber] = &files;
  int saved = patcher.SaveFile(fileNumber);
  patcher.onDisk[fileNumber] = nullptr;
  return saved;
}

void CommitChange(DllPatcher& patcher) {
  patcher.saveSteps->Remove(JournalPathOf(patcher).c_str());
}

int UndoInterruptedChange(DllPatcher& patcher, std::string* note, FileError* error) {
  if (!JournalIsThere(patcher)) return 1;
  std::string journalShown = NativePath(JournalPathOf(patcher).c_str());
  // Orvanel never makes a journal that is a link or a folder: no change stopped there.
  std::string notAFile = NotAFileReason(JournalPathOf(patcher).c_str());
  if (!notAFile.empty()) {
    *error = {Problem::kRefused, 0, JournalPathOf(patcher), notAFile};
    logger.Print("* %s", notAFile.c_str());
    return 0;
  }
  Journal journal;
  std::string why;
  if (!ReadJournal(patcher, &journal, &why)) {
    *error = Refusal("a change was stopped half way, and " + journalShown + " " + why);
    return 0;
  }
  std::vector<DllUndo> undos(journal.files.size());
  for (size_t i = 0; i < journal.files.size(); ++i) {
    std::string wrong = PlanUndo(patcher, journal.files[i], &undos[i]);
    if (!wrong.empty()) {
      *error = Refusal(wrong + " (" + journal.change + ")");
      return 0;
    }
  }
  bool changed = false;
  for (DllUndo& undo : undos) {
    const char* path = patcher.dllPaths[undo.fileNumber];
    if (undo.remove) patcher.saveSteps->Remove(path);
    changed = changed || undo.remove || undo.write;
    if (!undo.write) continue;
    FileError refused = LinkRefusal(path);
    if (refused.problem != Problem::kNone) {
      *error = refused;
      return 0;
    }
    std::string target = SaveTarget(path);
    if (SaveBytes(*patcher.saveSteps, undo.bytes.data.get(), static_cast<size_t>(undo.bytes.size),
                  target.c_str(), false, error) != SaveFailure::kNone) {
      logger.Print("* Couldn't undo the stopped change in %s%s", path, LogReason(*error).c_str());
      return 0;
    }
  }
  CommitChange(patcher);
  // Stopped before its first DLL was written, the change left nothing to say.
  if (!changed) return 1;
  *note = "An interrupted change was undone: " + journal.change + "\n";
  logger.Print("* %s", note->substr(0, note->size() - 1).c_str());
  return 1;
}

int RecoverGameFolder(DllPatcher& patcher, std::string* text) {
  text->clear();
  if (!JournalIsThere(patcher)) return 1;
  // Another run holding the lock undoes the journal itself.
  DllFolderLocks locks({patcher.dllPaths[kGameDll], patcher.dllPaths[kClientDll]});
  if (!locks.Held()) return 1;
  FileError error;
  if (UndoInterruptedChange(patcher, text, &error)) return 1;
  *text = UserReason(error) + "\n";
  return 0;
}

std::string PendingChangeLine(const DllPatcher& patcher) {
  if (!JournalIsThere(patcher)) return "";
  Journal journal;
  std::string why;
  std::string shown = NativePath(JournalPathOf(patcher).c_str());
  std::string notAFile = NotAFileReason(JournalPathOf(patcher).c_str());
  if (!notAFile.empty()) return notAFile;
  if (!ReadJournal(patcher, &journal, &why))
    return "a change was stopped half way: " + shown + " " + why;
  return "a change was stopped half way (" + journal.change +
         "): the next change undoes it, or File > Restore Original DLLs brings back the originals";
}

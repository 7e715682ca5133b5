// One change of the game DLLs, the only way swap, restore and apply write
// them: it holds the locks of every folder the change writes in for its
// whole life, undoes first what a journal left by a stopped change names,
// writes this change's journal before the first DLL and removes it after the
// last (files/journal.h), and checks its commit and its rollback. So after a
// crash, a kill or a failed save both DLLs are as before the change or both
// as after it, and the result says which.
#ifndef ORVANEL_CHANGE_CHANGE_H_
#define ORVANEL_CHANGE_CHANGE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/backup.h"
#include "files/dll_links.h"
#include "files/journal.h"
#include "io/file_error.h"
#include "patch/dll_patcher.h"

class GameChange {
 public:
  // Takes the locks of the patcher's DLL folders (waiting a little while
  // another run holds them).
  explicit GameChange(DllPatcher& patcher);
  GameChange(const GameChange&) = delete;
  GameChange& operator=(const GameChange&) = delete;

  // kNone when the locks are held and a journal left behind (if any) is
  // undone now, inside the patcher's changeable ranges (set them first); Undone() then says what
  // was undone. Else why no DLL may be written. With journalMayStay a journal that cannot be undone
  // does not stop the change (a restore puts the originals back whatever it says); Undone() then
  // says that it was left.
  FileError Begin(bool journalMayStay = false);
  // "An interrupted change was undone: <change>\n", or "" when nothing was.
  const std::string& Undone() const { return undone_; }

  // Keeps the untouched DLL of files as its backup before the journal is
  // written (files/backup.h), and marks it kept. kNone when a backup that can
  // be the original is there now.
  FileError KeepBackup(DllAndBackup& files);
  // Writes the journal of the DLLs this change will write; when it fails no
  // DLL may be written. A change of one file writes none: its save is whole
  // or nothing.
  FileError WriteJournal(const std::string& change, const std::vector<JournalFile>& files);
  // Saves size bytes as the DLL of files within the journal written.
  FileError Save(const DllAndBackup& files, const uint8_t* bytes, size_t size);
  // Removes the journal: the change is whole.
  FileError Commit();
  // After a failed save: every DLL saved so far is put back through the
  // journal. kNone when each is as before the change; else why, the journal
  // is kept for the next change to finish, and Changed() lists the DLLs
  // left changed.
  FileError RollBack();
  // The file a save of dllPath replaces, found once for the change.
  std::string TargetOf(const std::string& dllPath) const { return locks_.TargetOf(dllPath); }
  // The DLLs (Windows paths) this change saved and did not put back.
  const std::vector<std::string>& Changed() const { return changed_; }

 private:
  DllPatcher& patcher_;
  DllFolderLocks locks_;
  std::vector<JournalFile> journal_;  // this change's journal, once written
  bool journaled_ = false;            // written to disk (a change of two files)
  std::vector<std::string> changed_;
  std::string undone_;
};

// The failure that says a rollback left the DLLs apart: which are changed,
// which are not, and that the next change or a restore puts them together.
FileError LeftApart(const std::vector<std::string>& changed, const std::vector<std::string>& all,
                    const FileError& why);

#endif  // ORVANEL_CHANGE_CHANGE_H_

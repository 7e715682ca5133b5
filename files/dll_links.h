// Game DLLs that are symbolic links (several installations sharing one set of
// DLLs). A save replaces the file the link names, so the link stays a link;
// the change then also holds the lock of that file's folder, and never writes
// through a link into a backup.
#ifndef ORVANEL_FILES_DLL_LINKS_H_
#define ORVANEL_FILES_DLL_LINKS_H_

#include <memory>
#include <string>
#include <vector>

#include "io/change_lock.h"
#include "io/file_error.h"

// The file a save of dllPath replaces: dllPath itself, or the file a link
// there names in the end.
std::string SaveTarget(const char* dllPath);

// Why a save of dllPath must not go ahead: a link whose file is a backup
// (its own "<dll>.bak" or any ".bak"). Problem::kNone when it may.
FileError LinkRefusal(const char* dllPath);
// The same with target, SaveTarget(dllPath), already found.
FileError LinkRefusal(const char* dllPath, const std::string& target);

// The locks of every folder a change of the DLLs at dllPaths writes in: the
// folder of the first path, and the folder of each DLL's save target. Each
// folder is locked once, all in one order (by path), so two changes never
// wait on each other; taking a lock clears that folder's leftover
// temporary files.
class DllFolderLocks {
 public:
  explicit DllFolderLocks(const std::vector<std::string>& dllPaths);

  bool Held() const { return FirstNotHeld() == nullptr; }
  FileError Error(const char* dllPath) const;
  // The save target of dllPath, found once when the locks were taken (it
  // decides which folders are locked); SaveTarget(dllPath) for a path the
  // locks were not taken for.
  std::string TargetOf(const std::string& dllPath) const;
  const std::string& Path() const;

 private:
  const ChangeLock* FirstNotHeld() const;
  std::vector<std::unique_ptr<ChangeLock>> locks_;
  std::vector<std::pair<std::string, std::string>> targets_;  // DLL path, save target
};

#endif  // ORVANEL_FILES_DLL_LINKS_H_

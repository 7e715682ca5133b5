// set-folder: the game folder kept as the window keeps it; and the test every
// command that needs the folder makes first.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/commands.h"
#include "files/pe_version.h"
#include "io/file_paths.h"

bool FolderIsSet(const DllPatcher& patcher) {
  if (HasGameFolder(patcher)) return true;
  std::fprintf(stderr, "%s\n(set it with: orvanel-cli set-folder DIR, or use --folder DIR)\n",
               kFolderNotSet);
  return false;
}

int RunSetFolder(DllPatcher& patcher, const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  // The window's picker gives full paths; a relative one would move with the
  // current directory.
  fs::path full = fs::absolute(folder, error).lexically_normal();
  if (error || !fs::is_directory(full, error)) {
    bool there = !error && fs::exists(full, error);
    std::fprintf(stderr,
                 "orvanel-cli set-folder: %s %s: give the folder that holds d2game.dll and "
                 "d2client.dll\n",
                 full.string().c_str(), there ? "is a file, not a folder" : "does not exist");
    return kExitFailed;
  }
  // Picked folders end in a separator only at a drive's root.
  if (!full.has_filename() && full.has_relative_path()) full = full.parent_path();
  std::string path = full.string();
  // A folder the file cannot keep whole (too long, a line break in it) is
  // refused before the file is touched.
  FileError problem = FolderProblem(path.c_str());
  if (problem.Failed()) {
    std::fprintf(stderr, "orvanel-cli set-folder: %s; %s was not changed\n",
                 UserReason(problem).c_str(), NativePath("data\\config.txt").c_str());
    return kExitFailed;
  }
  // The file stores blanks as underscores; a folder that would read back as
  // another one is refused before the file is touched.
  std::string storedForm = path;
  std::replace(storedForm.begin(), storedForm.end(), ' ', '_');
  char readBack[kTextSize];
  DecodeStoredFolder(storedForm.c_str(), readBack);
  if (path != readBack) {
    std::fprintf(stderr,
                 "orvanel-cli set-folder: %s would read back as %s (blanks are kept as "
                 "underscores); %s was not changed\n",
                 path.c_str(), readBack, NativePath("data\\config.txt").c_str());
    return kExitFailed;
  }
  patcher.StoreFolder(path.c_str());
  // StoreFolder keeps the folder for the running program even when the file
  // cannot be written; here the file is all that lasts, so read it back. A
  // failed write has left the old file as it was.
  DllPatcher stored;
  if (std::strcmp(stored.dllPaths[kGameDll], patcher.dllPaths[kGameDll]) != 0) {
    std::fprintf(stderr, "orvanel-cli set-folder: could not keep %s in %s; it was not changed\n",
                 path.c_str(), NativePath("data\\config.txt").c_str());
    return kExitFailed;
  }
  std::printf("Game folder: %s (kept in data\\config.txt)\n", path.c_str());
  // A folder of 1.14 on keeps its skills in Game.exe: said as such.
  FileError elsewhere = KeptInGameExe(SaveSteps::System(), patcher.dllPaths[kGameDll]);
  if (elsewhere.Failed()) {
    std::printf("note: %s\n", UserReason(elsewhere).c_str());
    return kExitSuccess;
  }
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (!fs::exists(NativePath(patcher.dllPaths[fileNumber]), error)) {
      std::printf("note: %s does not exist\n", NativePath(patcher.dllPaths[fileNumber]).c_str());
    }
  }
  return kExitSuccess;
}

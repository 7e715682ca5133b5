// fingerprint: the tokens a table author puts after a version's name in
// data\versions.txt, measured on the DLLs' untouched forms.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "cli/commands.h"
#include "io/file_paths.h"
#include "patch/backup.h"
#include "patch/fingerprint.h"

int RunFingerprint(const DllPatcher& patcher) {
  if (!FolderIsSet(patcher)) return kExitFailed;
  FileFingerprint found[2];
  UntouchedFingerprints(patcher, classList, found);
  std::string line;
  for (int fileNumber : {kGameDll, kClientDll}) {
    std::string backup = NativePath(BackupPath(patcher.dllPaths[fileNumber]).c_str());
    std::error_code error;
    bool backupThere = std::filesystem::symlink_status(backup, error).type() !=
                       std::filesystem::file_type::not_found;
    if (!found[fileNumber].read) {
      std::fprintf(stderr, "orvanel-cli fingerprint: expected a readable %s, found none\n",
                   found[fileNumber].source.c_str());
      return kExitFailed;
    }
    // A backup that cannot be the original leaves no way to tell which
    // bytes are untouched: a changed DLL's fingerprint would be worse than none.
    if (backupThere && found[fileNumber].source != backup) {
      std::fprintf(stderr,
                   "orvanel-cli fingerprint: %s cannot be the original of %s, so its untouched "
                   "form is unknown (restore it, or move the backup aside)\n",
                   backup.c_str(), NativePath(patcher.dllPaths[fileNumber]).c_str());
      return kExitFailed;
    }
    line += (line.empty() ? "" : " ") + std::string(kFingerprintDllNames[fileNumber]) + "=" +
            FingerprintText(found[fileNumber].size, found[fileNumber].crc);
  }
  std::printf("%s\n", line.c_str());
  return kExitSuccess;
}

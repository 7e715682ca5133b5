// fingerprint: the tokens a table author puts after a version's name in
// data\versions.txt, measured on the DLLs' untouched forms, and below them
// what each file says it is (its version resource and build date), if it
// says anything.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "config/game_files.h"
#include "files/fingerprint.h"

int RunFingerprint(const DllPatcher& patcher) {
  if (!FolderIsSet(patcher)) return kExitFailed;
  // The folder's own files: d2game.dll and d2client.dll, or those of a
  // version that names others (Game.exe) when it has no d2game.dll.
  const VersionFiles& files = FilesFor(patcher, versionList, -1);
  char paths[kPathSlots][kTextSize] = {};
  BuildFilePaths(patcher, files, paths);
  std::string line;
  std::string words;
  for (int n = 0; n < files.count; ++n) {
    // A backup that cannot be the original leaves no way to tell which bytes
    // are untouched: a changed DLL's fingerprint would be worse than none.
    FileFingerprint found = UntouchedFingerprint(ReadDllFiles(paths[n], versionList, classList));
    if (!found.read) {
      std::fprintf(stderr, "orvanel-cli fingerprint: %s\n", UserReason(found.why).c_str());
      return kExitFailed;
    }
    line +=
        (line.empty() ? "" : " ") + files.names[n] + "=" + FingerprintText(found.size, found.crc);
    std::string said = FoundVersionWords(found);
    if (!said.empty()) words += said + "\n";
  }
  std::printf("%s\n%s", line.c_str(), words.c_str());
  return kExitSuccess;
}

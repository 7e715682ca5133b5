// fingerprint: the tokens a table author puts after a version's name in
// data\versions.txt, measured on the DLLs' untouched forms, and below them
// what each file says it is (its version resource and build date), if it
// says anything.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "files/fingerprint.h"

int RunFingerprint(const DllPatcher& patcher) {
  if (!FolderIsSet(patcher)) return kExitFailed;
  std::string line;
  std::string words;
  for (int fileNumber : {kGameDll, kClientDll}) {
    // A backup that cannot be the original leaves no way to tell which bytes
    // are untouched: a changed DLL's fingerprint would be worse than none.
    FileFingerprint found = UntouchedFingerprint(
        ReadDllFiles(patcher.dllPaths[fileNumber], versionList, classList, fileNumber));
    if (!found.read) {
      std::fprintf(stderr, "orvanel-cli fingerprint: %s\n", UserReason(found.why).c_str());
      return kExitFailed;
    }
    line += (line.empty() ? "" : " ") + std::string(kFingerprintDllNames[fileNumber]) + "=" +
            FingerprintText(found.size, found.crc);
    std::string said = FoundVersionWords(fileNumber, found);
    if (!said.empty()) words += said + "\n";
  }
  std::printf("%s\n%s", line.c_str(), words.c_str());
  return kExitSuccess;
}

// The commands of orvanel-cli. Each works on the tables already loaded into
// versionList and classList and on a patcher set up from the options, prints
// what the user reads, and returns the exit status.
#ifndef ORVANEL_CLI_COMMANDS_H_
#define ORVANEL_CLI_COMMANDS_H_

#include <string>

#include "patch/dll_patcher.h"
#include "tables/aspects.h"

constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct SwapRequest {
  std::string version;  // name or position; empty: the one the fingerprints match
  std::string first;    // CLASS:SKILL
  std::string second;
  bool aspects[kAspectCount] = {};  // --effects, --graphics, --descs, by index of kAspects
  bool dryRun = false;
};

// Marks the version whose fingerprints match the game folder's DLLs.
int RunList(const DllPatcher& patcher);
int RunSwap(DllPatcher& patcher, const SwapRequest& request);
int RunCheck(const DllPatcher& patcher);
int RunRestore(DllPatcher& patcher);
int RunSetFolder(DllPatcher& patcher, const std::string& folder);
// version: a name or position; empty for the first.
int RunStatus(const DllPatcher& patcher, const std::string& version);
// A swap set file made the DLLs' content (dryRun: what would change).
int RunApply(DllPatcher& patcher, const std::string& setFile, bool dryRun);
// The two fingerprint tokens of the DLLs' untouched forms, on one line.
int RunFingerprint(const DllPatcher& patcher);

// False, with the window's message on stderr, when no game folder is set.
bool FolderIsSet(const DllPatcher& patcher);

#endif  // ORVANEL_CLI_COMMANDS_H_

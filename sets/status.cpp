#include "sets/status.h"

#include <algorithm>
#include <cstring>

#include "change/transaction.h"
#include "config/game_files.h"
#include "files/backup.h"
#include "files/fingerprint.h"
#include "sets/set_state.h"
#include "tables/aspects.h"
#include "tables/data_files.h"

namespace {

// The first version whose tables explain every difference from the backups
// (each changed byte inside a range, each changed range an exchange's); -1
// when none does.
int32_t ExplainingVersion(RecordList versions, RecordList classes, const VersionFiles& read,
                          const ByteBuffer* const now[2], const ByteBuffer* const original[2]) {
  for (int32_t version = 0; version == 0 || version < VersionPositions(versions); ++version) {
    // Only the tables of the files read can explain them.
    const VersionFiles& files = FilesOfVersion(versions, version);
    if (files.count != read.count || files.IndexOf(read.names[0]) != 0) continue;
    SetState state = StateAsExchanges(versions, classes, version, now, original);
    if (state.foreign.empty() && !state.changedOutside) return version;
  }
  return -1;
}

}  // namespace

int DescribeChanges(const DllPatcher& patcher, RecordList versions, RecordList classes,
                    int32_t version, std::vector<std::string>* lines, int32_t* used,
                    bool* fingerprinted) {
  // A change stopped half way is told first; status changes nothing.
  std::string pending = PendingChangeLine(patcher, versions, classes);
  if (!pending.empty()) lines->push_back("# " + pending);
  // The files of the version asked for, else the folder's own.
  const VersionFiles& read = FilesFor(patcher, versions, version);
  char paths[kPathSlots][kTextSize] = {};
  BuildFilePaths(patcher, read, paths);
  DllAndBackup files[2];
  std::vector<FileFingerprint> found;
  for (int fileNumber = 0; fileNumber < read.count; ++fileNumber) {
    files[fileNumber] = ReadDllFiles(paths[fileNumber], versions, classes, *patcher.saveSteps);
    if (version < 0) found.push_back(UntouchedFingerprint(files[fileNumber]));
  }
  bool asked = version >= 0;
  if (!asked) version = DetectVersion(versions, found);
  if (fingerprinted != nullptr) *fingerprinted = !asked && version >= 0;
  if (used != nullptr) *used = version;
  bool unknown = version < 0;  // no version asked for, none fingerprinted
  if (version < 0 || version >= VersionPositions(versions)) version = 0;
  std::string versionLine = "version " + SetVersionName(versions, version);
  for (int fileNumber = 0; fileNumber < read.count; ++fileNumber) {
    if (!files[fileNumber].DllRead()) {
      lines->push_back("# " + UserReason(files[fileNumber].dllError));
      return 0;
    }
    if (files[fileNumber].backupThere && !files[fileNumber].BackupUsable()) {
      lines->push_back("# " + UserReason(files[fileNumber].BackupError()));
      return 0;
    }
  }
  if (!files[kGameDll].backupThere && !files[kClientDll].backupThere) {
    lines->push_back("# no backup: nothing has been changed");
    lines->push_back(versionLine);
    return 1;
  }

  const ByteBuffer* now[2] = {nullptr, nullptr};
  const ByteBuffer* original[2] = {nullptr, nullptr};
  for (int fileNumber = 0; fileNumber < read.count; ++fileNumber) {
    if (!files[fileNumber].backupThere) continue;
    now[fileNumber] = &files[fileNumber].dll;
    original[fileNumber] = &files[fileNumber].backup;
  }
  // Without fingerprints the differences themselves tell the version.
  int32_t explaining =
      unknown ? ExplainingVersion(versions, classes, read, now, original) : version;
  if (explaining >= 0) version = explaining;
  if (used != nullptr && unknown) *used = explaining;
  versionLine = "version " + SetVersionName(versions, version);
  SetState state = StateAsExchanges(versions, classes, version, now, original);
  if (explaining < 0) {
    lines->push_back(
        "# the DLLs differ from their backups, and no version's tables explain how: which "
        "version they are cannot be told; name it (status --game-version)");
  } else if (state.changedOutside) {
    lines->push_back("# the DLLs differ from their backups outside the ranges of version " +
                     SetVersionName(versions, version) +
                     "'s tables: these lines do not tell all of it");
  } else if (state.exchanges.empty() && state.foreign.empty()) {
    lines->push_back("# no changes");
  }
  lines->push_back(versionLine);
  for (const SetExchange& exchange : state.exchanges) lines->push_back(SetExchangeLine(exchange));
  for (const std::string& foreign : state.foreign) lines->push_back("# " + foreign);
  return explaining >= 0 ? 1 : 0;
}

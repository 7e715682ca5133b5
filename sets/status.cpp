#include "sets/status.h"

#include <algorithm>
#include <cstring>

#include "change/transaction.h"
#include "files/backup.h"
#include "files/fingerprint.h"
#include "sets/set_state.h"
#include "tables/aspects.h"
#include "tables/data_files.h"

int DescribeChanges(const DllPatcher& patcher, RecordList versions, RecordList classes,
                    int32_t version, std::vector<std::string>* lines, int32_t* used) {
  // A change stopped half way is told first; status changes nothing.
  std::string pending = PendingChangeLine(patcher);
  if (!pending.empty()) lines->push_back("# " + pending);
  DllAndBackup files[2];
  FileFingerprint found[2];
  for (int fileNumber : {kGameDll, kClientDll}) {
    files[fileNumber] = ReadDllFiles(patcher.dllPaths[fileNumber], versions, classes, fileNumber,
                                     *patcher.saveSteps);
    if (version < 0) found[fileNumber] = UntouchedFingerprint(files[fileNumber]);
  }
  if (version < 0) version = DetectVersion(versions, found);
  if (used != nullptr) *used = version;
  if (version < 0 || version >= VersionPositions(versions)) version = 0;
  std::string versionLine = "version " + SetVersionName(versions, version);
  for (int fileNumber : {kGameDll, kClientDll}) {
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
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (!files[fileNumber].backupThere) continue;
    now[fileNumber] = &files[fileNumber].dll;
    original[fileNumber] = &files[fileNumber].backup;
  }
  SetState state = StateAsExchanges(classes, version, now, original);
  if (state.exchanges.empty() && state.foreign.empty()) lines->push_back("# no changes");
  lines->push_back(versionLine);
  for (const SetExchange& exchange : state.exchanges) lines->push_back(SetExchangeLine(exchange));
  for (const std::string& foreign : state.foreign) lines->push_back("# " + foreign);
  return 1;
}

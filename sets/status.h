// What the program has changed, told from each DLL and its backup with one
// version's tables, as a swap set (tables/swap_set.h) that gives the DLLs
// from their originals: "version 1.09b", then one line per exchange
// ("Amazon:Magic Arrow <-> Sorceress:Fire Bolt: Effects, Graphics"); every
// other line is a "#" comment, so that the text always reads as a set.
#ifndef ORVANEL_SETS_STATUS_H_
#define ORVANEL_SETS_STATUS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "patch/dll_patcher.h"
#include "tables/record_list.h"

// Appends the set's lines to lines: a change stopped half way
// (change/transaction.h) as a comment, the version line, the exchanges
// (sets/set_state.h), then each range changed by something else as a
// comment; "# no changes" when every DLL with a backup equals it, "# no
// backup: nothing has been changed" when neither DLL has one. Each DLL and
// backup is read once. Returns 0, with a comment saying which and why, when
// a DLL cannot be read or a backup there cannot be its original (then no
// comparison with it would mean anything); else 1. A version below 0 is the
// one whose fingerprints the files read match, else the first whose tables
// explain every difference from the backups; when none does, the set says
// so and 0 is returned. "# no changes" only when the DLLs equal their
// backups. *used (when given) gets the version asked for, detected or
// explaining, -1 when none; *fingerprinted whether the fingerprints told it.
int DescribeChanges(const DllPatcher& patcher, RecordList versions, RecordList classes,
                    int32_t version, std::vector<std::string>* lines, int32_t* used = nullptr,
                    bool* fingerprinted = nullptr);

#endif  // ORVANEL_SETS_STATUS_H_

// What the program has changed, told from each DLL and its backup with one
// version's tables: pairs of skills whose ranges hold each other's original
// bytes ("Magic Arrow <-> Fire Bolt: Effects, Graphics"), ranges that hold
// another skill's original without the exchange back, and ranges changed by
// something else.
#ifndef ORVANEL_PATCH_STATUS_H_
#define ORVANEL_PATCH_STATUS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "patch/dll_patcher.h"
#include "tables/record_list.h"

// Appends one line per finding to lines: a change stopped half way first
// (patch/transaction.h), then the pairs, in table order,
// then the other changes; "no changes" when every DLL with a backup equals
// it, "no backup: nothing has been changed" when neither DLL has one. Each
// DLL and backup is read once. Returns 0, with a line saying which and why,
// when a DLL cannot be read or a backup there cannot be its original (then
// no comparison with it would mean anything); else 1.
int DescribeChanges(const DllPatcher& patcher, RecordList versions, RecordList classes,
                    int32_t version, std::vector<std::string>* lines);

#endif  // ORVANEL_PATCH_STATUS_H_

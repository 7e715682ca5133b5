// The part of the table check that knows the ranges' lengths: no two skills'
// ranges in one DLL and version may overlap, and, with the game folder, every
// range the exchange would move must lie wholly inside its DLL, and the DLL
// must be small enough to load. Findings are lines "file:line: problem" as in
// tables/table_check.h.
#ifndef ORVANEL_PATCH_RANGE_CHECK_H_
#define ORVANEL_PATCH_RANGE_CHECK_H_

#include <string>
#include <vector>

#include "patch/dll_patcher.h"
#include "tables/record_list.h"
#include "tables/table_check.h"

// classes and lines as CheckTables saw them; the DLLs are the patcher's
// paths, which must be set. Appends findings; returns their number.
int CheckRanges(RecordList classes, const TableLines& lines, const DllPatcher& patcher,
                std::vector<std::string>* findings);

// One finding per range that overlaps a range of another skill in the same
// DLL and version (exchanging either would change the other), naming both.
int CheckOverlaps(RecordList classes, const TableLines& lines, std::vector<std::string>* findings);

#endif  // ORVANEL_PATCH_RANGE_CHECK_H_

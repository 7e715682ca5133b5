// The part of the table check that needs the game folder: every skill range
// the exchange would move must lie wholly inside its DLL, and the DLL must be
// small enough to load. Findings are lines
// "file:line: problem" as in tables/table_check.h.
#ifndef ORVANEL_EXCHANGE_RANGE_CHECK_H_
#define ORVANEL_EXCHANGE_RANGE_CHECK_H_

#include <string>
#include <vector>

#include "patch/dll_patcher.h"
#include "tables/record_list.h"
#include "tables/table_check.h"

// classes and lines as CheckTables saw them; each version's ranges are
// checked in the files it names (tables/version_files.h) in the patcher's
// game folder, which must be set. A file that a range needs and cannot be
// opened is one finding. Appends findings; returns their number.
int CheckRanges(RecordList versions, RecordList classes, const TableLines& lines,
                const DllPatcher& patcher, std::vector<std::string>* findings);

#endif  // ORVANEL_EXCHANGE_RANGE_CHECK_H_

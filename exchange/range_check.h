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

// classes and lines as CheckTables saw them; the DLLs are the patcher's
// paths, which must be set. Appends findings; returns their number.
int CheckRanges(RecordList classes, const TableLines& lines, const DllPatcher& patcher,
                std::vector<std::string>* findings);

#endif  // ORVANEL_EXCHANGE_RANGE_CHECK_H_

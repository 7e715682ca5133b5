// Two skills whose ranges overlap in one DLL and version cannot both be
// exchanged: the second swap moves bytes the first one put there. Findings
// are lines "file:line: problem" as in tables/table_check.h.
#ifndef ORVANEL_TABLES_OVERLAP_CHECK_H_
#define ORVANEL_TABLES_OVERLAP_CHECK_H_

#include <string>
#include <vector>

#include "tables/record_list.h"
#include "tables/table_check.h"

// classes and lines as CheckTables saw them. One finding per range that
// overlaps another range in the same file and version, naming both: of
// another skill, or of another aspect of the same skill. versions say which
// file holds each aspect (null: d2game.dll and d2client.dll); a version
// whose files are one holds all three aspects in it. Returns the number of
// findings.
int CheckOverlaps(RecordList classes, const TableLines& lines, std::vector<std::string>* findings,
                  RecordList versions = nullptr);

#endif  // ORVANEL_TABLES_OVERLAP_CHECK_H_

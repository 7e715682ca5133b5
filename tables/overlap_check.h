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
// overlaps a range of another skill in the same DLL and version, naming
// both. Returns the number of findings.
int CheckOverlaps(RecordList classes, const TableLines& lines, std::vector<std::string>* findings);

#endif  // ORVANEL_TABLES_OVERLAP_CHECK_H_

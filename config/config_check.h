// The part of check that reads data\config.txt as the program does at start
// and reports a stored folder that cannot be used as written: one cut at a
// blank ("Folder: D:\Diablo II" reads as D:\Diablo, as blanks are stored as
// underscores) or one too long for the DLL paths, which leaves no folder set.
// Findings are lines "file:line: problem" as in tables/table_check.h.
#ifndef ORVANEL_CONFIG_CONFIG_CHECK_H_
#define ORVANEL_CONFIG_CONFIG_CHECK_H_

#include <string>
#include <vector>

// Appends findings; returns their number.
int CheckConfig(std::vector<std::string>* findings);

#endif  // ORVANEL_CONFIG_CONFIG_CHECK_H_

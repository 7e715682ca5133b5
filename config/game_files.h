// Which files of the game folder a change works on: those of the version it
// is for (tables/version_files.h), each found as the folder names it
// whatever its letter case. The patcher's paths are rebuilt for them; a
// version that keeps its skills in one file leaves the second path empty.
#ifndef ORVANEL_CONFIG_GAME_FILES_H_
#define ORVANEL_CONFIG_GAME_FILES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "patch/dll_patcher.h"
#include "tables/record_list.h"
#include "tables/version_files.h"

// Builds the paths of files in folder; all empty when one would not fit.
void BuildFilePathsIn(const char* folder, const VersionFiles& files,
                      char paths[kPathSlots][kTextSize]);

// The folder the patcher's paths are in, as the system names it (the
// patcher's folder text keeps blanks as underscores); "" when none is set.
std::string GameFolderPath(const DllPatcher& patcher);

// The same in the patcher's game folder; all empty when none is set.
void BuildFilePaths(const DllPatcher& patcher, const VersionFiles& files,
                    char paths[kPathSlots][kTextSize]);

// The files of the version at position; with no version chosen (position
// < 0) the folder's own: d2game.dll and d2client.dll, unless the folder has
// no d2game.dll and holds every file of a version that names others (from
// 1.14 on, Game.exe), the first such version's.
const VersionFiles& FilesFor(const DllPatcher& patcher, RecordList versions, int32_t position);

// Points the patcher's paths at FilesFor's files.
void UseFilesOf(DllPatcher& patcher, RecordList versions, int32_t position);

// The paths of every file any version names (d2game.dll and d2client.dll
// first), each once: what detection and check measure. Empty without a
// game folder.
std::vector<std::string> NamedFilePaths(const DllPatcher& patcher, RecordList versions);

#endif  // ORVANEL_CONFIG_GAME_FILES_H_

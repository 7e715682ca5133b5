// Deterministic stand-ins for d2game.dll and d2client.dll, and for the Game.exe
// of a version that keeps its skills in one file, made for the demo tables in
// demo/data. Every skill range a table names is filled with a label
// ("<aspect letter><version tag>:<skill name>", padded with '.') so that an
// exchange is visible in a hex viewer; all other bytes are a fixed pattern.
// These files are not the game's DLLs and the demo offsets fit nothing else.
#ifndef ORVANEL_DEMO_DEMO_DLLS_H_
#define ORVANEL_DEMO_DEMO_DLLS_H_

#include <cstdint>
#include <string>

#include "tables/record_list.h"

constexpr uint32_t kDemoDllSize = 1u << 20;
constexpr uint8_t kDemoBackground = 0xCC;
// File header: "MZ" and a note saying what the file is; no range may start
// inside it.
constexpr uint32_t kDemoHeaderSize = 0x100;

// The demo's versions: the first two in the DLLs, the third in Game.exe.
constexpr int kDemoVersions = 3;
constexpr int kDemoExeVersionPosition = 2;
// Version tags in the labels, by version position.
constexpr const char* kDemoVersionTags[kDemoVersions] = {"b", "d", "x"};

// The label of one range: e.g. DemoLabel('E', 0, "Magic Arrow", 12) is
// "Eb:Magic Arr".
std::string DemoLabel(char aspect, int version, const char* skillName, uint32_t length);

// Writes d2game.dll and d2client.dll into folder (which must exist) from the
// skill tables of classes. Returns 1, or 0 with the reason in error when an
// offset is missing, a range leaves the file or overlaps another, or a file
// cannot be written.
int WriteDemoDlls(RecordList classes, const std::string& folder, std::string* error);
// Writes Game.exe (demo/demo_exe.h) into folder with every range of the
// one-file version's tables labelled, all three aspects in the one file; fails
// as WriteDemoDlls does. classes must hold that version's skill lists.
int WriteDemoExe(RecordList classes, const std::string& folder, std::string* error);

#endif  // ORVANEL_DEMO_DEMO_DLLS_H_

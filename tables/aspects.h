// The three aspects of a skill that an exchange moves, in processing order:
// the one table that says, for each, which DLL holds it, how many bytes it
// has, which offset field and skill-table column give its place, and the line
// the result shows. The exchange, the status and the table check all read it.
#ifndef ORVANEL_TABLES_ASPECTS_H_
#define ORVANEL_TABLES_ASPECTS_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "tables/data_files.h"

struct Aspect {
  const char* name;  // "Effects", "Graphics" or "Descriptions"
  int dll;           // index of kFingerprintDllNames: 0 d2game.dll, 1 d2client.dll
  int32_t length;    // bytes
  char (SkillRecord::*offsets)[6];
  size_t column;           // 0-based column of the offset in a skill line
  const char* resultLine;  // e.g. "   Effects\n"
};

constexpr int kAspectCount = 3;
extern const Aspect kAspects[kAspectCount];

// The one test that a range may be moved: offsetText is an offset
// (IsOffsetText) and the length bytes from it lie wholly inside a file of
// fileSize bytes. *start (when given) gets the offset's value.
bool RangeInside(const char* offsetText, int32_t length, uint64_t fileSize,
                 uint32_t* start = nullptr);

// A place in a DLL as every message writes it: "0x1A2B0", and the bytes
// first to last as "0x140..0x14B".
std::string HexOffset(uint64_t value);
std::string HexRange(uint64_t first, uint64_t last);

#endif  // ORVANEL_TABLES_ASPECTS_H_

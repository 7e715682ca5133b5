// The journal of one change to the game DLLs: written whole ("orvanel.journal"
// beside the DLLs, through the safe save) before the first DLL is written, and
// removed after the last one is saved; that removal is the commit. A journal
// found later names a change that was stopped half way: for each DLL it
// records the size and CRC-32 before and after, and every range that differs
// with its old and new bytes, so the change can be undone from the DLLs
// alone (the ranges' old bytes put back last to first). It is plain text with a checksum of its
// own, so a damaged or foreign journal is recognised and never applied.
#ifndef ORVANEL_FILES_JOURNAL_H_
#define ORVANEL_FILES_JOURNAL_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "io/file_error.h"
#include "io/save_steps.h"
#include "tables/exchange_plan.h"

struct JournalRange {
  uint32_t start = 0;
  std::vector<uint8_t> before;  // the bytes there before the change
  std::vector<uint8_t> after;   // as many bytes, as the change leaves them
};

// One DLL the change writes.
struct JournalFile {
  std::string name;           // "d2game.dll" or "d2client.dll", beside the journal
  bool absentBefore = false;  // the change brings the file back (a restore)
  uint32_t sizeBefore = 0;
  uint32_t crcBefore = 0;
  uint32_t sizeAfter = 0;
  uint32_t crcAfter = 0;
  std::vector<JournalRange> ranges;
};

struct Journal {
  std::string change;  // what the user asked for, e.g. "Jab <-> Fire Bolt (Effects)"
  std::vector<JournalFile> files;
};

uint32_t ImageCrc(const uint8_t* bytes, size_t size);

// The CRC-32 of a file of size bytes whose CRC-32 is crcBefore once ranges
// hold their after bytes in place of their before bytes, from the ranges
// alone (a CRC is linear in the bytes); false when two ranges overlap.
bool CrcWithRanges(uint32_t crcBefore, size_t size, const std::vector<JournalRange>& ranges,
                   uint32_t* crcAfter);

// The ranges in which after differs from before (size bytes each), ranges
// closer than a few bytes joined; they never overlap.
std::vector<JournalRange> DifferingRanges(const uint8_t* before, const uint8_t* after, size_t size);

// The record of writing after over before (null: the file is not there);
// false when both are there with different sizes, which no change does.
bool DescribeWrite(const std::string& name, const uint8_t* before, size_t beforeSize,
                   const uint8_t* after, size_t afterSize, JournalFile* file);

std::string JournalText(const Journal& journal);
// kNone when text is one JournalText made; else kJournalDamaged, its detail
// why ("line 4: expected ..."): cut short, edited, or its checksum wrong.
FileError ReadJournalText(const std::string& text, Journal* journal);

// kNone when file's ranges are what a change inside changeable can journal:
// apart from each other, every byte they change inside changeable, and no more
// of them than such a change writes; else what is wrong (kJournalUntabledByte,
// kJournalOverlap, kJournalTooMuch; file is the DLL's name).
FileError RangesOutside(const JournalFile& file, const ByteRanges& changeable);
// The longest journal text a change inside changeable[kGameDll] and
// changeable[kClientDll] can make; a longer file is no journal of Orvanel's.
uint64_t LongestJournal(const ByteRanges changeable[2]);

// "orvanel.journal" in the folder of a DLL path.
std::string JournalPath(const char* dllPath);

// Saves the journal the safe way (written, flushed, moved into place, its
// folder flushed).
FileError WriteJournal(SaveSteps& steps, const std::string& path, const Journal& journal);

#endif  // ORVANEL_FILES_JOURNAL_H_

// The skill exchange as a plain operation: selection values in, the files
// changed and the result text out. The window and the command line both call
// it; neither repeats any of its rules.
#ifndef ORVANEL_PATCH_EXCHANGE_H_
#define ORVANEL_PATCH_EXCHANGE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "patch/dll_patcher.h"
#include "tables/data_files.h"

// Positions as the combo boxes report them (-1: nothing selected).
struct SkillSelection {
  int32_t version = -1;
  int32_t firstClass = -1;
  int32_t secondClass = -1;
  int32_t firstSkill = -1;
  int32_t secondSkill = -1;
  bool effects = false;
  bool graphics = false;
  bool descriptions = false;
};

// One range exchange of a ticked aspect, in processing order.
struct PlannedSwap {
  int fileNumber;
  int32_t length;
  const char* firstOffset;   // offset text in the first skill's record
  const char* secondOffset;  // offset text in the second skill's record
  const char* aspectName;    // "Effects", "Graphics" or "Descriptions"
  const char* resultLine;    // e.g. "   Effects\n"
};

struct ExchangePlan {
  const SkillRecord* firstSkill = nullptr;
  const SkillRecord* secondSkill = nullptr;
  PlannedSwap swaps[3] = {};
  int swapCount = 0;
};

constexpr int kResultSize = 256;

// What happened to one ticked aspect.
struct AspectOutcome {
  const char* aspectName;  // "Effects", "Graphics" or "Descriptions"
  bool done = false;       // exchanged and saved
  FileError error;         // why not, when not done
};

// Looks the two skills up in classes and lists the ticked aspects' swaps.
// Returns 0 when a lookup finds no record or the version has no skill data.
int PlanExchange(RecordList classes, const SkillSelection& selection, ExchangePlan* plan);
// The swaps of the aspects selection ticks, at its version, between two skills
// already found (selection's positions are not looked at).
void PlanSwaps(const SkillRecord* first, const SkillRecord* second, const SkillSelection& selection,
               ExchangePlan* plan);

// Every range the tables name in the DLL of fileNumber, for either version:
// the bytes in which the DLL may differ from its original.
ByteRanges ChangeableRanges(RecordList classes, int fileNumber);

// Exchanges every ticked aspect (Effects, Graphics, Descriptions) while it
// holds the game folder's lock, and gives the text the user reads in result:
// "No changes made\n"; or the two names joined by " <-> " and one line per
// aspect; or, after any error, "There were errors in your request\n" and one
// line per ticked aspect in order, "   Effects: exchanged\n" or
// "   Effects: not exchanged: <reason>\n" (and the lock's line when another
// run holds it). An exchange that patch/exchange_guard.h refuses (the
// version's fingerprints come from versionList) writes nothing and shows
// its reasons on every aspect line. A line follows for each old copy of a saved DLL that
// Windows keeps in VirtualStore. Each DLL is loaded once, takes all its
// aspects in memory and is saved once, so it is wholly old or wholly new. A
// range refused in any loaded DLL refuses the whole exchange before anything
// is written; a DLL that cannot be opened leaves the other DLL's aspects to
// go ahead. outcomes (when given) gets one entry per ticked aspect. The DLLs
// saved are one transaction (patch/transaction.h): when a save fails, the
// DLL saved before it is put back. A change stopped half way before is undone
// first, and a line says so at the end of result, or in undone when given.
// Returns 1 when every ticked aspect was exchanged and saved (or none was
// ticked), 0 otherwise.
int ExchangeSkills(DllPatcher& patcher, RecordList classes, const SkillSelection& selection,
                   std::string* result, std::vector<AspectOutcome>* outcomes = nullptr,
                   std::string* undone = nullptr);
// The same with the text in a buffer of kResultSize bytes: whole lines only,
// as many as fit.
int ExchangeSkills(DllPatcher& patcher, RecordList classes, const SkillSelection& selection,
                   char result[kResultSize]);

#endif  // ORVANEL_PATCH_EXCHANGE_H_

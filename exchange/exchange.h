// The skill exchange as a plain operation: the tables and the selection in,
// the files changed and what happened out, as one value. The window and the
// command line both call it; neither repeats any of its rules.
#ifndef ORVANEL_EXCHANGE_EXCHANGE_H_
#define ORVANEL_EXCHANGE_EXCHANGE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "io/file_error.h"
#include "patch/dll_patcher.h"
#include "tables/exchange_plan.h"
#include "tables/record_list.h"

constexpr int kResultSize = 256;

// What happened to one ticked aspect.
struct AspectOutcome {
  const char* aspectName = "";  // "Effects", "Graphics" or "Descriptions"
  bool done = false;            // exchanged and saved (a dry run: would be)
  FileError error;              // why not, when not done
  // The reasons after error when several stopped it together (a wrong DLL
  // and a table line, say): the text says them all.
  std::vector<FileError> alsoBecause;
};

// One range of a ticked aspect's swap, before and after the exchange.
struct RangeChange {
  int fileNumber;
  const char* aspectName;
  const char* offset;  // the offset text of the tables
  std::vector<uint8_t> before;
  std::vector<uint8_t> after;
};

struct ExchangeOptions {
  bool writeNothing = false;  // a dry run: no lock taken, nothing written
  // The version is the one whose fingerprints both DLLs match, told from
  // the same reads as the exchange (selection.version is not looked at).
  bool detectVersion = false;
};

struct ExchangeOutcome {
  bool done = false;     // every ticked aspect done, or none ticked
  int32_t version = -1;  // the version exchanged at (-1: none detected)
  // The DLLs were read and their fingerprints match no single version.
  bool versionUnknown = false;
  std::vector<AspectOutcome> aspects;  // one per ticked aspect, in order
  std::vector<RangeChange> ranges;     // per swap made in memory: its first, then its second range
  // The text the user reads: "No changes made\n"; or the two names joined by
  // " <-> " and one line per aspect; or, after any error, "There were errors
  // in your request\n" and one line per ticked aspect, "   Effects:
  // exchanged\n" or "   Effects: not exchanged: <reason>\n" (said once,
  // "   Effects, Graphics: not exchanged: <reason>\n", when one reason stops
  // every aspect), and the lock's line when another run holds it; then a line
  // for each old copy of a saved DLL that Windows keeps in VirtualStore.
  std::string text;
  // "An interrupted change was undone: <change>\n" when the exchange first
  // undid a change stopped half way (change/transaction.h); for a dry run, a
  // line that one waits to be undone; else "".
  std::string undone;
  // Why the DLLs are not both as the text says the aspects are: a rollback
  // that failed (which DLL is changed, which not) or a commit that failed.
  FileError apart;
};

// Exchanges every ticked aspect (Effects, Graphics, Descriptions) while it
// holds the game folder's lock. Each DLL and its backup are read once; the
// tables' checks, the fingerprints of versions, every range and each backup
// are judged before anything is written, and a DLL is saved once, so it is
// wholly old or wholly new. A refused range or fingerprint refuses the whole
// exchange; a DLL that cannot be read, or whose backup cannot be the
// original, leaves the other DLL's aspects to go ahead. The DLLs saved are
// one transaction (change/transaction.h): a change stopped half way before is
// undone first, and when a save fails the DLL saved before it is put back. A
// dry run (options.writeNothing) gives the outcome the exchange would give.
ExchangeOutcome RunExchange(DllPatcher& patcher, RecordList versions, RecordList classes,
                            const SkillSelection& selection,
                            const ExchangeOptions& options = ExchangeOptions());

// RunExchange's text, then what it undid, in *result; returns 1 when every
// ticked aspect was
// exchanged and saved (or none was ticked), 0 otherwise.
int ExchangeSkills(DllPatcher& patcher, RecordList versions, RecordList classes,
                   const SkillSelection& selection, std::string* result);
// The same with the text in a buffer of kResultSize bytes: whole lines only,
// as many as fit.
int ExchangeSkills(DllPatcher& patcher, RecordList versions, RecordList classes,
                   const SkillSelection& selection, char result[kResultSize]);

#endif  // ORVANEL_EXCHANGE_EXCHANGE_H_

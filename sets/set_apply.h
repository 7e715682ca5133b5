// Applying a swap set (tables/swap_set.h): the DLLs become their originals
// with exactly the set's exchanges, in the order written, whatever they hold
// now; so applying a set twice is applying it once, and a set with no
// exchanges gives the originals. One change under one hold of the game
// folder's lock, through the journal (change/transaction.h): both DLLs or
// neither, each written at most once.
#ifndef ORVANEL_SETS_SET_APPLY_H_
#define ORVANEL_SETS_SET_APPLY_H_

#include <cstdint>
#include <string>

#include "patch/dll_patcher.h"
#include "tables/record_list.h"

struct SetApplyOutcome {
  bool done = false;     // applied (or, in a dry run, would be)
  int32_t version = -1;  // the position of the version the set names, -1 when unknown
  std::string text;      // what the user reads, one line each
  // "An interrupted change was undone: ...\n"; for a dry run, a line that one
  // waits to be undone; else "".
  std::string undone;
};

// Refuses the whole set, writing nothing, when any line is wrong (unknown
// version, class, skill or aspect, a skill the exchange refuses, a range
// outside its DLL), naming the line and what is wrong; when a DLL is not the
// file the version's fingerprints declare; and when a range holds bytes
// changed by something else, naming the DLL and range. With writeNothing no
// lock is taken and the text says what would change.
SetApplyOutcome ApplySwapSet(DllPatcher& patcher, RecordList versions, RecordList classes,
                             const std::string& setText, bool writeNothing = false);

#endif  // ORVANEL_SETS_SET_APPLY_H_

// What would make an exchange move bytes other than the ones the user picked,
// found before anything is written: a skill or version whose line was read in
// pieces, a skill whose record in the selected version's table is not the one
// the skill box shows (the boxes show the first version's names), and a DLL
// that is not the file the selected version declares (patch/fingerprint.h).
#ifndef ORVANEL_PATCH_EXCHANGE_GUARD_H_
#define ORVANEL_PATCH_EXCHANGE_GUARD_H_

#include <string>

#include "patch/dll_patcher.h"
#include "patch/exchange.h"
#include "tables/record_list.h"

// plan is PlanExchange's for selection; the fingerprints are checked only for
// the DLLs of its swaps, against the patcher's changeable ranges. Returns ""
// when the exchange may go ahead, else one line per reason, each ending in
// "\n", for the result to show after "There were errors in your request\n";
// every reason is logged too.
std::string ExchangeRefusal(const DllPatcher& patcher, RecordList versions, RecordList classes,
                            const SkillSelection& selection, const ExchangePlan& plan);

#endif  // ORVANEL_PATCH_EXCHANGE_GUARD_H_

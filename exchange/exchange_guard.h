// What would make an exchange move bytes other than the ones the user picked,
// found before anything is written: a skill or version whose line was read in
// pieces, a skill whose record in the selected version's table is not the one
// the skill box shows (the boxes show the first version's names), a picked
// skill's line that the table check finds fault with (tables/table_check.h),
// for the line or the offset of a ticked aspect, and a DLL that is not the
// file the selected version declares (files/fingerprint.h).
#ifndef ORVANEL_EXCHANGE_EXCHANGE_GUARD_H_
#define ORVANEL_EXCHANGE_EXCHANGE_GUARD_H_

#include <vector>

#include "files/backup.h"
#include "io/file_error.h"
#include "tables/data_files.h"
#include "tables/exchange_plan.h"
#include "tables/record_list.h"

// plan is PlanExchange's for selection. files[n] is the DLL of file number n
// as the exchange read it, null when no ticked aspect needs it or it could
// not be read; fingerprints are checked for the others. Returns one error
// per reason, empty when the exchange may go ahead; a DLL that is another
// declared version's file ends its reason with that version to choose.
// The DLLs in files (null: not read) match another version's declared
// fingerprints while selected declares none for them: the refusal naming
// that version; kNone otherwise.
FileError UndeclaredVersionRefusal(RecordList versions, const VersionRecord& selected,
                                   const DllAndBackup* const files[2]);

std::vector<FileError> ExchangeRefusals(RecordList versions, RecordList classes,
                                        const SkillSelection& selection, const ExchangePlan& plan,
                                        const DllAndBackup* const files[2]);

#endif  // ORVANEL_EXCHANGE_EXCHANGE_GUARD_H_

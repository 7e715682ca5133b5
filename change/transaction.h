// A change of the game DLLs as one transaction (files/journal.h): the change
// writes its journal before its first DLL and removes it after its last, and
// every change, under the game folder's lock, first undoes what a journal
// left by a stopped change names. So after a crash, a kill or a power cut
// both DLLs are as before a change or both as after it.
#ifndef ORVANEL_CHANGE_TRANSACTION_H_
#define ORVANEL_CHANGE_TRANSACTION_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/dll_links.h"
#include "files/journal.h"
#include "io/file_error.h"
#include "io/whole_file.h"
#include "patch/dll_patcher.h"
#include "tables/record_list.h"

// The name a journal gives the DLL of fileNumber: "d2game.dll", "d2client.dll".
std::string DllFileName(const DllPatcher& patcher, int fileNumber);

// With the game folder's locks held: kNone when there is no journal, or the
// change it names is undone now (each DLL as it was before that change; note
// gets "An interrupted change was undone: <change>\n" when a DLL had to be
// put back), or was found finished (every DLL as it leaves them: note gets
// "An interrupted change was complete and is kept: <change>\n"). Else why
// not: the journal is damaged, or a DLL is neither as that change found it
// nor as it would have left it (something else changed it), or a save
// failed; nothing more is written then, the journal stays, and the error says
// which DLL and that restoring the originals is the way out.
// Recovery only undoes: a journal is refused, unread when it is longer than
// any change could make, when a range changes a byte outside the patcher's
// changeable ranges (those the tables name) or they hold more than a change
// writes; a DLL is written only when it holds every range's after bytes and
// its size and CRC are those after; no DLL is ever removed or made.
// locks, when given, are the change's: each DLL's link target as they found it.
FileError UndoInterruptedChange(DllPatcher& patcher, std::string* note,
                                const DllFolderLocks* locks = nullptr);

// The same with the locks taken here, for a program that starts: 1 with the
// note ("" when there was nothing to undo, or another run holds the lock), 0
// with the reason in words. The patcher's changeable ranges are set from
// the tables.
int RecoverGameFolder(DllPatcher& patcher, RecordList versions, RecordList classes,
                      std::string* text);

// Removes the journal at path, the folder flushed before (so that the DLLs'
// new names are on the disk first) and after (so that its removal is before
// the change is reported done). kNone when removed; a folder that cannot be
// flushed first keeps the journal, so the next change finds it.
FileError RemoveJournal(SaveSteps& steps, const std::string& path);

// A line for status about a journal there ("" when none); changes nothing.
std::string PendingChangeLine(const DllPatcher& patcher, RecordList versions, RecordList classes);
// Sets the patcher's changeable ranges: for each of its paths, every range
// the tables name in that file.
void SetChangeable(DllPatcher& patcher, RecordList versions, RecordList classes);

#endif  // ORVANEL_CHANGE_TRANSACTION_H_

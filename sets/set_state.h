// What the DLLs hold, told as the exchanges that give it from their
// originals: with one version's tables, each aspect's ranges form a
// permutation of the originals' bytes when only exchanges made it, and each
// cycle of that permutation is a chain of exchanges (A <-> B then B <-> C).
// A range whose bytes no chain of exchanges explains was changed by
// something else. Works on bytes already read; nothing here reads a file.
#ifndef ORVANEL_SETS_SET_STATE_H_
#define ORVANEL_SETS_SET_STATE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "io/whole_file.h"
#include "tables/record_list.h"
#include "tables/swap_set.h"

struct SetState {
  // In an order that applied to the originals gives the DLLs' bytes.
  std::vector<SetExchange> exchanges;
  // One line per range no exchange explains, e.g. "Amazon:Jab: Effects
  // changed by something else (d2game.dll bytes 0x140..0x14B)".
  std::vector<std::string> foreign;
  // Bytes outside every range of the version's tables differ (or a DLL's
  // size does): these tables cannot tell what changed them.
  bool changedOutside = false;
};

// now[n] and original[n] are file n of the version's files and its original
// (the backup, or the file itself when it has none); null when it is not
// known, which leaves that file's aspects out. Skills are named as the skill
// boxes show them (the first version's tables).
SetState StateAsExchanges(RecordList versions, RecordList classes, int32_t version,
                          const ByteBuffer* const now[2], const ByteBuffer* const original[2]);

// The name of the version at position for a set: its name, or the position
// when versions has none there.
std::string SetVersionName(RecordList versions, int32_t position);

#endif  // ORVANEL_SETS_SET_STATE_H_

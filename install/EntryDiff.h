#pragma once
// Which lines of an entry a hand edit changed since the install put it in.

#include <string>
#include <string_view>

#include "gamedata/DataFile.h"

namespace quorin {

// The lines of the entry of key in file that differ from installed (the
// entry's text from its key line on, as it was put in), one per line of the
// result, each begun with a line end and indented: "line 7, installed: ..."
// and "line 7, now: ...". At most a screenful; empty when nothing differs.
std::string ChangedEntryLines(const TDataText& file, std::string_view key, std::string_view installed);

} // namespace quorin

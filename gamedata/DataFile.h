#pragma once
// The game's three data files that a unit adds to: their encodings, their
// entries, and the edits that add, replace and take back one entry.
//
// descr_model_battle.txt and export_descr_unit.txt are 8-bit text and are
// held byte for byte; text/export_units.txt is UTF-16LE with a byte-order mark
// and is held as UTF-8 while it is edited. An entry is a key line (a "type"
// line, or a "{key}" line in the text file) with the lines up to the next key
// line; the comment lines right above a key line go with it, a remark set
// apart by a blank line does not. Offsets count bytes of the held text.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"

namespace quorin {

// A data file not in its encoding, or lines that are not its entries.
class EDataFileError : public Exception { using Exception::Exception; };

enum class TDataFileKind { ModelBattle, UnitDescr, UnitText };

// The file's path below the mod's root, with "/".
std::string_view DataFilePath(TDataFileKind kind);

struct TDataText {
    TDataFileKind Kind = TDataFileKind::ModelBattle;
    std::string Text;
    std::string LineEnd = "\r\n"; // the first line end the file uses; CR LF when it has none
};

// Raises EDataFileError naming the file when the bytes are not in the file's
// encoding.
TDataText DecodeDataFile(TDataFileKind kind, std::string_view bytes);
// The same, taking the bytes over: an 8-bit file's text is then its bytes, not a copy.
TDataText DecodeOwnedDataFile(TDataFileKind kind, std::string bytes);

// The unit text file can also be held as its bytes, each entry decoded only
// when it is wanted: a mod's file holds several entries for every unit.
// Raises what DecodeDataFile raises for the bytes, without decoding them.
void CheckUnitTextBytes(std::string_view bytes);
// The UTF-8 of checked bytes from one line start (or the first after the
// byte-order mark) to another, or to the end.
std::string DecodeUnitTextRange(std::string_view bytes, std::size_t from, std::size_t to);
std::string EncodeDataFile(const TDataText& file);

struct TEntry {
    // Offsets, not views: they stay valid when the text grows at its end.
    std::size_t KeyAt = 0;     // the key as written: KeyLength bytes from KeyAt
    std::size_t KeyLength = 0;
    std::size_t Start = 0;    // the first comment line right above its key line, or that line
    std::size_t KeyLine = 0;
    std::size_t ContentEnd = 0; // after the last line that is neither blank nor a comment
};

inline std::string_view ShownKey(std::string_view text, const TEntry& entry)
{
    return text.substr(entry.KeyAt, entry.KeyLength);
}

struct TEntryScan {
    std::vector<TEntry> Entries;
    // The first line that is neither blank, a comment nor in an entry.
    std::optional<std::string> StrayLine;
};

TEntryScan ScanEntries(TDataFileKind kind, std::string_view text);
// The entries of the unit text file held as checked bytes, found as
// ScanEntries finds them in its text; offsets count the bytes, the stray line is UTF-8.
TEntryScan ScanUnitTextBytes(std::string_view bytes);
// The key a "type" or "{key}" text names, normalised for comparing: lower
// case, inner white space as one space.
std::string NormalisedKey(std::string_view key);
// Whether key, as written, normalises to normalised.
bool IsKey(std::string_view key, std::string_view normalised);

// One entry put into a data file: enough to find it again and take it back.
struct TEntryEdit {
    std::string ShownKey;
    bool Replaced = false;
    std::size_t KeyOffset = 0; // where its key line starts within NewText
    std::string NewText;       // what was put in, line ends included
    std::string OldText;       // what it replaced; empty when added
};

struct TEntryPlan {
    std::vector<TEntryEdit> Edits; // in the order they were applied
    std::vector<std::string> ExistingKeys; // keys of lines that are already defined otherwise
    std::vector<std::string> SameKeys;     // keys already defined by exactly these lines
};

// Adds the entries of lines to file: each entry whose key the file already
// defines replaces that entry in place when replace is set, every other one is
// appended at the end, after a blank line. Without replace an existing key is
// only listed and the file is left as it was. An entry the file already holds
// exactly as given is only listed as the same: it needs no change. Raises EDataFileError when lines
// hold no entry or start with a line outside any entry.
TEntryPlan AddEntries(TDataText& file, const std::vector<std::string>& lines, bool replace);

// Where an edit's text sits in file now, or nothing when it is not there as
// it was put in (changed, moved into another entry, or gone).
std::optional<std::size_t> FindEdit(const TDataText& file, std::string_view shownKey, std::size_t keyOffset,
                                    std::size_t length, std::string_view digest);
// Puts oldText back over the edit at position. The key's entry as it is now is
// taken out when force is given and the edit cannot be found; false when
// neither finds anything to take back.
bool RevertEdit(TDataText& file, std::string_view shownKey, std::size_t keyOffset, std::size_t length,
                std::string_view digest, const std::string& oldText, bool force);

} // namespace quorin

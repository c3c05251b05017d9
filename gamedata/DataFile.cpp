#include "DataFile.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "base/Blake2b.h"
#include "base/Text.h"

namespace quorin {

namespace {

// The text file's comment mark, "¬", in UTF-8.
constexpr std::string_view TextCommentMark = "\xC2\xAC";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

enum class TLineType { Blank, Comment, Key, Content };

TLineType Classify(TDataFileKind kind, std::string_view line, std::string_view& key)
{
    std::string_view text = Trim(line);
    if (text.empty())
        return TLineType::Blank;
    if (kind == TDataFileKind::UnitText) {
        if (text.starts_with(TextCommentMark))
            return TLineType::Comment;
        auto close = text.find('}');
        if (text.front() == '{' && close != std::string_view::npos) {
            key = text.substr(1, close - 1);
            return TLineType::Key;
        }
        return TLineType::Content;
    }
    if (text.front() == ';')
        return TLineType::Comment;
    std::size_t word = 0;
    while (word < text.size() && !IsSpace(text[word]))
        ++word;
    if (word == 4 && LowerCaseText(text.substr(0, 4)) == "type") {
        std::string_view rest = text.substr(4);
        rest = Trim(rest.substr(0, rest.find(';')));
        if (!rest.empty()) {
            key = rest;
            return TLineType::Key;
        }
    }
    return TLineType::Content;
}

// Calls visit(start, end, next) for each line: end before its line end, next after it.
template <typename TVisit>
void ForEachLine(std::string_view text, std::size_t from, TVisit visit)
{
    std::size_t start = from;
    while (start < text.size()) {
        std::size_t newline = text.find('\n', start);
        std::size_t next = newline == std::string_view::npos ? text.size() : newline + 1;
        std::size_t end = newline == std::string_view::npos ? text.size() : newline;
        if (end > start && text[end - 1] == '\r')
            --end;
        if (!visit(start, end, next))
            return;
        start = next;
    }
}

bool EndsWithBlankLine(std::string_view text)
{
    if (text.empty() || text.back() != '\n')
        return false;
    text.remove_suffix(1);
    std::size_t lineStart = text.rfind('\n');
    lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
    return Trim(text.substr(lineStart)).empty();
}

// Writers into buffers sized for the longest form; the caller trims them.
char* PutUtf8(char* out, std::uint32_t code)
{
    if (code < 0x80) {
        *out++ = static_cast<char>(code);
    } else if (code < 0x800) {
        *out++ = static_cast<char>(0xC0 | (code >> 6));
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (code >> 12));
        *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (code >> 18));
        *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    }
    return out;
}

char* PutUtf16(char* out, std::uint32_t unit)
{
    *out++ = static_cast<char>(unit & 0xFF);
    *out++ = static_cast<char>(unit >> 8);
    return out;
}

// The next code point of UTF-8 text, or nothing when the bytes there are not
// a well-formed, shortest-form sequence.
std::optional<std::uint32_t> NextCodePoint(std::string_view text, std::size_t& at)
{
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    std::uint8_t lead = byte(at);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + length > text.size())
        return std::nullopt;
    std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return std::nullopt;
        code = code << 6 | (byte(at + i) & 0x3F);
    }
    static constexpr std::uint32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < Smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return std::nullopt;
    at += static_cast<std::size_t>(length);
    return code;
}

std::uint32_t Utf16UnitAt(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at])) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 1])) << 8;
}

// The bytes of the UTF-16LE sequence at at: 2, 4 for a surrogate pair, 0 for a lone surrogate.
std::size_t Utf16SequenceBytes(std::string_view bytes, std::size_t at)
{
    const std::uint32_t unit = Utf16UnitAt(bytes, at);
    if (unit < 0xD800 || unit > 0xDFFF)
        return 2;
    const std::uint32_t low = unit <= 0xDBFF && at + 2 < bytes.size() ? Utf16UnitAt(bytes, at + 2) : 0;
    return low >= 0xDC00 && low <= 0xDFFF ? 4 : 0;
}

// Whether any of four UTF-16LE units is a surrogate, its high byte 0xD8 to
// 0xDF: a mod's text file is checked eight bytes at a time.
bool AnySurrogate(std::string_view units)
{
    std::uint64_t word = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, units.data(), sizeof word);
    } else {
        for (int i = 7; i >= 0; --i)
            word = word << 8 | static_cast<std::uint8_t>(units[static_cast<std::size_t>(i)]);
    }
    // A unit is 0 here where it is a surrogate; the bit trick finds a zero unit.
    const std::uint64_t x = (word & 0xF800F800F800F800ull) ^ 0xD800D800D800D800ull;
    return ((x - 0x0001000100010001ull) & ~x & 0x8000800080008000ull) != 0;
}

TDataText WithLineEnd(TDataText file)
{
    const std::size_t newline = file.Text.find('\n');
    if (newline != std::string::npos)
        file.LineEnd = newline > 0 && file.Text[newline - 1] == '\r' ? "\r\n" : "\n";
    return file;
}

} // namespace

std::string_view DataFilePath(TDataFileKind kind)
{
    switch (kind) {
    case TDataFileKind::ModelBattle: return "data/descr_model_battle.txt";
    case TDataFileKind::UnitDescr: return "data/export_descr_unit.txt";
    case TDataFileKind::UnitText: return "data/text/export_units.txt";
    }
    return {};
}

void CheckUnitTextBytes(std::string_view bytes)
{
    const std::string name(DataFilePath(TDataFileKind::UnitText));
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE' || bytes.size() % 2 != 0)
        throw EDataFileError(name + " is not UTF-16LE text with a byte-order mark");
    for (std::size_t i = 2; i < bytes.size();) {
        if (i + 8 <= bytes.size() && !AnySurrogate(bytes.substr(i, 8))) {
            i += 8;
            continue;
        }
        const std::size_t length = Utf16SequenceBytes(bytes, i);
        if (length == 0)
            throw EDataFileError(name + " is not valid UTF-16LE text: a lone surrogate at byte " + std::to_string(i));
        i += length;
    }
}

std::string DecodeUnitTextRange(std::string_view bytes, std::size_t from, std::size_t to)
{
    // Sized first, so that a large range is written once and not grown.
    std::size_t size = 0;
    for (std::size_t i = from; i < to; i += 2) {
        const std::uint32_t unit = Utf16UnitAt(bytes, i);
        // A pair's four bytes are counted at its first unit.
        size += unit < 0x80 ? 1 : unit < 0x800 ? 2 : unit < 0xD800 || unit > 0xDFFF ? 3 : unit <= 0xDBFF ? 4 : 0;
    }
    std::string text(size, '\0');
    char* out = text.data();
    for (std::size_t i = from; i < to; i += 2) {
        const std::uint32_t unit = Utf16UnitAt(bytes, i);
        if (unit < 0xD800 || unit > 0xDFFF) {
            out = PutUtf8(out, unit);
            continue;
        }
        out = PutUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (Utf16UnitAt(bytes, i + 2) - 0xDC00));
        i += 2;
    }
    return text;
}

TDataText DecodeDataFile(TDataFileKind kind, std::string_view bytes)
{
    if (kind == TDataFileKind::UnitText) {
        CheckUnitTextBytes(bytes);
        return WithLineEnd({kind, DecodeUnitTextRange(bytes, 2, bytes.size())});
    }
    return DecodeOwnedDataFile(kind, std::string(bytes));
}

TDataText DecodeOwnedDataFile(TDataFileKind kind, std::string bytes)
{
    if (kind == TDataFileKind::UnitText)
        return DecodeDataFile(kind, bytes);
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") || bytes.find('\0') != std::string::npos)
        throw EDataFileError(std::string(DataFilePath(kind)) + " is not 8-bit text (it looks like UTF-16)");
    return WithLineEnd({kind, std::move(bytes)});
}

std::string EncodeDataFile(const TDataText& file)
{
    if (file.Kind != TDataFileKind::UnitText)
        return file.Text;
    // Each byte of UTF-8 gives at most two bytes of UTF-16.
    std::string bytes(2 + file.Text.size() * 2, '\0');
    bytes[0] = '\xFF';
    bytes[1] = '\xFE';
    char* out = bytes.data() + 2;
    for (std::size_t at = 0; at < file.Text.size();) {
        auto byte = static_cast<std::uint8_t>(file.Text[at]);
        if (byte < 0x80) {
            out = PutUtf16(out, byte);
            ++at;
            continue;
        }
        auto code = NextCodePoint(file.Text, at);
        if (!code)
            throw EDataFileError("Text for " + std::string(DataFilePath(file.Kind)) +
                                " is not valid UTF-8 at byte " + std::to_string(at));
        if (*code >= 0x10000) {
            out = PutUtf16(out, 0xD800 + ((*code - 0x10000) >> 10));
            out = PutUtf16(out, 0xDC00 + ((*code - 0x10000) & 0x3FF));
        } else {
            out = PutUtf16(out, *code);
        }
    }
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
    return bytes;
}

std::string NormalisedKey(std::string_view key)
{
    std::string normal;
    bool space = false;
    for (char c : Trim(key)) {
        if (IsSpace(c)) {
            space = true;
            continue;
        }
        if (space)
            normal += ' ';
        space = false;
        normal += LowerAscii(c);
    }
    return normal;
}

bool IsKey(std::string_view key, std::string_view normalised)
{
    // NormalisedKey without the copy: scans of large files compare every key.
    std::size_t at = 0;
    bool space = false;
    for (char c : Trim(key)) {
        if (IsSpace(c)) {
            space = true;
            continue;
        }
        if (space && (at >= normalised.size() || normalised[at++] != ' '))
            return false;
        space = false;
        if (at >= normalised.size() || normalised[at++] != LowerAscii(c))
            return false;
    }
    return at == normalised.size();
}

namespace {

// What ScanEntries does with the lines of either form of the text:
// forEachLine(visit) calls visit(start, end, next) for each line,
// classify(start, end, keyAt, keyEnd) tells its type and, for a key line,
// where its trimmed key stands; stray(start, end) is the line as UTF-8.
template <typename TForEachLine, typename TClassify, typename TStray>
TEntryScan ScanLines(TForEachLine forEachLine, TClassify classify, TStray stray)
{
    TEntryScan scan;
    std::size_t attached = std::string_view::npos; // first of the comment lines right above
    forEachLine([&](std::size_t start, std::size_t end, std::size_t next) {
        std::size_t keyAt = 0, keyEnd = 0;
        switch (classify(start, end, keyAt, keyEnd)) {
        case TLineType::Blank:
            attached = std::string_view::npos; // a remark set apart by a blank line heads no entry
            break;
        case TLineType::Comment:
            if (attached == std::string_view::npos)
                attached = start;
            break;
        case TLineType::Key:
            scan.Entries.push_back(
                {keyAt, keyEnd - keyAt, attached == std::string_view::npos ? start : attached, start, next});
            attached = std::string_view::npos;
            break;
        case TLineType::Content:
            if (scan.Entries.empty() && !scan.StrayLine)
                scan.StrayLine = stray(start, end);
            if (!scan.Entries.empty())
                scan.Entries.back().ContentEnd = next;
            attached = std::string_view::npos;
            break;
        }
        return true;
    });
    return scan;
}

constexpr std::size_t Utf16Bom = 2;

bool IsSpaceUnit(std::uint32_t unit) { return unit < 0x80 && IsSpace(static_cast<char>(unit)); }

// ForEachLine over UTF-16LE bytes: a line ends at the unit 0x000A, which
// stands at an even offset.
template <typename TVisit>
void ForEachUtf16Line(std::string_view bytes, TVisit visit)
{
    std::size_t start = Utf16Bom;
    while (start < bytes.size()) {
        std::size_t newline = bytes.find('\n', start);
        while (newline != std::string_view::npos && (newline % 2 != 0 || bytes[newline + 1] != '\0'))
            newline = bytes.find('\n', newline + 1);
        const std::size_t next = newline == std::string_view::npos ? bytes.size() : newline + 2;
        std::size_t end = newline == std::string_view::npos ? bytes.size() : newline;
        if (end > start && Utf16UnitAt(bytes, end - 2) == '\r')
            end -= 2;
        if (!visit(start, end, next))
            return;
        start = next;
    }
}

// Classify for the units from start to end.
TLineType ClassifyUtf16(std::string_view bytes, std::size_t start, std::size_t end, std::size_t& keyAt,
                        std::size_t& keyEnd)
{
    auto trim = [&](std::size_t& from, std::size_t& to) {
        while (from < to && IsSpaceUnit(Utf16UnitAt(bytes, from)))
            from += 2;
        while (to > from && IsSpaceUnit(Utf16UnitAt(bytes, to - 2)))
            to -= 2;
    };
    trim(start, end);
    if (start == end)
        return TLineType::Blank;
    const std::uint32_t first = Utf16UnitAt(bytes, start);
    if (first == 0xAC) // "¬"
        return TLineType::Comment;
    if (first == '{')
        for (std::size_t at = start + 2; at < end; at += 2)
            if (Utf16UnitAt(bytes, at) == '}') {
                keyAt = start + 2;
                keyEnd = at;
                trim(keyAt, keyEnd);
                return TLineType::Key;
            }
    return TLineType::Content;
}

} // namespace

TEntryScan ScanEntries(TDataFileKind kind, std::string_view text)
{
    return ScanLines([&](auto visit) { ForEachLine(text, 0, visit); },
                     [&](std::size_t start, std::size_t end, std::size_t& keyAt, std::size_t& keyEnd) {
                         std::string_view key;
                         const TLineType type = Classify(kind, text.substr(start, end - start), key);
                         if (type == TLineType::Key) {
                             key = Trim(key);
                             keyAt = static_cast<std::size_t>(key.data() - text.data());
                             keyEnd = keyAt + key.size();
                         }
                         return type;
                     },
                     [&](std::size_t start, std::size_t end) { return std::string(text.substr(start, end - start)); });
}

TEntryScan ScanUnitTextBytes(std::string_view bytes)
{
    return ScanLines([&](auto visit) { ForEachUtf16Line(bytes, visit); },
                     [&](std::size_t start, std::size_t end, std::size_t& keyAt, std::size_t& keyEnd) {
                         return ClassifyUtf16(bytes, start, end, keyAt, keyEnd);
                     },
                     [&](std::size_t start, std::size_t end) { return DecodeUnitTextRange(bytes, start, end); });
}

namespace {

const TEntry* FindKey(const TEntryScan& scan, std::string_view text, const std::string& key)
{
    for (const auto& entry : scan.Entries)
        if (IsKey(ShownKey(text, entry), key))
            return &entry;
    return nullptr;
}

// True when the lines from position on, past blank and comment lines, start a
// new entry or end the text: nothing was added to the entry that ends there.
bool EntryEndsAt(TDataFileKind kind, std::string_view text, std::size_t position)
{
    bool ends = true;
    ForEachLine(text, position, [&](std::size_t start, std::size_t end, std::size_t) {
        std::string_view key;
        TLineType type = Classify(kind, text.substr(start, end - start), key);
        if (type == TLineType::Blank || type == TLineType::Comment)
            return true;
        ends = type == TLineType::Key;
        return false;
    });
    return ends;
}

std::string BlockName(TDataFileKind kind)
{
    return "The unit's lines for " + std::string(DataFilePath(kind));
}

} // namespace

TEntryPlan AddEntries(TDataText& file, const std::vector<std::string>& lines, bool replace)
{
    std::string block;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find_first_of("\r\n") != std::string::npos)
            throw EDataFileError(BlockName(file.Kind) + ": line " + std::to_string(i + 1) + " holds a line break");
        block += lines[i];
        block += file.LineEnd;
    }
    TEntryScan blockScan = ScanEntries(file.Kind, block);
    if (blockScan.StrayLine)
        throw EDataFileError(BlockName(file.Kind) + " start with a line outside any entry: \"" +
                            *blockScan.StrayLine + "\"");
    if (blockScan.Entries.empty())
        throw EDataFileError(BlockName(file.Kind) + (file.Kind == TDataFileKind::UnitText
                                                        ? " hold no {key} line"
                                                        : " hold no type line"));
    for (std::size_t i = 0; i < blockScan.Entries.size(); ++i) {
        std::string_view key = ShownKey(block, blockScan.Entries[i]);
        for (std::size_t j = 0; j < i; ++j)
            if (IsKey(key, NormalisedKey(ShownKey(block, blockScan.Entries[j]))))
                throw EDataFileError(BlockName(file.Kind) + " define " + std::string(key) + " twice");
    }

    TEntryPlan plan;
    bool appended = false;
    // Appending moves no entry, so the file is scanned again only after a replacement.
    TEntryScan fileScan = ScanEntries(file.Kind, file.Text);
    for (const auto& entry : blockScan.Entries) {
        std::string key(ShownKey(block, entry));
        std::string text = block.substr(entry.Start, entry.ContentEnd - entry.Start);
        std::size_t keyOffset = entry.KeyLine - entry.Start;
        if (const TEntry* existing = FindKey(fileScan, file.Text, NormalisedKey(key))) {
            std::string_view old(file.Text.data() + existing->Start, existing->ContentEnd - existing->Start);
            if (old == text) {
                plan.SameKeys.emplace_back(ShownKey(file.Text, *existing));
                continue;
            }
            plan.ExistingKeys.emplace_back(ShownKey(file.Text, *existing));
            if (!replace)
                continue;
            std::string oldText(old);
            file.Text.replace(existing->Start, existing->ContentEnd - existing->Start, text);
            plan.Edits.push_back({key, true, keyOffset, std::move(text), std::move(oldText)});
            fileScan = ScanEntries(file.Kind, file.Text);
            continue;
        }
        std::string prefix;
        if (!file.Text.empty() && file.Text.back() != '\n')
            prefix += file.LineEnd;
        // One blank line sets the unit's entries apart from what was there.
        if (!appended && !file.Text.empty() && !EndsWithBlankLine(file.Text + prefix))
            prefix += file.LineEnd;
        appended = true;
        text.insert(0, prefix);
        file.Text += text;
        plan.Edits.push_back({key, false, keyOffset + prefix.size(), std::move(text), {}});
    }
    return plan;
}

std::optional<std::size_t> FindEdit(const TDataText& file, std::string_view shownKey, std::size_t keyOffset,
                                    std::size_t length, std::string_view digest)
{
    std::string key = NormalisedKey(shownKey);
    for (const auto& entry : ScanEntries(file.Kind, file.Text).Entries) {
        if (!IsKey(ShownKey(file.Text, entry), key) || entry.KeyLine < keyOffset)
            continue;
        std::size_t start = entry.KeyLine - keyOffset;
        if (start + length > file.Text.size())
            continue;
        if (Blake2b256Hex(std::string_view(file.Text).substr(start, length)) == digest &&
            EntryEndsAt(file.Kind, file.Text, start + length))
            return start;
    }
    return std::nullopt;
}

bool RevertEdit(TDataText& file, std::string_view shownKey, std::size_t keyOffset, std::size_t length,
                std::string_view digest, const std::string& oldText, bool force)
{
    if (auto start = FindEdit(file, shownKey, keyOffset, length, digest)) {
        file.Text.replace(*start, length, oldText);
        return true;
    }
    if (!force)
        return false;
    TEntryScan scan = ScanEntries(file.Kind, file.Text);
    const TEntry* entry = FindKey(scan, file.Text, NormalisedKey(shownKey));
    if (!entry)
        return false;
    file.Text.replace(entry->Start, entry->ContentEnd - entry->Start, oldText);
    return true;
}

} // namespace quorin

#pragma once
// The game's data-file lines as the text blocks hold them: descr files
// ("keyword  value, value ; comment") and the unit text file ("{key} text").

#include <string>
#include <string_view>
#include <vector>

namespace quorin {

struct TDataLine {
    std::string Keyword;             // lower case
    std::vector<std::string> Values; // the rest split at commas, each trimmed
};

// The lines that hold a keyword: ";" starts a comment, blank lines are skipped.
std::vector<TDataLine> ParseDescrLines(const std::vector<std::string>& lines);

// The first line with keyword, or nullptr.
const TDataLine* FindLine(const std::vector<TDataLine>& lines, std::string_view keyword);

// The keys of the unit text file's entries, without braces and in lower
// case; "¬" starts a comment line.
std::vector<std::string> UnitTextKeys(const std::vector<std::string>& lines);

// Whether lines hold nothing but blanks and comments.
bool IsBlankBlock(const std::vector<std::string>& lines);

// Splits at commas and white space, dropping empty parts: "a, b c" gives a, b, c.
std::vector<std::string> SplitNames(std::string_view text);

} // namespace quorin

#pragma once
// Text helpers. Text is UTF-8 in std::string throughout the libraries.

#include <cstddef>
#include <string>
#include <string_view>

namespace quorin {

bool IsSevenBitAscii(std::string_view text);
// Well-formed UTF-8 as Unicode defines it: no overlong forms, no surrogates,
// nothing above U+10FFFF, no cut-off sequence.
bool IsValidUtf8(std::string_view text);
// Number of characters (code points) of UTF-8 text.
std::size_t Utf8Length(std::string_view text);
// The first maxChars characters of UTF-8 text.
std::string_view Utf8Prefix(std::string_view text, std::size_t maxChars);
// The longest start of UTF-8 text that takes at most maxBytes bytes and ends
// at a character boundary.
std::string_view Utf8PrefixBytes(std::string_view text, std::size_t maxBytes);
// Text fit for a terminal: control characters (C0 but the tab, DEL, C1) and
// bytes that are not UTF-8 are written as escapes (\x1B, \u009B, \xFF), so
// text from a file can neither move the cursor nor change the colours.
std::string EscapeControlCharacters(std::string_view text);
// Lower-cases Latin and Cyrillic letters (the letters of the Russian users'
// code page); everything else is left as it is.
std::string LowerCaseText(std::string_view text);

// What follows the last "\", ":" or "/" of a path, or the whole path.
std::string_view FileNamePart(std::string_view path);
// The text after the last "." of a file name when no separator follows that
// dot; empty otherwise. The dot is not part of the result.
std::string_view FileExtension(std::string_view path);

} // namespace quorin

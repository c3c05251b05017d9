#include "UnitSheet.h"

#include "base/Text.h"

namespace quorin {

std::vector<std::string> SplitTextLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(Utf8Prefix(text.substr(start, i - start), MaxLineLength));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    // The text after the last break is a line unless it is empty.
    if (start < text.size())
        lines.emplace_back(Utf8Prefix(text.substr(start), MaxLineLength));
    return lines;
}

} // namespace quorin

#include "DataLines.h"

#include "base/Text.h"

namespace quorin {

namespace {

constexpr std::string_view Blanks = " \t\r\n";
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view TextCommentMark = "\xC2\xAC"; // "¬"

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

std::string_view WithoutBom(std::string_view line)
{
    return line.starts_with(Utf8Bom) ? line.substr(Utf8Bom.size()) : line;
}

} // namespace

std::vector<TDataLine> ParseDescrLines(const std::vector<std::string>& lines)
{
    std::vector<TDataLine> parsed;
    for (std::string_view line : lines) {
        line = Trim(WithoutBom(line).substr(0, WithoutBom(line).find(';')));
        if (line.empty())
            continue;
        const auto end = std::min(line.find_first_of(Blanks), line.size());
        TDataLine data{LowerCaseText(line.substr(0, end)), {}};
        std::string_view rest = Trim(line.substr(end));
        while (!rest.empty()) {
            const auto comma = rest.find(',');
            data.Values.emplace_back(Trim(rest.substr(0, comma)));
            if (comma == std::string_view::npos)
                break;
            rest = rest.substr(comma + 1);
            if (Trim(rest).empty())
                data.Values.emplace_back(); // "a," holds an empty last value
        }
        parsed.push_back(std::move(data));
    }
    return parsed;
}

const TDataLine* FindLine(const std::vector<TDataLine>& lines, std::string_view keyword)
{
    for (const TDataLine& line : lines)
        if (line.Keyword == keyword)
            return &line;
    return nullptr;
}

std::vector<std::string> UnitTextKeys(const std::vector<std::string>& lines)
{
    std::vector<std::string> keys;
    for (std::string_view line : lines) {
        line = Trim(WithoutBom(line));
        if (!line.starts_with('{'))
            continue;
        const auto close = line.find('}');
        if (close != std::string_view::npos)
            keys.push_back(LowerCaseText(Trim(line.substr(1, close - 1))));
    }
    return keys;
}

bool IsBlankBlock(const std::vector<std::string>& lines)
{
    for (std::string_view line : lines) {
        line = Trim(WithoutBom(line));
        if (!line.empty() && !line.starts_with(';') && !line.starts_with(TextCommentMark))
            return false;
    }
    return true;
}

std::vector<std::string> SplitNames(std::string_view text)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = std::min(text.find_first_of(", \t\r\n", start), text.size());
        if (end > start)
            names.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

} // namespace quorin

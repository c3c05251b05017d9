#include "EntryDiff.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quorin {

namespace {

constexpr std::size_t MostLinesShown = 12;

std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    while (!lines.empty() && lines.back().find_first_not_of(" \t") == std::string_view::npos)
        lines.pop_back();
    return lines;
}

struct TLineChange {
    std::size_t Line; // in the file as it is now, from 1
    bool Installed;   // the installed line, else the line now
    std::string_view Text;
};

// A shortest edit from installed to now by their longest common lines; an
// entry holds tens of lines, so the table stays small.
std::vector<TLineChange> Differences(const std::vector<std::string_view>& installed,
                                     const std::vector<std::string_view>& now, std::size_t firstLine)
{
    std::size_t n = installed.size(), m = now.size();
    std::vector<std::vector<std::size_t>> common(n + 1, std::vector<std::size_t>(m + 1, 0));
    for (std::size_t i = n; i-- > 0;)
        for (std::size_t j = m; j-- > 0;)
            common[i][j] = installed[i] == now[j] ? common[i + 1][j + 1] + 1
                                                  : std::max(common[i + 1][j], common[i][j + 1]);
    std::vector<TLineChange> changes;
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && installed[i] == now[j]) {
            ++i, ++j;
        } else if (i < n && (j == m || common[i + 1][j] >= common[i][j + 1])) {
            changes.push_back({firstLine + j, true, installed[i]});
            ++i;
        } else {
            changes.push_back({firstLine + j, false, now[j]});
            ++j;
        }
    }
    return changes;
}

} // namespace

std::string ChangedEntryLines(const TDataText& file, std::string_view key, std::string_view installed)
{
    std::string normalised = NormalisedKey(key);
    const TEntry* entry = nullptr;
    TEntryScan scan = ScanEntries(file.Kind, file.Text);
    for (const auto& candidate : scan.Entries)
        if (IsKey(ShownKey(file.Text, candidate), normalised))
            entry = &candidate;
    if (!entry)
        return "\n      the entry is no longer in the file";
    std::string_view text = file.Text;
    std::size_t firstLine = 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + entry->KeyLine, '\n'));
    auto changes = Differences(Lines(installed), Lines(text.substr(entry->KeyLine, entry->ContentEnd - entry->KeyLine)),
                               firstLine);
    std::string lines;
    for (std::size_t k = 0; k < changes.size() && k < MostLinesShown; ++k)
        lines += "\n      line " + std::to_string(changes[k].Line) + (changes[k].Installed ? ", installed: " : ", now:       ") +
                 std::string(changes[k].Text);
    if (changes.size() > MostLinesShown)
        lines += "\n      and " + std::to_string(changes.size() - MostLinesShown) + " more changed lines";
    return lines;
}

} // namespace quorin

#include "ModCommands.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "CommandBoundary.h"
#include "check/CheckMod.h"
#include "extract/Extract.h"
#include "gamedata/ModData.h"

namespace quorin {

namespace {

std::string CountText(std::size_t count, std::string_view word)
{
    return std::to_string(count) + " " + std::string(word) + (count == 1 ? "" : "s");
}

void PrintModText(const TModCheck& check, std::ostream& out)
{
    std::size_t counts[3] = {};
    for (const TModFinding& item : check.Findings) {
        const TFinding& finding = item.Finding;
        ++counts[static_cast<int>(finding.Severity)];
        out << item.DataFile;
        if (item.Line > 0)
            out << ':' << item.Line;
        out << ": " << SeverityName(finding.Severity) << ": ";
        if (!item.Block.empty())
            out << EscapeControlCharacters(item.Block) << ": ";
        out << EscapeControlCharacters(finding.Message);
        if (!finding.File.empty() && finding.Message.find(finding.File) == std::string::npos)
            out << " (" << EscapeControlCharacters(finding.File) << ')';
        out << " [" << finding.Code << "]\n";
    }
    out << CountText(check.Units, "unit") << ", " << CountText(check.ModelBlocks, "model block") << ": "
        << CountText(counts[0], "error") << ", " << CountText(counts[1], "warning") << ", "
        << CountText(counts[2], "note") << '\n';
}

void PrintModJson(const TModCheck& check, std::ostream& out)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    std::size_t counts[3] = {};
    for (const TModFinding& item : check.Findings) {
        const TFinding& finding = item.Finding;
        ++counts[static_cast<int>(finding.Severity)];
        nlohmann::ordered_json entry;
        entry["severity"] = SeverityName(finding.Severity);
        entry["code"] = finding.Code;
        if (!item.Block.empty())
            entry["block"] = item.Block;
        entry["data_file"] = item.DataFile;
        if (item.Line > 0)
            entry["line"] = item.Line;
        if (!finding.File.empty())
            entry["file"] = finding.File;
        entry["message"] = finding.Message;
        list.push_back(std::move(entry));
    }
    nlohmann::ordered_json summary{{"units", check.Units},
                                   {"model_blocks", check.ModelBlocks},
                                   {"errors", counts[0]},
                                   {"warnings", counts[1]},
                                   {"notes", counts[2]}};
    out << nlohmann::ordered_json{{"findings", list}, {"summary", summary}}.dump(
               2, ' ', false, nlohmann::json::error_handler_t::replace)
        << '\n';
}

} // namespace

int RunExtract(const std::string& type, const std::string& mod, const std::string& folder, std::ostream& out,
               std::ostream& err)
{
    return Guarded(err, [&] {
        const TExtractResult result = ExtractUnit(mod, type, folder);
        out << "Wrote " << folder << "/unit.toml and " << CountText(result.Files.size(), "file") << '\n';
        for (const std::string& note : result.Notes)
            out << "note: " << EscapeControlCharacters(note) << '\n';
        for (const TExtractGap& gap : result.Gaps)
            err << "missing: " << EscapeControlCharacters(gap.What) << "; looked for "
                << EscapeControlCharacters(JoinedNames(gap.Looked)) << '\n';
        if (!result.Gaps.empty())
            err << CountText(result.Gaps.size(), "part") << " not found; quorin check " << folder
                << "/unit.toml names them too\n";
        return 0;
    });
}

int RunListUnits(const std::string& mod, std::ostream& out, std::ostream& err)
{
    return Guarded(err, [&] {
        for (const TUnitListing& unit : ListUnits(mod))
            out << EscapeControlCharacters(unit.Type) << '\t' << EscapeControlCharacters(unit.Dictionary) << '\t'
                << EscapeControlCharacters(unit.Name) << '\t' << EscapeControlCharacters(unit.Model) << '\t'
                << EscapeControlCharacters(JoinedNames(unit.ModelFiles)) << '\n';
        return 0;
    });
}

int RunCheckMod(const std::string& mod, bool json, std::ostream& out, std::ostream& err)
{
    return Guarded(err, [&] {
        const TModCheck check = CheckMod(mod);
        if (json)
            PrintModJson(check, out);
        else
            PrintModText(check, out);
        bool error = false;
        for (const TModFinding& item : check.Findings)
            error = error || item.Finding.Severity == TSeverity::Error;
        return error ? 1 : 0;
    });
}

} // namespace quorin

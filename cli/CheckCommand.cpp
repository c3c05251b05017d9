#include "CheckCommand.h"

#include <ostream>

#include <nlohmann/json.hpp>

#include "CommandBoundary.h"
#include "base/Text.h"
#include "check/CheckUnit.h"
#include "package/Manifest.h"
#include "package/PackageReader.h"

namespace quorin {

namespace {

std::string CountText(std::size_t count, std::string_view word)
{
    return std::to_string(count) + " " + std::string(word) + (count == 1 ? "" : "s");
}

// What mends a finding, where one command does.
std::string Remedy(const TFinding& finding)
{
    if (finding.Code == "texture-mipmaps" && !finding.File.empty())
        return "; quorin picture " + finding.File + " " + finding.File + " adds them";
    return {};
}

void PrintSummary(const TFindings& findings, std::ostream& out)
{
    std::size_t counts[3] = {};
    for (const TFinding& finding : findings)
        ++counts[static_cast<int>(finding.Severity)];
    if (findings.empty()) {
        out << "No findings: the unit checks clean\n";
        return;
    }
    out << CountText(counts[0], "error") << ", " << CountText(counts[1], "warning") << ", "
        << CountText(counts[2], "note") << '\n';
}

void PrintJson(const TFindings& findings, std::ostream& out)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const TFinding& finding : findings) {
        nlohmann::ordered_json item;
        item["severity"] = SeverityName(finding.Severity);
        item["code"] = finding.Code;
        item["field"] = finding.Field;
        item["message"] = finding.Message + Remedy(finding);
        if (finding.Row > 0)
            item["row"] = finding.Row;
        if (!finding.File.empty())
            item["file"] = finding.File;
        list.push_back(std::move(item));
    }
    // Replaced, not refused: a file name from a package need not be UTF-8.
    out << nlohmann::ordered_json{{"findings", list}}.dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
        << '\n';
}

} // namespace

void PrintFindings(const TFindings& findings, const std::string& source, bool withNotes, std::ostream& out)
{
    for (const TFinding& finding : findings) {
        if (finding.Severity == TSeverity::Note && !withNotes)
            continue;
        out << EscapeControlCharacters(finding.File.empty() ? source : finding.File) << ": "
            << SeverityName(finding.Severity) << ": " << EscapeControlCharacters(finding.Message + Remedy(finding))
            << " [" << finding.Code << "]\n";
    }
}

int RunCheck(const std::string& source, bool json, std::ostream& out, std::ostream& err)
{
    return Guarded(err, [&] {
        const bool manifest = LowerCaseText(FileExtension(source)) == "toml";
        const TFindings findings = manifest ? CheckUnit(LoadManifest(source)) : CheckPackage(ReadPackage(source));
        if (json) {
            PrintJson(findings, out);
        } else {
            PrintFindings(findings, source, true, out);
            PrintSummary(findings, out);
        }
        return HasError(findings) ? 1 : 0;
    });
}

} // namespace quorin

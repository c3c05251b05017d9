#include "UnitTargets.h"

#include <map>

#include "InstallError.h"
#include "gamedata/DataFile.h"
#include "base/Text.h"

namespace quorin {

namespace {

constexpr std::size_t MaxNameLength = 64;

std::string_view Trim(std::string_view text)
{
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

// A line's keyword (lower case) and the rest, without its comment.
std::pair<std::string, std::string_view> Keyword(std::string_view line)
{
    line = Trim(line.substr(0, line.find(';')));
    std::size_t end = line.find_first_of(" \t");
    if (end == std::string_view::npos)
        return {LowerCaseText(line), {}};
    return {LowerCaseText(line.substr(0, end)), Trim(line.substr(end))};
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string FirstKey(TDataFileKind kind, const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines)
        text += line + "\n";
    auto scan = ScanEntries(kind, text);
    return scan.Entries.empty() ? std::string() : std::string(ShownKey(text, scan.Entries.front()));
}

// The folder names of the game's own cards: mercenaries' INFO cards lie in
// "merc", their #unit cards in "mercs", whichever of the two the row names.
std::pair<std::string, std::string> CardFolders(const std::string& faction)
{
    std::string lower = LowerCaseText(faction);
    if (lower == "merc" || lower == "mercs")
        return {"merc", "mercs"};
    return {faction, faction};
}

} // namespace

bool IsPlainName(std::string_view name)
{
    if (name.empty() || name.size() > MaxNameLength)
        return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'))
            return false;
    return true;
}

std::string ModPath(std::string_view path)
{
    std::string normal(Trim(path));
    for (char& c : normal)
        if (c == '\\')
            c = '/';
    if (normal.empty() || normal.front() == '/' || normal.find(':') != std::string::npos)
        return {};
    std::size_t start = 0;
    int parts = 0;
    while (start <= normal.size()) {
        std::size_t slash = normal.find('/', start);
        std::string_view part = std::string_view(normal).substr(start, slash == std::string::npos ? std::string::npos
                                                                                                  : slash - start);
        if (part.empty() || part == "." || part == "..")
            return {};
        for (char c : part)
            if (static_cast<unsigned char>(c) < 0x20 || std::string_view("*?\"<>|").find(c) != std::string_view::npos)
                return {};
        if (parts++ == 0 && LowerCaseText(part) != "data")
            return {};
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    // "data" alone is the folder, not a file in it.
    return parts < 2 ? std::string() : normal;
}

TUnitTargets UnitTargets(const TPackage& package)
{
    TUnitTargets targets;
    std::vector<std::string> problems;

    std::string modelPath;
    bool modelLine = false;
    std::map<std::string, std::string> textures; // lower-case faction -> path as written
    for (const auto& line : package.ModelBattleLines) {
        auto [keyword, rest] = Keyword(line);
        if (!modelLine && (keyword == "model_flexi" || keyword == "model_flexi_m" || keyword == "model_flexi_c")) {
            modelLine = true;
            modelPath = std::string(Trim(rest.substr(0, rest.find(','))));
        } else if (keyword == "texture" && rest.find(',') != std::string_view::npos) {
            auto comma = rest.find(',');
            textures.emplace(LowerCaseText(Trim(rest.substr(0, comma))), std::string(Trim(rest.substr(comma + 1))));
        }
    }
    for (const auto& line : package.UnitDescrLines) {
        auto [keyword, rest] = Keyword(line);
        if (keyword == "dictionary") {
            targets.Dictionary = std::string(rest.substr(0, rest.find_first_of(" \t")));
            break;
        }
    }
    targets.ModelType = FirstKey(TDataFileKind::ModelBattle, package.ModelBattleLines);
    targets.UnitType = FirstKey(TDataFileKind::UnitDescr, package.UnitDescrLines);

    if (targets.ModelType.empty())
        problems.push_back("The model description has no type line");
    if (targets.UnitType.empty())
        problems.push_back("The unit description has no type line");
    if (!modelLine) {
        problems.push_back("The model description has no model_flexi, model_flexi_m or model_flexi_c line, "
                           "so the model has no destination");
    } else if (std::string path = ModPath(modelPath); path.empty()) {
        problems.push_back("The model path " + Quoted(modelPath) + " does not lie inside the mod's data folder");
    } else {
        targets.Files.push_back({"model", path, &package.Model});
    }

    for (const auto& row : package.TextureRows) {
        if (!IsPlainName(row.Faction)) {
            problems.push_back("The texture row's faction " + Quoted(row.Faction) + " is not a plain name");
            continue;
        }
        auto line = textures.find(LowerCaseText(row.Faction));
        if (line == textures.end()) {
            problems.push_back("The texture of " + row.Faction + " has no texture line for " + row.Faction +
                               " in the model description");
            continue;
        }
        std::string path = ModPath(line->second);
        if (path.empty())
            problems.push_back("The texture path " + Quoted(line->second) + " of " + row.Faction +
                               " does not lie inside the mod's data folder");
        else
            targets.Files.push_back({"texture " + row.Faction, path + ".dds", &row.Texture});
    }

    if (targets.Dictionary.empty())
        problems.push_back("The unit description has no dictionary line, so the cards and texts have no name");
    else if (!IsPlainName(targets.Dictionary))
        problems.push_back("The dictionary name " + Quoted(targets.Dictionary) + " is not a plain name");
    else
        for (const auto& row : package.UiCardRows) {
            if (!IsPlainName(row.Faction)) {
                problems.push_back("The card row's faction " + Quoted(row.Faction) + " is not a plain name");
                continue;
            }
            auto [infoFolder, unitFolder] = CardFolders(row.Faction);
            targets.Files.push_back({"INFO card " + row.Faction,
                                     "data/ui/unit_info/" + infoFolder + "/" + targets.Dictionary + "_info.tga",
                                     &row.InfoCard});
            targets.Files.push_back({"#unit card " + row.Faction,
                                     "data/ui/units/" + unitFolder + "/#" + targets.Dictionary + ".tga",
                                     &row.UnitCard});
        }

    // A part over a data file would be undone by the entries written to it.
    for (const auto& file : targets.Files)
        for (auto kind : {TDataFileKind::ModelBattle, TDataFileKind::UnitDescr, TDataFileKind::UnitText})
            if (LowerCaseText(file.Destination) == DataFilePath(kind))
                problems.push_back("The " + file.What + " would go over the data file " + file.Destination);

    // Two parts bound for one place must be the same bytes.
    for (std::size_t i = 0; i < targets.Files.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (LowerCaseText(targets.Files[i].Destination) == LowerCaseText(targets.Files[j].Destination) &&
                *targets.Files[i].Bytes != *targets.Files[j].Bytes) {
                problems.push_back("The " + targets.Files[j].What + " and the " + targets.Files[i].What +
                                   " both go to " + targets.Files[i].Destination + " but differ");
                break;
            }

    if (!problems.empty()) {
        std::string message = "Cannot work out where the unit goes:";
        for (const auto& problem : problems)
            message += "\n  " + problem;
        throw EInstallError(message);
    }
    return targets;
}

} // namespace quorin

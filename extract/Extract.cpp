#include "Extract.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <utility>

#include "base/FileSystem.h"
#include "base/Text.h"
#include "gamedata/ModData.h"
#include "package/Manifest.h"

namespace quorin {

namespace fs = std::filesystem;

namespace {

std::string ModName(const std::string& root)
{
    fs::path path = fs::absolute(PathFromUtf8(root)).lexically_normal();
    return PathToUtf8(path.has_filename() ? path.filename() : path.parent_path().filename());
}

struct TCopy {
    std::string From; // below the mod's root, as the disk spells it
    std::string To;   // below the folder written
};

// What the extraction gathers before anything is written.
class TUnitGatherer {
public:
    TUnitGatherer(const TModFolder& mod, const TModData& data, const TUnitBlock& unit)
        : mod_(mod), data_(data), unit_(unit)
    {}

    TExtractResult Gather(std::vector<TCopy>& copies)
    {
        TUnitSheet& sheet = result_.Sheet;
        sheet.UnitName = data_.TextValue(unit_.Dictionary);
        if (sheet.UnitName.empty())
            sheet.UnitName = unit_.Key;
        sheet.SourceMod = ModName(mod_.Root());
        sheet.UnitDescrLines = unit_.Lines;
        GatherModel();
        GatherTexts();
        GatherCards();
        copies = std::move(copies_);
        for (const TCopy& copy : copies)
            result_.Files.push_back(copy.To);
        return std::move(result_);
    }

private:
    // The file below the mod's root, or a gap naming where it was looked for.
    std::optional<std::string> FindFile(const std::string& what, const std::vector<std::string>& places)
    {
        auto found = mod_.FindFirst(places);
        if (!found)
            result_.Gaps.push_back({what, places});
        return found;
    }

    // The path in the folder written for a file the data files name; the
    // file is copied there when the mod has it.
    std::string Take(const std::optional<std::string>& found, const std::string& named)
    {
        if (found) {
            const bool copied = std::any_of(copies_.begin(), copies_.end(), [&](const TCopy& copy) {
                return LowerCaseText(copy.To) == LowerCaseText(named);
            });
            if (!copied)
                copies_.push_back({*found, named});
        }
        return named;
    }

    void GatherModel()
    {
        TUnitSheet& sheet = result_.Sheet;
        sheet.ModelName = unit_.Soldier;
        const TModelBlock* model = unit_.Soldier.empty() ? nullptr : data_.FindModel(unit_.Soldier);
        if (!model) {
            result_.Gaps.push_back(
                {"model block " + unit_.Soldier, {std::string(DataFilePath(TDataFileKind::ModelBattle))}});
            return;
        }
        sheet.ModelName = model->Key;
        sheet.ModelBattleLines = LinesInMod(model->Lines);
        sheet.Skeletons = model->Skeletons;
        if (!model->Models.empty()) {
            const std::string named = PathInMod(model->Models.front());
            sheet.ModelFile = Take(FindFile("model " + named, {named}), named);
        }
        for (std::size_t i = 1; i < model->Models.size(); ++i)
            result_.Notes.push_back("The package holds the most detailed model only; the model block also names " +
                                    PathInMod(model->Models[i]));
        for (const TModTexture& texture : model->Textures) {
            const std::vector<std::string> places = TexturePlaces(texture.Path);
            const auto found = FindFile("texture " + texture.Faction, places);
            // The installer puts a texture at its line's path with ".dds" added.
            sheet.TextureRows.push_back({texture.Faction, Take(found, places.front())});
        }
    }

    // The block's lines with the paths that go through the mod's own folder
    // named from its root, as the installer and the mod it goes to take them.
    std::vector<std::string> LinesInMod(const std::vector<std::string>& lines)
    {
        std::vector<std::string> result;
        for (const std::string& line : lines) {
            const auto parsed = ParseDescrLines({line});
            std::string changed = line;
            if (!parsed.empty() &&
                (parsed.front().Keyword == "texture" || parsed.front().Keyword.starts_with("model_flexi")))
                for (const std::string& value : parsed.front().Values)
                    if (const std::string path = PathInMod(value); path != DataPath(value))
                        if (const auto at = changed.find(value); at != std::string::npos) {
                            changed.replace(at, value.size(), path);
                            result_.Notes.push_back("The model block names " + value +
                                                    " from the game's folder; "
                                                    "the unit names it " +
                                                    path + ", from the mod's root");
                        }
            result.push_back(std::move(changed));
        }
        return result;
    }

    void GatherTexts()
    {
        for (const std::string& key : TextKeys(unit_.Dictionary)) {
            if (const auto lines = data_.FindText(key))
                result_.Sheet.UnitTextLines.insert(result_.Sheet.UnitTextLines.end(), lines->begin(), lines->end());
            else
                result_.Gaps.push_back({"text {" + key + "}", {std::string(DataFilePath(TDataFileKind::UnitText))}});
        }
    }

    void GatherCards()
    {
        bool mercRow = false;
        for (const std::string& owner : unit_.Owners) {
            const std::vector<TCardPlace> places = CardPlaces(unit_, owner);
            const TCardPlace* at = &places.front();
            std::optional<std::string> info, unit;
            for (const TCardPlace& place : places) {
                info = mod_.Find(place.Info);
                unit = mod_.Find(place.Unit);
                at = &place;
                if (info || unit)
                    break;
            }
            if (!info && !unit)
                at = &places.front();
            if (at->Folder == "merc" && std::exchange(mercRow, true))
                continue; // one row serves every owner whose cards are the mercenaries'
            const std::string faction = at->Folder == "merc" ? "merc" : owner;
            auto looked = [&](std::string TCardPlace::*file) {
                std::vector<std::string> paths;
                for (const TCardPlace& place : places)
                    paths.push_back(place.*file);
                return paths;
            };
            if (!info)
                result_.Gaps.push_back({"INFO card " + owner, looked(&TCardPlace::Info)});
            if (!unit)
                result_.Gaps.push_back({"#unit card " + owner, looked(&TCardPlace::Unit)});
            result_.Sheet.UiCardRows.push_back({faction, Take(info, at->Info), Take(unit, at->Unit)});
        }
    }

    const TModFolder& mod_;
    const TModData& data_;
    const TUnitBlock& unit_;
    TExtractResult result_;
    std::vector<TCopy> copies_;
};

std::string ManifestHeader(const std::string& type, const TExtractResult& result)
{
    std::string text = "# The unit " + type + ", taken out of " + result.Sheet.SourceMod +
                       ".\n# Build it with:  quorin build unit.toml -o unit.quorin\n";
    for (const TExtractGap& gap : result.Gaps) {
        text += "# Missing: " + gap.What + "; looked for " + JoinedNames(gap.Looked) + "\n";
    }
    for (const std::string& note : result.Notes)
        text += "# Note: " + note + "\n";
    return text + "\n";
}

// Into the folder of its own, which appears whole by a rename, as the copied files do.
void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    if (!file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !file.flush())
        throw EExtractError("Cannot write " + PathToUtf8(path));
}

fs::path TemporaryBeside(const fs::path& folder)
{
    std::random_device random;
    return folder.parent_path() / ("." + PathToUtf8(folder.filename()) + ".part-" + std::to_string(random()));
}

// Writes the files and the manifest into a folder of its own, then gives it
// the folder's name, so a failure leaves nothing behind.
void WriteFolder(const TModFolder& mod, const std::vector<TCopy>& copies, const std::string& manifest,
                 const std::string& folder)
{
    const fs::path target = fs::absolute(PathFromUtf8(folder)).lexically_normal();
    std::error_code error;
    if (fs::exists(target, error) && !(fs::is_directory(target, error) && fs::is_empty(target, error)))
        throw EExtractError(folder + " already exists and is not empty");
    const fs::path temporary = TemporaryBeside(target);
    try {
        fs::create_directories(temporary);
        for (const TCopy& copy : copies) {
            const fs::path to = temporary / PathFromUtf8(copy.To);
            fs::create_directories(to.parent_path());
            fs::copy_file(PathFromUtf8(mod.PathOf(copy.From)), to);
        }
        WriteFile(temporary / "unit.toml", manifest);
        if (fs::exists(target, error))
            fs::remove(target);
        fs::rename(temporary, target);
    } catch (const std::exception& e) {
        fs::remove_all(temporary, error);
        throw EExtractError("Cannot write " + folder + ": " + e.what());
    }
}

// Raises the unit file's failure when it holds no unit at all.
void RequireUnits(const TModData& data)
{
    for (const TDataFileFailure& failure : data.Failures)
        if (failure.File == DataFilePath(TDataFileKind::UnitDescr) && data.UnitEntries == 0)
            throw EExtractError(failure.Message);
}

} // namespace

TExtractResult ExtractUnit(const std::string& modRoot, const std::string& type, const std::string& folder)
{
    const TModFolder mod(modRoot);
    const TModData data(mod, std::string_view(type));
    RequireUnits(data);
    const TUnitBlock* unit = data.FindUnit(type);
    if (!unit)
        throw EExtractError("The mod has no unit of type \"" + type + "\" in " +
                            std::string(DataFilePath(TDataFileKind::UnitDescr)));
    std::vector<TCopy> copies;
    TExtractResult result = TUnitGatherer(mod, data, *unit).Gather(copies);
    WriteFolder(mod, copies, ManifestHeader(unit->Key, result) + SheetManifestText(result.Sheet, {}), folder);
    return result;
}

std::vector<TUnitListing> ListUnits(const std::string& modRoot)
{
    const TModFolder mod(modRoot);
    const TModData data(mod);
    RequireUnits(data);
    std::vector<TUnitListing> units;
    for (const TUnitBlock& unit : data.Units) {
        TUnitListing listing{unit.Key, unit.Dictionary, data.TextValue(unit.Dictionary), unit.Soldier, {}};
        if (const TModelBlock* model = data.FindModel(unit.Soldier))
            listing.ModelFiles = model->Models;
        units.push_back(std::move(listing));
    }
    return units;
}

} // namespace quorin

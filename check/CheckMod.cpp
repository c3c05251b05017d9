#include "CheckMod.h"

#include <set>

#include "Checks.h"
#include "FindingTexts.h"
#include "gamedata/ModData.h"

namespace quorin {

namespace {

// The mod's files by their paths below its root.
class TModFiles : public TUnitFiles {
public:
    explicit TModFiles(const TModFolder& mod) : mod_(mod) {}
    TFileHead Head(const std::string& path, std::size_t maxBytes) const override
    {
        return disk_.Head(mod_.PathOf(path), maxBytes);
    }
    // The checks are given only what TModFolder::Find found: regular files.
    bool Rereadable(const std::string& /*path*/) const override { return true; }

private:
    const TModFolder& mod_;
    TDiskFiles disk_;
};

class TModChecker {
public:
    explicit TModChecker(const TModFolder& mod) : mod_(mod), files_(mod), data_(mod) {}

    TModCheck Run()
    {
        for (const TDataFileFailure& failure : data_.Failures)
            result_.Findings.push_back(
                {MakeFinding(TCheck::ModDataFile, {failure.File, failure.Message}), {}, failure.File, 0});
        for (const TModelBlock& model : data_.Models)
            CheckModelBlock(model);
        for (const TUnitBlock& unit : data_.Units)
            CheckUnitBlock(unit);
        result_.Units = data_.Units.size();
        result_.ModelBlocks = data_.Models.size();
        return std::move(result_);
    }

private:
    // Keeps the block's findings but those an earlier block made of the same
    // file: blocks share textures and cards.
    void Keep(TFindings& findings, const std::string& block, TDataFileKind file, int line)
    {
        std::vector<std::pair<std::string, std::string>> mine;
        for (TFinding& finding : findings) {
            if (finding.Code == "model-counts")
                continue; // a figure of every model, not a problem
            if (!finding.File.empty()) {
                std::pair<std::string, std::string> key{std::string(finding.Code), finding.File};
                if (reported_.contains(key))
                    continue;
                mine.push_back(std::move(key));
            }
            result_.Findings.push_back({std::move(finding), block, std::string(DataFilePath(file)), line});
        }
        reported_.insert(mine.begin(), mine.end());
        findings.clear();
    }

    void CheckModelBlock(const TModelBlock& model)
    {
        TFindings findings;
        TUnitSheet sheet;
        sheet.ModelName = model.Key;
        sheet.Skeletons = model.Skeletons;
        sheet.ModelBattleLines = model.Lines;
        TUnitSheet found = sheet; // the rows whose files the mod has
        for (const TModTexture& texture : model.Textures) {
            const std::vector<std::string> places = TexturePlaces(texture.Path);
            sheet.TextureRows.push_back({texture.Faction, places.front()});
            if (auto file = mod_.FindFirst(places))
                found.TextureRows.push_back({texture.Faction, *file});
            else
                findings.push_back(MakeFinding(TCheck::ModTextureMissing, {texture.Faction, JoinedNames(places)},
                                               {0, places.front()}));
        }
        const checks::TParsedBlocks blocks{model.Parsed, {}};
        for (const std::string& named : model.Models) {
            const std::string path = PathInMod(named);
            if (auto file = mod_.Find(path)) {
                found.ModelFile = *file;
                checks::CheckModel(found, blocks, files_, findings);
            } else {
                findings.push_back(MakeFinding(TCheck::ModModelMissing, {path}, {0, path}));
            }
        }
        checks::CheckTextures(found, files_, findings);
        checks::CheckModelBattleBlock(sheet, blocks, findings);
        Keep(findings, "model " + model.Key, TDataFileKind::ModelBattle, model.Line);
    }

    void CheckUnitBlock(const TUnitBlock& unit)
    {
        TFindings findings;
        TUnitSheet sheet;
        sheet.UnitName = unit.Key;
        sheet.ModelName = unit.Soldier;
        sheet.UnitDescrLines = unit.Lines;
        // A data file that could not be read is one finding, not one a unit.
        if (!unit.Soldier.empty() && data_.HasFile(TDataFileKind::ModelBattle) && !data_.FindModel(unit.Soldier))
            findings.push_back(MakeFinding(TCheck::ModSoldierNoBlock, {unit.Soldier}));
        TUnitSheet found = sheet;
        if (!unit.Dictionary.empty())
            for (const std::string& owner : unit.Owners)
                AddCards(unit, owner, sheet, found, findings);
        const checks::TParsedBlocks blocks{{}, unit.Parsed};
        checks::CheckUnitDescrBlock(sheet, blocks, findings);
        CheckTexts(unit, blocks, findings);
        checks::CheckCards(found, files_, findings);
        Keep(findings, "unit " + unit.Key, TDataFileKind::UnitDescr, unit.Line);
    }

    void AddCards(const TUnitBlock& unit, const std::string& owner, TUnitSheet& sheet, TUnitSheet& found,
                  TFindings& findings)
    {
        const std::vector<TCardPlace> places = CardPlaces(unit, owner);
        sheet.UiCardRows.push_back({owner, places.front().Info, places.front().Unit});
        std::vector<std::string> infos, units;
        for (const TCardPlace& place : places) {
            infos.push_back(place.Info);
            units.push_back(place.Unit);
        }
        const auto info = mod_.FindFirst(infos), unitCard = mod_.FindFirst(units);
        if (!info)
            findings.push_back(
                MakeFinding(TCheck::ModCardMissing, {"INFO", owner, JoinedNames(infos)}, {0, infos.front()}));
        if (!unitCard)
            findings.push_back(
                MakeFinding(TCheck::ModCardMissing, {"#unit", owner, JoinedNames(units)}, {0, units.front()}));
        if (info && unitCard)
            found.UiCardRows.push_back({owner, *info, *unitCard});
    }

    void CheckTexts(const TUnitBlock& unit, const checks::TParsedBlocks& blocks, TFindings& findings)
    {
        if (unit.Dictionary.empty() || !data_.HasFile(TDataFileKind::UnitText))
            return; // the missing dictionary line or text file has its own finding
        TUnitSheet sheet;
        for (const std::string& key : TextKeys(unit.Dictionary))
            if (const auto lines = data_.FindText(key))
                sheet.UnitTextLines.insert(sheet.UnitTextLines.end(), lines->begin(), lines->end());
        if (!sheet.UnitTextLines.empty()) {
            checks::CheckUnitTextBlock(sheet, blocks, findings);
            return;
        }
        for (const std::string& key : TextKeys(unit.Dictionary))
            findings.push_back(MakeFinding(TCheck::TextKey, {"{" + key + "}"}));
    }

    const TModFolder& mod_;
    TModFiles files_;
    TModData data_;
    TModCheck result_;
    std::set<std::pair<std::string, std::string>> reported_;
};

} // namespace

TModCheck CheckMod(const std::string& root)
{
    const TModFolder mod(root);
    return TModChecker(mod).Run();
}

} // namespace quorin

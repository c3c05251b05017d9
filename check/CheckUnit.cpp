#include "CheckUnit.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "Checks.h"
#include "FindingTexts.h"
#include "base/Text.h"
#include "package/Manifest.h"
#include "package/Unpack.h"

namespace quorin {

namespace checks {

namespace {

std::string RowText(std::size_t index) { return std::to_string(index + 1); }

// Characters no folder of the game's platform can hold in its name.
std::string RefusedCharacter(std::string_view faction)
{
    for (char c : faction) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "U+%04X", byte);
            return code;
        }
        if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos)
            return std::string("\"") + c + "\"";
    }
    if (faction.ends_with('.') || faction.ends_with(' '))
        return std::string("\"") + faction.back() + "\"";
    return {};
}

template <typename TRow>
void CheckFactions(const std::vector<TRow>& rows, TCheck empty, TCheck refused, TCheck duplicate,
                   TFindings& findings)
{
    std::map<std::string, std::size_t> firstRow;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string& faction = rows[i].Faction;
        if (faction.empty()) {
            findings.push_back(MakeFinding(empty, {RowText(i)}, {static_cast<int>(i + 1), {}}));
            continue;
        }
        if (const std::string what = RefusedCharacter(faction); !what.empty())
            findings.push_back(MakeFinding(refused, {RowText(i), faction, what}, {static_cast<int>(i + 1), {}}));
        // Folders of the game's platform do not tell case apart.
        const auto [first, added] = firstRow.emplace(LowerCaseText(faction), i);
        if (!added)
            findings.push_back(MakeFinding(duplicate, {faction, RowText(first->second), RowText(i)},
                                           {static_cast<int>(i + 1), {}}));
    }
}

} // namespace

void CheckSheet(const TUnitSheet& sheet, TFindings& findings)
{
    if (sheet.UnitName.empty())
        findings.push_back(MakeFinding(TCheck::SheetNoName, {}));
    if (sheet.ModelName.empty())
        findings.push_back(MakeFinding(TCheck::SheetNoModelName, {}));
    if (sheet.ModelFile.empty())
        findings.push_back(MakeFinding(TCheck::SheetNoModel, {}));
    if (sheet.TextureRows.empty())
        findings.push_back(MakeFinding(TCheck::SheetNoTexture, {}));
    if (sheet.UiCardRows.empty())
        findings.push_back(MakeFinding(TCheck::SheetNoCard, {}));
    CheckFactions(sheet.TextureRows, TCheck::TextureFactionEmpty, TCheck::TextureFactionBad,
                  TCheck::DuplicateTextureFaction, findings);
    CheckFactions(sheet.UiCardRows, TCheck::CardFactionEmpty, TCheck::CardFactionBad, TCheck::DuplicateCardFaction,
                  findings);
}

namespace {

bool SameName(std::string_view a, std::string_view b) { return LowerCaseText(a) == LowerCaseText(b); }

template <typename TRow>
bool HasRowOf(const std::vector<TRow>& rows, std::string_view faction)
{
    return std::any_of(rows.begin(), rows.end(), [&](const TRow& row) { return SameName(row.Faction, faction); });
}

bool IsModelLine(const TDataLine& line)
{
    return line.Keyword == "model_flexi" || line.Keyword == "model_flexi_m" || line.Keyword == "model_flexi_c";
}

bool IsMercenary(const std::vector<TDataLine>& lines)
{
    const TDataLine* attributes = FindLine(lines, "attributes");
    return attributes && std::any_of(attributes->Values.begin(), attributes->Values.end(),
                                     [](const std::string& value) { return SameName(value, "mercenary_unit"); });
}

} // namespace

void CheckModelBattleBlock(const TUnitSheet& sheet, const TParsedBlocks& blocks, TFindings& findings)
{
    const auto& lines = blocks.ModelBattle;
    if (IsBlankBlock(sheet.ModelBattleLines)) {
        findings.push_back(MakeFinding(TCheck::BattleEmpty, {}));
        return;
    }
    if (const TDataLine* type = FindLine(lines, "type"); !type || type->Values.empty())
        findings.push_back(MakeFinding(TCheck::BattleNoType, {}));
    else if (!sheet.ModelName.empty() && !SameName(type->Values.front(), sheet.ModelName))
        findings.push_back(MakeFinding(TCheck::BattleTypeName, {type->Values.front(), sheet.ModelName}));

    if (const TDataLine* skeleton = FindLine(lines, "skeleton"); !skeleton)
        findings.push_back(MakeFinding(TCheck::BattleNoSkeleton, {}));
    else if (!sheet.CustomSkeletons) {
        const std::vector<std::string> field = SplitNames(sheet.Skeletons);
        for (const std::string& name : skeleton->Values)
            if (!name.empty() && std::none_of(field.begin(), field.end(),
                                              [&](const std::string& own) { return SameName(own, name); }))
                findings.push_back(MakeFinding(TCheck::BattleSkeleton, {name}));
    }

    // "texture faction, path"; a line without a faction gives no faction to match.
    std::vector<std::string> lineFactions;
    for (const TDataLine& line : lines)
        if (line.Keyword == "texture" && line.Values.size() >= 2)
            lineFactions.push_back(line.Values.front());
    for (const std::string& faction : lineFactions)
        if (!HasRowOf(sheet.TextureRows, faction))
            findings.push_back(MakeFinding(TCheck::BattleTextureNoRow, {faction}));
    for (std::size_t i = 0; i < sheet.TextureRows.size(); ++i) {
        const std::string& faction = sheet.TextureRows[i].Faction;
        if (!faction.empty() && std::none_of(lineFactions.begin(), lineFactions.end(),
                         [&](const std::string& named) { return SameName(named, faction); }))
            findings.push_back(MakeFinding(TCheck::BattleRowNoTexture, {faction}, {static_cast<int>(i + 1), {}}));
    }

    const TDataLine* last = nullptr;
    for (const TDataLine& line : lines)
        if (IsModelLine(line))
            last = &line;
    if (!last)
        findings.push_back(MakeFinding(TCheck::BattleNoModel, {}));
    else if (last->Values.empty() || LowerCaseText(last->Values.back()) != "max")
        findings.push_back(MakeFinding(TCheck::BattleModelMax, {last->Values.empty() ? "" : last->Values.back()}));
}

void CheckUnitDescrBlock(const TUnitSheet& sheet, const TParsedBlocks& blocks, TFindings& findings)
{
    const auto& lines = blocks.UnitDescr;
    if (IsBlankBlock(sheet.UnitDescrLines)) {
        findings.push_back(MakeFinding(TCheck::DescrEmpty, {}));
        return;
    }
    for (std::string_view keyword : {"type", "dictionary", "soldier", "ownership"})
        if (!FindLine(lines, keyword))
            findings.push_back(MakeFinding(TCheck::DescrMissingLine, {keyword}));

    const TDataLine* soldier = FindLine(lines, "soldier");
    if (soldier && !soldier->Values.empty() && !sheet.ModelName.empty() &&
        !SameName(soldier->Values.front(), sheet.ModelName))
        findings.push_back(MakeFinding(TCheck::DescrSoldier, {soldier->Values.front(), sheet.ModelName}));

    const TDataLine* ownership = FindLine(lines, "ownership");
    if (!ownership)
        return;
    std::vector<std::string> owners;
    for (const std::string& value : ownership->Values)
        for (std::string& name : SplitNames(value))
            owners.push_back(std::move(name));
    // A mercenary's cards in the mercenaries' folders serve every faction that owns it.
    const bool mercRow =
        IsMercenary(lines) && (HasRowOf(sheet.UiCardRows, "merc") || HasRowOf(sheet.UiCardRows, "mercs"));
    for (const std::string& owner : owners)
        if (!mercRow && !HasRowOf(sheet.UiCardRows, owner))
            findings.push_back(MakeFinding(TCheck::DescrOwnershipNoRow, {owner}));
    for (std::size_t i = 0; i < sheet.UiCardRows.size(); ++i) {
        const std::string& faction = sheet.UiCardRows[i].Faction;
        if (mercRow && (SameName(faction, "merc") || SameName(faction, "mercs")))
            continue;
        if (!faction.empty() && std::none_of(owners.begin(), owners.end(), [&](const std::string& owner) { return SameName(owner, faction); }))
            findings.push_back(MakeFinding(TCheck::DescrRowNoOwnership, {faction}, {static_cast<int>(i + 1), {}}));
    }
}

void CheckUnitTextBlock(const TUnitSheet& sheet, const TParsedBlocks& blocks, TFindings& findings)
{
    if (IsBlankBlock(sheet.UnitTextLines)) {
        findings.push_back(MakeFinding(TCheck::TextEmpty, {}));
        return;
    }
    const TDataLine* dictionary = FindLine(blocks.UnitDescr, "dictionary");
    if (!dictionary || dictionary->Values.empty() || dictionary->Values.front().empty())
        return; // without a dictionary name there are no keys to look for; its own finding says why
    const std::vector<std::string> keys = UnitTextKeys(sheet.UnitTextLines);
    const std::vector<std::string> names = SplitNames(dictionary->Values.front());
    if (names.empty())
        return;
    const std::string& name = names.front();
    for (std::string_view suffix : {"", "_descr", "_descr_short"}) {
        const std::string key = name + std::string(suffix);
        if (std::find(keys.begin(), keys.end(), LowerCaseText(key)) == keys.end())
            findings.push_back(MakeFinding(TCheck::TextKey, {"{" + key + "}"}));
    }
}

} // namespace checks

TFindings CheckUnit(const TUnitSheet& sheet, const TUnitFiles& files)
{
    using namespace checks;
    const TParsedBlocks blocks{ParseDescrLines(sheet.ModelBattleLines), ParseDescrLines(sheet.UnitDescrLines)};
    TFindings findings;
    CheckSheet(sheet, findings);
    CheckModel(sheet, blocks, files, findings);
    CheckTextures(sheet, files, findings);
    CheckModelBattleBlock(sheet, blocks, findings);
    CheckUnitDescrBlock(sheet, blocks, findings);
    CheckUnitTextBlock(sheet, blocks, findings);
    CheckCards(sheet, files, findings);
    std::stable_sort(findings.begin(), findings.end(), [](const TFinding& a, const TFinding& b) {
        return a.Severity != b.Severity ? a.Severity < b.Severity : a.Page < b.Page;
    });
    return findings;
}

TFindings CheckUnit(const TUnitSheet& sheet) { return CheckUnit(sheet, TDiskFiles()); }

TFindings CheckPackage(const TPackage& package)
{
    const TUnpackedNames names = UnpackedNames(package);
    TPackageFiles files;
    files.Add(names.Model, package.Model);
    for (std::size_t i = 0; i < package.TextureRows.size(); ++i)
        files.Add(names.Textures[i], package.TextureRows[i].Texture);
    for (std::size_t i = 0; i < package.UiCardRows.size(); ++i) {
        files.Add(names.Cards[i].first, package.UiCardRows[i].InfoCard);
        files.Add(names.Cards[i].second, package.UiCardRows[i].UnitCard);
    }
    return CheckUnit(SheetOfPackage(package, names), files);
}

} // namespace quorin

#include "ModData.h"

#include <algorithm>

#include "base/Text.h"

namespace quorin {

namespace {

std::vector<std::string> SplitEntryLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t newline = std::min(text.find('\n', start), text.size());
        std::size_t end = newline;
        if (end > start && text[end - 1] == '\r')
            --end;
        lines.emplace_back(text.substr(start, end - start));
        start = newline + 1;
    }
    return lines;
}

// Each entry of the file as a block, its line counted as the scan goes; with
// only, the first entry of that normalised key alone.
template <typename TBlock>
std::vector<TBlock> ReadBlocks(const TDataText& file, std::vector<TDataFileFailure>& failures,
                               const std::optional<std::string>& only, std::size_t& entries)
{
    const std::string_view text = file.Text;
    const TEntryScan scan = ScanEntries(file.Kind, text);
    entries = scan.Entries.size();
    if (scan.StrayLine)
        failures.push_back({std::string(DataFilePath(file.Kind)),
                            "A line stands outside any entry: \"" + *scan.StrayLine + "\"", false});
    std::vector<TBlock> blocks;
    blocks.reserve(scan.Entries.size());
    std::size_t counted = 0;
    int line = 1;
    for (const TEntry& entry : scan.Entries) {
        if (only && !IsKey(ShownKey(text, entry), *only))
            continue;
        line += static_cast<int>(std::count(text.begin() + static_cast<std::ptrdiff_t>(counted),
                                            text.begin() + static_cast<std::ptrdiff_t>(entry.KeyLine), '\n'));
        counted = entry.KeyLine;
        TBlock block;
        block.Key = std::string(ShownKey(text, entry));
        block.Line = line;
        block.Lines = SplitEntryLines(text.substr(entry.Start, entry.ContentEnd - entry.Start));
        blocks.push_back(std::move(block));
        if (only)
            break;
    }
    return blocks;
}

bool IsModelLine(const TDataLine& line)
{
    return line.Keyword == "model_flexi" || line.Keyword == "model_flexi_m" || line.Keyword == "model_flexi_c";
}

void ReadModelLines(TModelBlock& block)
{
    block.Parsed = ParseDescrLines(block.Lines);
    for (const TDataLine& line : block.Parsed) {
        if (line.Keyword == "texture" && line.Values.size() >= 2)
            block.Textures.push_back({line.Values.front(), line.Values[1]});
        else if (IsModelLine(line) && !line.Values.empty())
            block.Models.push_back(line.Values.front());
        else if (line.Keyword == "skeleton")
            block.Skeletons = JoinedNames(line.Values);
    }
}

void ReadUnitLines(TUnitBlock& block)
{
    block.Parsed = ParseDescrLines(block.Lines);
    for (const TDataLine& line : block.Parsed) {
        if (line.Keyword == "dictionary" && !line.Values.empty()) {
            const auto names = SplitNames(line.Values.front());
            block.Dictionary = names.empty() ? std::string() : names.front();
        } else if (line.Keyword == "soldier" && !line.Values.empty()) {
            block.Soldier = line.Values.front();
        } else if (line.Keyword == "ownership") {
            for (const std::string& value : line.Values)
                for (std::string& name : SplitNames(value))
                    block.Owners.push_back(std::move(name));
        } else if (line.Keyword == "attributes") {
            block.Mercenary = std::any_of(line.Values.begin(), line.Values.end(), [](const std::string& value) {
                return LowerCaseText(value) == "mercenary_unit";
            });
        }
    }
}

template <typename TBlock> std::unordered_map<std::string, std::size_t> IndexByKey(const std::vector<TBlock>& blocks)
{
    std::unordered_map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < blocks.size(); ++i)
        index.emplace(NormalisedKey(blocks[i].Key), i); // the first of a key is the one found
    return index;
}

template <typename TBlock>
std::vector<TBlock> ReadFile(const TModFolder& mod, TDataFileKind kind, std::vector<TDataFileFailure>& failures,
                             const std::optional<std::string>& only, std::size_t& entries)
{
    try {
        return ReadBlocks<TBlock>(mod.ReadDataFile(kind), failures, only, entries);
    } catch (const EDataFileError& e) {
        failures.push_back({std::string(DataFilePath(kind)), e.Message(), true});
    }
    return {};
}

} // namespace

TModData::TModData(const TModFolder& mod) { Read(mod, std::nullopt); }

TModData::TModData(const TModFolder& mod, std::string_view unitType) { Read(mod, NormalisedKey(unitType)); }

void TModData::Read(const TModFolder& mod, const std::optional<std::string>& onlyUnit)
{
    Units = ReadFile<TUnitBlock>(mod, TDataFileKind::UnitDescr, Failures, onlyUnit, UnitEntries);
    for (TUnitBlock& unit : Units)
        ReadUnitLines(unit);
    std::optional<std::string> onlyModel;
    if (onlyUnit)
        onlyModel = Units.empty() ? std::string() : NormalisedKey(Units.front().Soldier);
    std::size_t modelEntries = 0;
    Models = ReadFile<TModelBlock>(mod, TDataFileKind::ModelBattle, Failures, onlyModel, modelEntries);
    for (TModelBlock& model : Models)
        ReadModelLines(model);
    ReadTexts(mod);
    units_ = IndexByKey(Units);
    models_ = IndexByKey(Models);
}

bool TModData::HasFile(TDataFileKind kind) const
{
    return std::none_of(Failures.begin(), Failures.end(), [&](const TDataFileFailure& failure) {
        return failure.Unread && failure.File == DataFilePath(kind);
    });
}

const TUnitBlock* TModData::FindUnit(std::string_view type) const
{
    const auto found = units_.find(NormalisedKey(type));
    return found == units_.end() ? nullptr : &Units[found->second];
}

const TModelBlock* TModData::FindModel(std::string_view type) const
{
    const auto found = models_.find(NormalisedKey(type));
    return found == models_.end() ? nullptr : &Models[found->second];
}

void TModData::ReadTexts(const TModFolder& mod)
{
    try {
        unitText_ = mod.ReadDataBytes(TDataFileKind::UnitText);
        CheckUnitTextBytes(unitText_);
    } catch (const EDataFileError& e) {
        unitText_.clear();
        Failures.push_back({std::string(DataFilePath(TDataFileKind::UnitText)), e.Message(), true});
        return;
    }
    for (const TEntry& entry : ScanUnitTextBytes(unitText_).Entries)
        texts_.emplace(NormalisedKey(DecodeUnitTextRange(unitText_, entry.KeyAt, entry.KeyAt + entry.KeyLength)),
                       std::pair{entry.Start, entry.ContentEnd});
}

std::optional<std::vector<std::string>> TModData::FindText(std::string_view key) const
{
    const auto found = texts_.find(NormalisedKey(key));
    if (found == texts_.end())
        return std::nullopt;
    return SplitEntryLines(DecodeUnitTextRange(unitText_, found->second.first, found->second.second));
}

std::string TModData::TextValue(std::string_view key) const
{
    const auto lines = FindText(key);
    if (!lines)
        return {};
    for (std::string_view line : *lines)
        if (const auto close = line.find('}'); line.find('{') < close && close != std::string_view::npos) {
            line = line.substr(close + 1);
            const auto first = line.find_first_not_of(" \t");
            return first == std::string_view::npos ? std::string() : std::string(line.substr(first));
        }
    return {};
}

std::vector<TCardPlace> CardPlaces(const TUnitBlock& unit, std::string_view faction)
{
    const std::string name(faction), dictionary = unit.Dictionary;
    std::vector<TCardPlace> places{{name, "data/ui/unit_info/" + name + "/" + dictionary + "_info.tga",
                                    "data/ui/units/" + name + "/#" + dictionary + ".tga"}};
    if (unit.Mercenary)
        places.push_back({"merc", "data/ui/unit_info/merc/" + dictionary + "_info.tga",
                          "data/ui/units/mercs/#" + dictionary + ".tga"});
    return places;
}

std::string PathInMod(std::string_view path)
{
    const std::string named = DataPath(path);
    const std::string lower = LowerCaseText(named);
    if (lower.starts_with("data/"))
        return named;
    const auto data = lower.find("/data/");
    return data == std::string::npos ? named : named.substr(data + 1);
}

std::vector<std::string> TexturePlaces(std::string_view path)
{
    const std::string named = PathInMod(path);
    if (LowerCaseText(named).ends_with(".dds"))
        return {named};
    return {named + ".dds", named};
}

std::string JoinedNames(const std::vector<std::string>& names)
{
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

std::vector<std::string> TextKeys(std::string_view dictionary)
{
    const std::string name(dictionary);
    return {name, name + "_descr", name + "_descr_short"};
}

} // namespace quorin

#include "Manifest.h"

#include <cstdio>
#include <filesystem>
#include <set>

#include <toml++/toml.h>

#include "base/FileSystem.h"
#include "base/SaveFile.h"
#include "base/Stream.h"
#include "package/UnitFields.h"

namespace quorin {

namespace {

std::set<std::string_view> TopLevelKeyList()
{
    std::set<std::string_view> keys = {"game_version", ModelNameField.Key, "model_file", SkeletonsField.Key,
                                       "custom_skeletons", "texture", "card"};
    for (const auto& field : DescriptiveFields)
        keys.insert(field.Key);
    for (const auto& block : TextBlockFields)
        keys.insert(block.Key);
    return keys;
}

const std::set<std::string_view> TopLevelKeys = TopLevelKeyList();
const std::set<std::string_view> TextureKeys = {"faction", "file"};
const std::set<std::string_view> CardKeys = {"faction", "info", "unit"};
constexpr std::string_view DefaultFaction = "romans_julii";

class TManifestReader {
public:
    TManifestReader(std::string path, std::filesystem::path folder) : path_(std::move(path)), folder_(std::move(folder)) {}

    [[noreturn]] void Fail(const std::string& message) const { throw EManifestError(path_ + ": " + message); }

    void CheckKeys(const toml::table& table, const std::set<std::string_view>& known, const std::string& where) const
    {
        for (const auto& [key, value] : table)
            if (!known.contains(key.str()))
                Fail("unknown key \"" + std::string(key.str()) + "\"" + where);
    }

    std::string Text(const toml::table& table, std::string_view key, const std::string& where,
                     std::string_view fallback = {}) const
    {
        const toml::node* node = table.get(key);
        if (!node)
            return std::string(fallback);
        if (!node->is_string())
            Fail("\"" + std::string(key) + "\"" + where + " must be a string");
        return std::string(*node->value<std::string_view>());
    }

    std::string Path(const toml::table& table, std::string_view key, const std::string& where, bool required) const
    {
        if (required && !table.contains(key))
            Fail("\"" + std::string(key) + "\"" + where + " is missing");
        std::string value = Text(table, key, where);
        if (value.empty())
            return value; // the build then fails as the window does: "Cannot open file "
        auto path = PathFromUtf8(value);
        // In the platform's own separators, as a message naming the file shows it.
        return path.is_absolute() ? value : PathToUtf8((folder_ / path).make_preferred());
    }

    std::int32_t GameVersion(const toml::table& table) const
    {
        const toml::node* node = table.get("game_version");
        if (!node)
            return 0;
        if (auto index = node->value<std::int64_t>(); index && node->is_integer()) {
            if (*index < 0 || *index >= static_cast<std::int64_t>(GameVersionItems.size()))
                Fail("\"game_version\" must be 0 to 5, not " + std::to_string(*index));
            return static_cast<std::int32_t>(*index);
        }
        if (auto text = node->value<std::string_view>(); text && node->is_string()) {
            for (std::size_t i = 0; i < GameVersionItems.size(); ++i)
                if (GameVersionItems[i] == *text)
                    return static_cast<std::int32_t>(i);
            Fail("\"game_version\" \"" + std::string(*text) + "\" is not one of the game versions");
        }
        Fail("\"game_version\" must be an index 0 to 5 or a game version's text");
    }

    const toml::array* Rows(const toml::table& table, std::string_view key) const
    {
        const toml::node* node = table.get(key);
        if (!node)
            return nullptr;
        if (!node->is_array_of_tables() && !(node->is_array() && node->as_array()->empty()))
            Fail("\"" + std::string(key) + "\" must be written as [[" + std::string(key) + "]] tables");
        return node->as_array();
    }

private:
    std::string path_;
    std::filesystem::path folder_;
};

void AppendEscaped(std::string& out, char c, bool multiline)
{
    switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\b': out += "\\b"; return;
    case '\t': out += "\\t"; return;
    case '\f': out += "\\f"; return;
    case '\r': out += "\\r"; return;
    case '\n': out += multiline ? "\n" : "\\n"; return;
    default: break;
    }
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04X", byte);
        out += escape;
    } else {
        out += c;
    }
}

} // namespace

TUnitSheet LoadManifest(const std::string& path)
{
    // Read through the streams, not by the TOML library: a folder or an
    // unreadable file then fails as every input does, naming the manifest,
    // and a manifest from a pipe is read whole.
    TMemoryStream text;
    text.LoadFromFile(path);
    toml::table root;
    try {
        root = toml::parse(std::string_view(reinterpret_cast<const char*>(text.Memory()),
                                            static_cast<std::size_t>(text.Size())),
                           path);
    } catch (const toml::parse_error& e) {
        const auto& where = e.source().begin;
        throw EManifestError(path + ":" + std::to_string(where.line) + ":" + std::to_string(where.column) + ": " +
                             std::string(e.description()));
    }
    TManifestReader reader(path, PathFromUtf8(path).parent_path());
    reader.CheckKeys(root, TopLevelKeys, "");

    TUnitSheet sheet;
    for (const auto& field : DescriptiveFields)
        sheet.*field.InSheet = reader.Text(root, field.Key, "");
    sheet.GameVersion = reader.GameVersion(root);
    sheet.ModelName = reader.Text(root, ModelNameField.Key, "");
    sheet.ModelFile = reader.Path(root, "model_file", "", false);
    sheet.Skeletons = reader.Text(root, SkeletonsField.Key, "");
    if (const toml::node* flag = root.get("custom_skeletons")) {
        if (!flag->is_boolean())
            reader.Fail("\"custom_skeletons\" must be true or false");
        sheet.CustomSkeletons = *flag->value<bool>();
    }
    for (const auto& block : TextBlockFields)
        sheet.*block.InSheet = SplitTextLines(reader.Text(root, block.Key, ""));

    if (const toml::array* rows = reader.Rows(root, "texture")) {
        for (std::size_t i = 0; i < rows->size(); ++i) {
            const toml::table& row = *rows->get(i)->as_table();
            std::string where = " in [[texture]] " + std::to_string(i + 1);
            reader.CheckKeys(row, TextureKeys, where);
            sheet.TextureRows.push_back(
                {reader.Text(row, "faction", where, DefaultFaction), reader.Path(row, "file", where, true)});
        }
    }
    if (const toml::array* rows = reader.Rows(root, "card")) {
        for (std::size_t i = 0; i < rows->size(); ++i) {
            const toml::table& row = *rows->get(i)->as_table();
            std::string where = " in [[card]] " + std::to_string(i + 1);
            reader.CheckKeys(row, CardKeys, where);
            TUiCardRow card{reader.Text(row, "faction", where, DefaultFaction), reader.Path(row, "info", where, true),
                            std::nullopt};
            if (row.contains("unit"))
                card.UnitCardFile = reader.Path(row, "unit", where, true);
            sheet.UiCardRows.push_back(std::move(card));
        }
    }
    return sheet;
}

std::string TomlString(std::string_view text)
{
    std::string out = "\"";
    for (char c : text)
        AppendEscaped(out, c, false);
    return out + "\"";
}

std::string TomlLines(const std::vector<std::string>& lines)
{
    if (lines.empty())
        return "\"\"";
    // The newline right after the opening quotes is not part of the value.
    std::string out = "\"\"\"\n";
    for (const auto& line : lines) {
        for (char c : line)
            AppendEscaped(out, c, true);
        out += '\n';
    }
    return out + "\"\"\"";
}

namespace {

// A path as the manifest in folder writes it: relative where it lies inside
// that folder, absolute otherwise, so the manifest can move with its files.
std::string PathInManifest(const std::string& path, const std::string& folder)
{
    if (path.empty() || folder.empty())
        return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(PathFromUtf8(path), error);
    const std::filesystem::path base = std::filesystem::absolute(PathFromUtf8(folder), error);
    if (error)
        return path;
    const std::filesystem::path relative = absolute.lexically_normal().lexically_relative(base.lexically_normal());
    if (relative.empty() || *relative.begin() == "..")
        return PathToUtf8(absolute.lexically_normal());
    return PathToGenericUtf8(relative);
}

} // namespace

std::string SheetManifestText(const TUnitSheet& sheet, const std::string& folder)
{
    std::string out;
    auto field = [&out](std::string_view key, const std::string& value) {
        out += std::string(key) + " = " + value + "\n";
    };
    auto file = [&folder](const std::string& path) { return TomlString(PathInManifest(path, folder)); };
    for (const auto& text : DescriptiveFields)
        field(text.Key, TomlString(sheet.*text.InSheet));
    if (sheet.GameVersion >= 0 && std::size_t(sheet.GameVersion) < GameVersionItems.size())
        out += "# " + std::string(GameVersionItems[static_cast<std::size_t>(sheet.GameVersion)]) + "\n";
    field("game_version", std::to_string(sheet.GameVersion));
    field(ModelNameField.Key, TomlString(sheet.ModelName));
    field("model_file", file(sheet.ModelFile));
    field(SkeletonsField.Key, TomlString(sheet.Skeletons));
    field("custom_skeletons", sheet.CustomSkeletons ? "true" : "false");
    for (const auto& block : TextBlockFields)
        field(block.Key, TomlLines(sheet.*block.InSheet));
    for (const TTextureRow& row : sheet.TextureRows) {
        out += "\n[[texture]]\n";
        field("faction", TomlString(row.Faction));
        field("file", file(row.TextureFile));
    }
    for (const TUiCardRow& row : sheet.UiCardRows) {
        out += "\n[[card]]\n";
        field("faction", TomlString(row.Faction));
        field("info", file(row.InfoCardFile));
        if (row.UnitCardFile) // a row whose second dialog was cancelled has none
            field("unit", file(*row.UnitCardFile));
    }
    return out;
}

TUnitSheet SheetOfPackage(const TPackage& package, const TUnpackedNames& names)
{
    TUnitSheet sheet;
    for (const auto& field : DescriptiveFields)
        sheet.*field.InSheet = package.*field.InPackage;
    sheet.GameVersion = package.GameVersion;
    for (const auto& field : {ModelNameField, SkeletonsField})
        sheet.*field.InSheet = package.*field.InPackage;
    sheet.ModelFile = names.Model;
    for (std::size_t i = 0; i < package.TextureRows.size(); ++i)
        sheet.TextureRows.push_back({package.TextureRows[i].Faction, names.Textures[i]});
    sheet.CustomSkeletons = package.CustomSkeletons;
    for (const auto& block : TextBlockFields)
        sheet.*block.InSheet = package.*block.InPackage;
    for (std::size_t i = 0; i < package.UiCardRows.size(); ++i)
        sheet.UiCardRows.push_back({package.UiCardRows[i].Faction, names.Cards[i].first, names.Cards[i].second});
    return sheet;
}

std::string ManifestText(const TPackage& package, const TUnpackedNames& names)
{
    return SheetManifestText(SheetOfPackage(package, names), {}); // the names are already relative
}

void SaveManifest(const TUnitSheet& sheet, const std::string& path)
{
    const std::string text = SheetManifestText(sheet, PathToUtf8(PathFromUtf8(path).parent_path()));
    TSaveFileStream file(path);
    file.WriteBuffer(text.data(), static_cast<std::int64_t>(text.size()));
    file.Commit();
}

} // namespace quorin

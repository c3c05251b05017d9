#include "Unpack.h"

#include <filesystem>

#include "Manifest.h"
#include "base/FileSystem.h"
#include "base/SaveFile.h"
#include "base/Text.h"

namespace quorin {

namespace {

namespace fs = std::filesystem;

// Bytes, not characters: file systems limit names in bytes, and the
// numbered names around a faction must fit with room to spare.
constexpr std::size_t MaxFactionBytesInFileName = 64;

// The text blocks by their manifest keys.
std::vector<std::pair<std::string_view, const std::vector<std::string>*>> TextBlocks(const TPackage& package)
{
    return {{"model_battle", &package.ModelBattleLines},
            {"unit_descr", &package.UnitDescrLines},
            {"unit_text", &package.UnitTextLines}};
}


void SaveBytes(const fs::path& path, const void* data, std::size_t size)
{
    TSaveFileStream file(PathToUtf8(path));
    file.WriteBuffer(data, static_cast<std::int64_t>(size));
    file.Commit();
}

// What an unpack made, removed again unless the unpack completes: a failed
// unpack leaves no files of its own and no folders it created. Files that an
// unpack with --force replaced cannot come back and stay replaced.
class TUnpackUndo {
public:
    TUnpackUndo() = default;
    TUnpackUndo(const TUnpackUndo&) = delete;
    TUnpackUndo& operator=(const TUnpackUndo&) = delete;
    ~TUnpackUndo()
    {
        if (kept_)
            return;
        std::error_code error;
        for (auto file = files_.rbegin(); file != files_.rend(); ++file)
            fs::remove(*file, error);
        for (const auto& folder : folders_) // deepest first; only while empty
            fs::remove(folder, error);
    }

    void NoteFoldersToCreate(fs::path dir)
    {
        std::error_code error;
        for (; !dir.empty() && !fs::exists(dir, error); dir = dir.parent_path()) {
            folders_.push_back(dir);
            if (dir == dir.parent_path())
                break;
        }
    }

    void Save(const fs::path& path, const void* data, std::size_t size)
    {
        std::error_code error;
        bool existed = fs::exists(fs::symlink_status(path, error));
        SaveBytes(path, data, size);
        if (!existed)
            files_.push_back(path);
    }

    void Keep() { kept_ = true; }

private:
    std::vector<fs::path> files_;
    std::vector<fs::path> folders_;
    bool kept_ = false;
};

// Lines the manifest cannot carry back unchanged.
std::vector<std::string> RoundTripWarnings(const TPackage& package)
{
    std::vector<std::string> warnings;
    for (const auto& [key, lines] : TextBlocks(package))
        for (std::size_t i = 0; i < lines->size(); ++i) {
            const auto& line = (*lines)[i];
            if (line.find_first_of("\r\n") != std::string::npos)
                warnings.push_back(std::string(key) + " line " + std::to_string(i + 1) + " holds a line break");
            else if (Utf8Length(line) > MaxLineLength)
                warnings.push_back(std::string(key) + " line " + std::to_string(i + 1) + " is longer than " +
                                   std::to_string(MaxLineLength) + " characters");
        }
    return warnings;
}

} // namespace

TUnpackedNames UnpackedNames(const TPackage& package)
{
    TUnpackedNames names;
    names.Model = "model.cas";
    auto numbered = [](std::string_view kind, std::size_t index, std::string_view faction) {
        std::string number = std::to_string(index + 1);
        if (number.size() < 2)
            number.insert(0, "0");
        return std::string(kind) + "_" + number + "_" + SafeFileNamePart(faction);
    };
    for (std::size_t i = 0; i < package.UiCardRows.size(); ++i) {
        auto stem = numbered("card", i, package.UiCardRows[i].Faction);
        names.Cards.emplace_back(stem + "_info.tga", stem + "_unit.tga");
    }
    for (std::size_t i = 0; i < package.TextureRows.size(); ++i)
        names.Textures.push_back(numbered("texture", i, package.TextureRows[i].Faction) + ".dds");
    return names;
}

TUnpackResult UnpackPackage(const TPackage& contents, const std::string& folder, bool force)
{
    TUnpackedNames names = UnpackedNames(contents);
    fs::path dir = PathFromUtf8(folder);

    std::vector<std::pair<fs::path, const TBytes*>> files{{dir / names.Model, &contents.Model}};
    for (std::size_t i = 0; i < contents.UiCardRows.size(); ++i) {
        files.emplace_back(dir / PathFromUtf8(names.Cards[i].first), &contents.UiCardRows[i].InfoCard);
        files.emplace_back(dir / PathFromUtf8(names.Cards[i].second), &contents.UiCardRows[i].UnitCard);
    }
    for (std::size_t i = 0; i < contents.TextureRows.size(); ++i)
        files.emplace_back(dir / PathFromUtf8(names.Textures[i]), &contents.TextureRows[i].Texture);
    fs::path manifest = dir / "unit.toml";

    // Refuse before writing anything, so a refused unpack changes nothing.
    if (!force) {
        std::vector<fs::path> all{manifest};
        for (const auto& file : files)
            all.push_back(file.first);
        for (const auto& path : all) {
            // A link counts as there even when it leads nowhere: writing
            // would follow it.
            if (std::error_code error; fs::exists(fs::symlink_status(path, error)))
                throw EUnpackTargetExists(PathToUtf8(path));
        }
    }
    TUnpackUndo undo;
    undo.NoteFoldersToCreate(dir);
    std::error_code error;
    fs::create_directories(dir, error);
    if (error)
        throw Exception("Cannot create folder " + folder + ": " + error.message());
    for (const auto& [path, bytes] : files)
        undo.Save(path, bytes->data(), bytes->size());
    std::string text = ManifestText(contents, names);
    undo.Save(manifest, text.data(), text.size());
    undo.Keep();
    return {PathToUtf8(manifest), files.size(), RoundTripWarnings(contents)};
}

std::string SafeFileNamePart(std::string_view text)
{
    std::string name;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        bool refused = byte < 0x20 || byte == 0x7F || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
        name += refused ? '_' : c;
    }
    name = std::string(Utf8PrefixBytes(name, MaxFactionBytesInFileName));
    // A name of dots alone would mean this folder or the one above.
    if (name.find_first_not_of('.') == std::string::npos)
        name = std::string(name.size(), '_');
    return name.empty() ? "_" : name;
}

} // namespace quorin

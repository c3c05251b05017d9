#include "Unpack.h"

#include <algorithm>
#include <filesystem>
#include <span>

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

// Copying from the package file goes in pieces of this size.
constexpr std::int64_t CopyPieceBytes = 1 << 20;

// Where one unpacked file's bytes come from: memory, or a stretch of the
// package file.
struct TFileSource {
    std::span<const std::uint8_t> Bytes;
    TStream* Package = nullptr;
    std::int64_t Offset = 0;
    std::int64_t Size = 0;
};

class TPieceCopier {
public:
    void Write(const TFileSource& source, TStream& to)
    {
        if (!source.Package) {
            to.WriteBuffer(source.Bytes.data(), static_cast<std::int64_t>(source.Bytes.size()));
            return;
        }
        if (source.Package->Seek(source.Offset, TSeekOrigin::Beginning) != source.Offset)
            throw Exception("Stream read error");
        if (buffer_.empty() && source.Size > 0)
            buffer_.resize(static_cast<std::size_t>(std::min(source.Size, CopyPieceBytes)));
        for (std::int64_t left = source.Size; left > 0;) {
            std::int64_t piece = std::min(left, static_cast<std::int64_t>(buffer_.size()));
            source.Package->ReadBuffer(buffer_.data(), piece);
            to.WriteBuffer(buffer_.data(), piece);
            left -= piece;
        }
    }

private:
    std::vector<std::uint8_t> buffer_; // one for every file
};

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

    void Save(const fs::path& path, const TFileSource& source)
    {
        std::error_code error;
        bool existed = fs::exists(fs::symlink_status(path, error));
        TSaveFileStream file(PathToUtf8(path));
        copier_.Write(source, file);
        file.Commit();
        if (!existed)
            files_.push_back(path);
    }

    void Keep() { kept_ = true; }

private:
    TPieceCopier copier_;
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

namespace {

// sources: the model, each UI card row's INFO and #unit card, each texture.
TUnpackResult Unpack(const TPackage& contents, const std::vector<TFileSource>& sources, const std::string& folder,
                     bool force)
{
    TUnpackedNames names = UnpackedNames(contents);
    fs::path dir = PathFromUtf8(folder);

    std::vector<fs::path> files{dir / names.Model};
    for (const auto& [info, unit] : names.Cards) {
        files.push_back(dir / PathFromUtf8(info));
        files.push_back(dir / PathFromUtf8(unit));
    }
    for (const auto& texture : names.Textures)
        files.push_back(dir / PathFromUtf8(texture));
    fs::path manifest = dir / "unit.toml";

    // Refuse before writing anything, so a refused unpack changes nothing.
    if (!force) {
        std::vector<fs::path> all{manifest};
        all.insert(all.end(), files.begin(), files.end());
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
    for (std::size_t i = 0; i < files.size(); ++i)
        undo.Save(files[i], sources[i]);
    std::string text = ManifestText(contents, names);
    undo.Save(manifest, {{reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}});
    undo.Keep();
    return {PathToUtf8(manifest), files.size(), RoundTripWarnings(contents)};
}

} // namespace

TUnpackResult UnpackPackage(const TPackage& contents, const std::string& folder, bool force)
{
    std::vector<TFileSource> sources{{contents.Model}};
    for (const auto& row : contents.UiCardRows) {
        sources.push_back({row.InfoCard});
        sources.push_back({row.UnitCard});
    }
    for (const auto& row : contents.TextureRows)
        sources.push_back({row.Texture});
    return Unpack(contents, sources, folder, force);
}

TUnpackResult UnpackPackageFile(const std::string& path, const std::string& folder, bool force)
{
    auto stream = OpenPackageFile(path);
    TPackagePlaces places;
    const TPackage outline = ReadPackageOutline(*stream, places);
    auto from = [&](const TEmbeddedFile& file) { return TFileSource{{}, stream.get(), file.Offset, file.Size}; };
    std::vector<TFileSource> sources{from(places.Model)};
    for (const auto& [info, unit] : places.Cards) {
        sources.push_back(from(info));
        sources.push_back(from(unit));
    }
    for (const auto& texture : places.Textures)
        sources.push_back(from(texture));
    return Unpack(outline, sources, folder, force);
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

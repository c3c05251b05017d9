#include "Commands.h"

#include <filesystem>
#include <new>
#include <optional>
#include <ostream>

#include "Inspect.h"
#include "package/Manifest.h"
#include "Render.h"
#include "base/FileSystem.h"
#include "base/RuntimeText.h"
#include "base/SaveFile.h"
#include "base/Text.h"
#include "imaging/Bitmap.h"
#include "imaging/Picture.h"
#include "imaging/PngWriter.h"
#include "install/Install.h"
#include "package/Build.h"
#include "package/PackageReader.h"

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

TUnpackedNames NamesFor(const TPackage& package)
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

// The one boundary of a command: whatever it throws becomes exit code 1 and a
// message, so no input can end the program with an abort.
template <typename TBody>
int Guarded(std::ostream& err, TBody&& body)
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        err << "Out of memory\n";
    } catch (const std::exception& e) {
        err << EscapeControlCharacters(e.what()) << '\n';
    }
    return 1;
}

// What a package of the sheet would hold, read straight from the sheet's files.
TPackage PackageFromSheet(const TUnitSheet& sheet)
{
    auto load = [](const std::string& path) {
        TMemoryStream stream;
        stream.LoadFromFile(path);
        return TBytes(stream.Memory(), stream.Memory() + stream.Size());
    };
    TPackage package;
    package.UnitName = sheet.UnitName;
    package.ModelName = sheet.ModelName;
    package.Skeletons = sheet.Skeletons;
    package.CustomSkeletons = sheet.CustomSkeletons;
    package.GameVersion = sheet.GameVersion;
    for (const auto& row : sheet.UiCardRows) {
        if (!row.UnitCardFile)
            RaiseListIndexOutOfBounds(1); // as a build of the same sheet fails
        package.UiCardRows.push_back({row.Faction, load(row.InfoCardFile), load(*row.UnitCardFile)});
    }
    package.Model = load(sheet.ModelFile);
    for (const auto& row : sheet.TextureRows)
        package.TextureRows.push_back({row.Faction, load(row.TextureFile)});
    package.ModelBattleLines = sheet.ModelBattleLines;
    package.UnitDescrLines = sheet.UnitDescrLines;
    package.UnitTextLines = sheet.UnitTextLines;
    return package;
}

} // namespace

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

int RunBuild(const std::string& manifest, const std::string& output, std::ostream& out, std::ostream& err)
{
    return Guarded(err, [&] {
        TUnitSheet sheet = LoadManifest(manifest);
        CheckOutputIsNoInput(sheet, output, {manifest});
        out << EscapeControlCharacters(BuildPackage(sheet, output)) << '\n';
        return 0;
    });
}

int RunInspect(const std::string& package, bool json, std::ostream& out, std::ostream& err)
{
    return Guarded(err, [&] {
        auto stream = OpenPackageFile(package);
        if (json)
            PrintPackageJson(*stream, out);
        else
            PrintPackageText(*stream, out);
        return 0;
    });
}

int RunUnpack(const std::string& package, const std::string& folder, bool force, std::ostream& out, std::ostream& err)
{
    return Guarded(err, [&] {
        TPackage contents = ReadPackage(package);
        TUnpackedNames names = NamesFor(contents);
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
            for (const auto& path : [&] {
                     std::vector<fs::path> all{manifest};
                     for (const auto& file : files)
                         all.push_back(file.first);
                     return all;
                 }()) {
                // A link counts as there even when it leads nowhere: writing
                // would follow it.
                if (std::error_code error; fs::exists(fs::symlink_status(path, error))) {
                    err << EscapeControlCharacters(PathToUtf8(path)) << " exists; use --force to overwrite\n";
                    return 1;
                }
            }
        }
        TUnpackUndo undo;
        undo.NoteFoldersToCreate(dir);
        std::error_code error;
        fs::create_directories(dir, error);
        if (error) {
            err << "Cannot create folder " << EscapeControlCharacters(folder) << ": " << error.message() << '\n';
            return 1;
        }
        for (const auto& [path, bytes] : files)
            undo.Save(path, bytes->data(), bytes->size());
        std::string text = ManifestText(contents, names);
        undo.Save(manifest, text.data(), text.size());
        undo.Keep();

        for (const auto& warning : RoundTripWarnings(contents))
            err << "warning: " << warning << "; unit.toml will not rebuild it unchanged\n";
        out << "Unpacked " << files.size() << " files and unit.toml into " << EscapeControlCharacters(folder) << '\n';
        return 0;
    });
}

int RunPicture(const std::string& input, const std::string& output, std::ostream& out, std::ostream& err)
{
    return Guarded(err, [&] {
        TPicture picture;
        picture.LoadByExtension(input);
        auto* bitmap = dynamic_cast<TBitmap*>(picture.Graphic());
        std::unique_ptr<TBitmap> rendered;
        if (!bitmap) {
            rendered = RenderToBitmap(*picture.Graphic());
            if (!rendered) {
                err << "This build of quorin cannot draw " << picture.Graphic()->ClassType().Name << " pictures\n";
                return 1;
            }
            bitmap = rendered.get();
        }
        WritePng(*bitmap, output, bitmap->HasAlphaChannel());
        out << EscapeControlCharacters(input) << " (" << bitmap->Width() << "x" << bitmap->Height() << ") written to "
            << EscapeControlCharacters(output) << '\n';
        return 0;
    });
}

int RunInstall(const std::string& source, const std::string& mod, bool dryRun, bool replace, std::ostream& out,
               std::ostream& err)
{
    return Guarded(err, [&] {
        bool manifest = LowerCaseText(FileExtension(source)) == "toml";
        TPackage unit = manifest ? PackageFromSheet(LoadManifest(source)) : ReadPackage(source);
        TInstallPlan plan = PlanInstall(unit, mod, replace);
        for (const auto& line : DescribeInstall(plan))
            out << line << '\n';
        const std::string& name = plan.Targets.Dictionary;
        if (!replace && !plan.Conflicts.empty()) {
            err << "Cannot install " << name << " into " << mod << ", these are in the way:\n";
            for (const auto& conflict : plan.Conflicts)
                err << "  " << conflict << '\n';
            err << "Nothing was changed. Use --replace to replace them.\n";
            return 1;
        }
        if (dryRun) {
            out << "Dry run: nothing was changed.\n";
            return 0;
        }
        try {
            CommitInstall(plan);
        } catch (const Exception& e) {
            err << "Cannot install " << name << ": " << e.Message() << "\nNothing was changed.\n";
            return 1;
        }
        out << "Installed " << name << "; quorin uninstall " << name << " --mod " << mod << " takes it out again.\n";
        return 0;
    });
}

int RunUninstall(const std::string& dictionary, const std::string& mod, bool force, std::ostream& out,
                 std::ostream& err)
{
    return Guarded(err, [&] {
        TUninstallPlan plan = PlanUninstall(mod, dictionary, force);
        if (!plan.Changed.empty()) {
            if (!force)
                err << "Cannot uninstall " << dictionary << " from " << mod << ", changed since it was installed:\n";
            for (const auto& changed : plan.Changed)
                err << (force ? "warning: " : "  ") << changed << '\n';
            if (!force) {
                err << "Nothing was changed. Use --force to uninstall it anyway.\n";
                return 1;
            }
        }
        try {
            CommitUninstall(plan);
        } catch (const Exception& e) {
            err << "Cannot uninstall " << dictionary << ": " << e.Message() << "\nNothing was changed.\n";
            return 1;
        }
        for (const auto& line : plan.Description)
            out << "  " << line << '\n';
        out << "Uninstalled " << dictionary << " from " << mod << ".\n";
        return 0;
    });
}

} // namespace quorin

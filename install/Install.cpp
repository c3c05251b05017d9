#include "Install.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string_view>

#include <toml++/toml.h>

#include "EntryDiff.h"
#include "base/RunBeside.h"
#include "base/Blake2b.h"
#include "base/FileSystem.h"
#include "base/Text.h"

namespace quorin {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view RecordFolder = "quorin/installed";
constexpr std::array<TDataFileKind, 3> DataKinds = {TDataFileKind::ModelBattle, TDataFileKind::UnitDescr,
                                                    TDataFileKind::UnitText};

fs::path Below(const std::string& root, std::string_view relative)
{
    return PathFromUtf8(root) / PathFromUtf8(relative);
}

bool Exists(const fs::path& path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

std::string ReadWhole(const fs::path& path, const std::string& shown)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw EInstallError("Cannot open file " + shown);
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        throw EInstallError("Cannot read " + shown);
    return bytes;
}

std::string_view AsText(const TBytes& bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string EntryWhat(TDataFileKind kind, std::string_view key)
{
    switch (kind) {
    case TDataFileKind::ModelBattle: return "model type " + std::string(key);
    case TDataFileKind::UnitDescr: return "unit type " + std::string(key);
    case TDataFileKind::UnitText: return "text {" + std::string(key) + "}";
    }
    return {};
}

const std::vector<std::string>& BlockLines(const TPackage& package, TDataFileKind kind)
{
    switch (kind) {
    case TDataFileKind::ModelBattle: return package.ModelBattleLines;
    case TDataFileKind::UnitDescr: return package.UnitDescrLines;
    case TDataFileKind::UnitText: break;
    }
    return package.UnitTextLines;
}

std::string Padded(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.resize(width, ' ');
    return text;
}

// The folders that earlier installs made. A later unit that puts files in
// them takes them on too, so that whichever unit comes out last removes them.
std::set<std::string> FoldersOfOtherInstalls(const std::string& mod)
{
    std::set<std::string> folders;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(Below(mod, RecordFolder), error)) {
        if (entry.path().extension() != ".toml")
            continue;
        try {
            toml::table record = toml::parse(ReadWhole(entry.path(), PathToUtf8(entry.path())));
            if (const toml::array* list = record["folders"].as_array())
                for (const auto& folder : *list)
                    if (auto path = folder.value<std::string>())
                        folders.insert(*path);
        } catch (const std::exception&) {
            // Another unit's damaged record is for its own uninstall to report.
        }
    }
    return folders;
}

} // namespace

std::string InstallChange(const std::string& dictionary)
{
    return "install of " + dictionary;
}

std::string UninstallChange(const std::string& dictionary)
{
    return "uninstall of " + dictionary;
}

std::string RecordPath(const std::string& dictionary)
{
    return std::string(RecordFolder) + "/" + dictionary + ".toml";
}

void RequireModFolder(const std::string& mod)
{
    std::error_code error;
    if (!fs::is_directory(Below(mod, "data"), error))
        throw EInstallError(mod + " holds no data folder: give the mod's root folder, the one with data/ in it");
}

TInstallPlan PlanInstall(const TPackage& package, const std::string& mod, bool replace)
{
    RequireModFolder(mod);
    std::error_code error;
    TInstallPlan plan;
    plan.Mod = mod;
    plan.Replace = replace;
    plan.Targets = UnitTargets(package);
    const std::string& dictionary = plan.Targets.Dictionary;
    const bool recorded = Exists(Below(mod, RecordPath(dictionary)));

    for (const auto& file : plan.Targets.Files) {
        bool seen = false;
        for (const auto& planned : plan.Files)
            seen = seen || LowerCaseText(planned.File.Destination) == LowerCaseText(file.Destination);
        if (seen)
            continue; // the same bytes as an earlier part, as UnitTargets made sure
        TPlannedFile planned{file, TFileAction::Create, {}, {}};
        fs::path target = Below(mod, file.Destination);
        if (fs::is_directory(target, error))
            throw EInstallError(file.Destination + " is a folder; the " + file.What + " cannot go there");
        if (Exists(target)) {
            std::string old = ReadWhole(target, file.Destination);
            if (old == AsText(*file.Bytes)) {
                planned.Action = TFileAction::Keep;
            } else {
                planned.Action = TFileAction::Replace;
                planned.OldBytes = std::move(old);
                plan.Conflicts.push_back(file.Destination + " exists with other bytes");
            }
        }
        plan.Files.push_back(std::move(planned));
    }

    // The unit's files are hashed beside the reading of the data files.
    auto hashFiles = [&plan] {
        for (auto& file : plan.Files)
            if (file.Action != TFileAction::Keep)
                file.Digest = Blake2b256Hex(AsText(*file.File.Bytes));
    };
    RunBeside(hashFiles, [&] {
        for (std::size_t i = 0; i < DataKinds.size(); ++i) {
            TDataFileKind kind = DataKinds[i];
            std::string name(DataFilePath(kind));
            fs::path path = Below(mod, name);
            if (!Exists(path))
                throw EInstallError(name + " is missing from " + mod);
            plan.DataFiles[i] = DecodeDataFile(kind, ReadWhole(path, name));
            TEntryPlan entries = AddEntries(plan.DataFiles[i], BlockLines(package, kind), replace);
            for (const auto& key : entries.ExistingKeys)
                plan.Conflicts.push_back(name + " already defines " + EntryWhat(kind, key));
            for (const auto& edit : entries.Edits)
                plan.Entries.push_back({kind, edit.ShownKey, edit.Replaced});
            if (!replace)
                for (const auto& key : entries.ExistingKeys)
                    plan.Entries.push_back({kind, key, true});
            for (const auto& key : entries.SameKeys)
                plan.Entries.push_back({kind, key, true, true});
            plan.Edits[i] = std::move(entries.Edits);
        }
    });
    if (recorded) {
        // Run again after an install that ended, even one killed in its very
        // last step, it finds nothing to do rather than refusing.
        auto unchanged = [](const TPlannedFile& file) { return file.Action == TFileAction::Keep; };
        auto noEdit = [](const std::vector<TEntryEdit>& edits) { return edits.empty(); };
        plan.AlreadyInstalled = plan.Conflicts.empty() && std::ranges::all_of(plan.Files, unchanged) &&
                                std::ranges::all_of(plan.Edits, noEdit);
        if (!plan.AlreadyInstalled)
            throw EInstallError(dictionary + " is already installed in " + mod + " (" + RecordPath(dictionary) +
                                "); uninstall it first");
    }
    return plan;
}

std::vector<std::string> DescribeInstall(const TInstallPlan& plan)
{
    const auto& targets = plan.Targets;
    std::vector<std::string> lines{"Unit " + targets.Dictionary + " (unit type \"" + targets.UnitType +
                                   "\", model type \"" + targets.ModelType + "\") into " + plan.Mod + ":"};
    for (const auto& file : plan.Files) {
        std::string state = file.Action == TFileAction::Create  ? "new"
                            : file.Action == TFileAction::Keep ? "already there with the same bytes"
                            : plan.Replace                     ? "replaces the file there"
                                                               : "CONFLICT: exists with other bytes";
        lines.push_back("  " + Padded(file.File.What, 28) + " -> " + file.File.Destination + " (" + state + ")");
    }
    for (const auto& entry : plan.Entries) {
        std::string state = !entry.Exists ? "add"
                            : entry.Same  ? "already there with the same lines"
                            : plan.Replace ? "replaces the entry there"
                                           : "CONFLICT: already defined";
        lines.push_back("  " + Padded(EntryWhat(entry.File, entry.Key), 28) + " -> " +
                        std::string(DataFilePath(entry.File)) + " (" + state + ")");
    }
    lines.push_back("  " + Padded("record", 28) + " -> " + RecordPath(targets.Dictionary));
    return lines;
}

void CommitInstall(const TInstallPlan& plan, const TTransactionHooks& hooks)
{
    if (!plan.Replace && !plan.Conflicts.empty())
        throw EInstallError("Cannot install " + plan.Targets.Dictionary + ": " + plan.Conflicts.front());
    const std::string& dictionary = plan.Targets.Dictionary;
    std::string saved = std::string(RecordFolder) + "/" + dictionary + "/";

    TFileTransaction mod(plan.Mod);
    toml::array files, entries;
    int oldCount = 0;
    std::vector<std::pair<std::string, std::string>> oldSaves;
    auto saveOld = [&](std::string bytes) {
        std::string path = saved + "old-" + std::to_string(++oldCount);
        oldSaves.emplace_back(path, std::move(bytes));
        return path;
    };

    for (const auto& file : plan.Files) {
        if (file.Action == TFileAction::Keep)
            continue;
        std::string_view bytes = AsText(*file.File.Bytes);
        mod.WriteBorrowed(file.File.Destination, bytes, file.Digest);
        toml::table row{{"path", file.File.Destination},
                        {"action", file.Action == TFileAction::Create ? "created" : "replaced"},
                        {"size", static_cast<std::int64_t>(bytes.size())},
                        {"blake2b", file.Digest}};
        if (file.Action == TFileAction::Replace)
            row.insert("old", saveOld(file.OldBytes));
        files.push_back(std::move(row));
    }
    for (std::size_t i = 0; i < DataKinds.size(); ++i) {
        if (plan.Edits[i].empty())
            continue;
        std::string name(DataFilePath(DataKinds[i]));
        if (DataKinds[i] == TDataFileKind::UnitText)
            mod.Write(name, EncodeDataFile(plan.DataFiles[i]));
        else
            mod.WriteBorrowed(name, plan.DataFiles[i].Text); // 8-bit files are held as they are written
        for (const auto& edit : plan.Edits[i]) {
            toml::table row{{"file", name},
                            {"key", edit.ShownKey},
                            {"action", edit.Replaced ? "replaced" : "added"},
                            {"key_offset", static_cast<std::int64_t>(edit.KeyOffset)},
                            {"length", static_cast<std::int64_t>(edit.NewText.size())},
                            {"blake2b", Blake2b256Hex(edit.NewText)}};
            if (edit.Replaced)
                row.insert("old", saveOld(edit.OldText));
            // Kept to show which lines a hand edit changed; TOML holds only UTF-8.
            std::string_view fromKey = std::string_view(edit.NewText).substr(edit.KeyOffset);
            if (IsValidUtf8(fromKey))
                row.insert("text", fromKey);
            entries.push_back(std::move(row));
        }
    }
    std::set<std::string> made;
    for (const auto& folder : mod.MissingFolders())
        made.insert(folder);
    std::set<std::string> shared = FoldersOfOtherInstalls(plan.Mod);
    for (const auto& file : plan.Files)
        for (std::string folder = file.File.Destination; folder.rfind('/') != std::string::npos;) {
            folder.resize(folder.rfind('/'));
            if (shared.contains(folder))
                made.insert(folder);
        }
    toml::array folders;
    for (const auto& folder : made)
        folders.push_back(folder);

    toml::table record{{"unit", dictionary},
                       {"unit_type", plan.Targets.UnitType},
                       {"model_type", plan.Targets.ModelType},
                       {"folders", std::move(folders)},
                       {"file", std::move(files)},
                       {"entry", std::move(entries)}};
    std::ostringstream text;
    text << "# What quorin install put into this mod; quorin uninstall " << dictionary << " takes it out.\n"
         << record << '\n';

    TFileTransaction all(plan.Mod);
    all.Describe(InstallChange(dictionary));
    all.Write(RecordPath(dictionary), std::move(text).str());
    for (auto& [path, bytes] : oldSaves)
        all.Write(path, std::move(bytes));
    all.Append(std::move(mod));
    all.Commit(hooks);
}

} // namespace quorin

namespace quorin {

namespace {

class TRecordReader {
public:
    TRecordReader(std::string mod, std::string path) : mod_(std::move(mod)), path_(std::move(path)) {}

    [[noreturn]] void Fail(const std::string& message) const
    {
        throw EInstallError(path_ + " cannot be used: " + message);
    }

    toml::table Parse() const
    {
        std::string text = ReadWhole(Below(mod_, path_), path_);
        try {
            return toml::parse(text, path_);
        } catch (const toml::parse_error& e) {
            Fail(std::string(e.description()));
        }
    }

    std::string Text(const toml::table& table, std::string_view key) const
    {
        auto value = table[key].value<std::string>();
        if (!value)
            Fail("\"" + std::string(key) + "\" is missing or not a string");
        return *value;
    }

    std::size_t Size(const toml::table& table, std::string_view key) const
    {
        auto value = table[key].value<std::int64_t>();
        if (!value || *value < 0)
            Fail("\"" + std::string(key) + "\" is missing or not a size");
        return static_cast<std::size_t>(*value);
    }

    // A path of the mod's data that the record names; never one outside it.
    std::string DataPath(const toml::table& table, std::string_view key) const
    {
        std::string path = Text(table, key);
        if (ModPath(path) != path)
            Fail("\"" + path + "\" does not lie inside the mod's data folder");
        return path;
    }

    // The saved old bytes of a replaced file or entry, from beside the record.
    std::string OldBytes(const toml::table& table, const std::string& dictionary) const
    {
        std::string path = Text(table, "old");
        std::string folder = std::string(RecordFolder) + "/" + dictionary + "/";
        if (!path.starts_with(folder) || !IsPlainName(path.substr(folder.size())))
            Fail("\"" + path + "\" does not lie beside the record");
        return ReadWhole(Below(mod_, path), path);
    }

    const toml::array& Rows(const toml::table& table, std::string_view key) const
    {
        static const toml::array none;
        const toml::node* node = table.get(key);
        if (!node)
            return none;
        if (!node->is_array_of_tables() && !(node->is_array() && node->as_array()->empty()))
            Fail("\"" + std::string(key) + "\" is not a list of tables");
        return *node->as_array();
    }

private:
    std::string mod_;
    std::string path_;
};

} // namespace

TUninstallPlan PlanUninstall(const std::string& mod, const std::string& dictionary, bool force)
{
    if (!IsPlainName(dictionary))
        throw EInstallError("\"" + dictionary + "\" is not a unit's dictionary name");
    TUninstallPlan plan;
    plan.Mod = mod;
    plan.Dictionary = dictionary;
    plan.Changes = TFileTransaction(mod);
    std::string recordPath = RecordPath(dictionary);
    if (!Exists(Below(mod, recordPath)))
        throw EInstallError(dictionary + " is not installed in " + mod + ": there is no " + recordPath);
    TRecordReader reader(mod, recordPath);
    toml::table record = reader.Parse();
    std::vector<std::string> oldFiles;

    for (const auto& node : reader.Rows(record, "file")) {
        const toml::table& row = *node.as_table();
        std::string path = reader.DataPath(row, "path");
        std::string action = reader.Text(row, "action");
        if (action != "created" && action != "replaced")
            reader.Fail("the action of " + path + " is \"" + action + "\"");
        fs::path target = Below(mod, path);
        bool present = Exists(target);
        if (!present)
            plan.Changed.push_back(path + " is missing");
        else if (Blake2b256Hex(ReadWhole(target, path)) != reader.Text(row, "blake2b"))
            plan.Changed.push_back(path + " was changed since it was installed");
        if (action == "created") {
            if (present)
                plan.Changes.Remove(path);
            plan.Description.push_back("remove " + path);
        } else {
            plan.Changes.Write(path, reader.OldBytes(row, dictionary));
            oldFiles.push_back(reader.Text(row, "old"));
            plan.Description.push_back("put back the old " + path);
        }
    }

    // Entries come out latest first, each from the file as the later ones left it.
    std::array<std::optional<TDataText>, 3> dataFiles;
    const toml::array& entries = reader.Rows(record, "entry");
    for (std::size_t n = entries.size(); n-- > 0;) {
        const toml::table& row = *entries[n].as_table();
        std::string name = reader.Text(row, "file");
        std::size_t index = 0;
        while (index < DataKinds.size() && DataFilePath(DataKinds[index]) != name)
            ++index;
        if (index == DataKinds.size())
            reader.Fail("\"" + name + "\" is not one of the game's data files");
        auto& file = dataFiles[index];
        if (!file) {
            if (!Exists(Below(mod, name)))
                throw EInstallError(name + " is missing from " + mod);
            file = DecodeDataFile(DataKinds[index], ReadWhole(Below(mod, name), name));
        }
        std::string key = reader.Text(row, "key");
        std::string action = reader.Text(row, "action");
        if (action != "added" && action != "replaced")
            reader.Fail("the action of " + key + " is \"" + action + "\"");
        std::string old;
        if (action == "replaced") {
            old = reader.OldBytes(row, dictionary);
            oldFiles.push_back(reader.Text(row, "old"));
        }
        std::string what = EntryWhat(DataKinds[index], key);
        std::size_t offset = reader.Size(row, "key_offset"), length = reader.Size(row, "length");
        std::string digest = reader.Text(row, "blake2b");
        if (!FindEdit(*file, key, offset, length, digest)) {
            std::string changed = name + ": the " + what + " was changed since it was installed";
            if (auto installed = row["text"].value<std::string>())
                changed += ":" + ChangedEntryLines(*file, key, *installed);
            plan.Changed.push_back(std::move(changed));
        }
        if (RevertEdit(*file, key, offset, length, digest, old, force))
            plan.Description.push_back((action == "added" ? "take the " + what + " out of " : "put back the old " + what + " in ") + name);
    }
    for (std::size_t i = 0; i < DataKinds.size(); ++i)
        if (dataFiles[i])
            plan.Changes.Write(std::string(DataFilePath(DataKinds[i])), EncodeDataFile(*dataFiles[i]));

    plan.Changes.Remove(recordPath);
    for (const auto& old : oldFiles)
        plan.Changes.Remove(old);
    plan.Description.push_back("remove the record " + recordPath);

    if (const toml::array* folders = record["folders"].as_array())
        for (const auto& folder : *folders) {
            auto path = folder.value<std::string>();
            if (!path || ModPath(*path) != *path)
                reader.Fail("a folder it names does not lie inside the mod's data folder");
            plan.Folders.push_back(*path);
        }
    plan.Folders.push_back(std::string(RecordFolder) + "/" + dictionary);
    plan.Folders.push_back(std::string(RecordFolder));
    plan.Folders.push_back("quorin");
    if (!force && !plan.Changed.empty())
        plan.Description.clear();
    plan.Force = force;
    return plan;
}

void CommitUninstall(TUninstallPlan& plan, const TTransactionHooks& hooks)
{
    if (!plan.Force && !plan.Changed.empty())
        throw EInstallError("Cannot uninstall " + plan.Dictionary + ": " + plan.Changed.front());
    plan.Changes.Describe(UninstallChange(plan.Dictionary));
    for (const auto& folder : plan.Folders)
        plan.Changes.RemoveFolder(folder);
    plan.Changes.Commit(hooks);
}

} // namespace quorin

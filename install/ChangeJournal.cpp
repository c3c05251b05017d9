#include "ChangeJournal.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

#include <toml++/toml.h>

#include "base/Blake2b.h"
#include "ChangeFiles.h"
#include "base/FileSystem.h"

namespace quorin {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view RollBackMark = "quorin/change/rolling-back";

using change::Before;
using change::Below;
using change::Exists;

toml::array TextArray(const std::vector<std::string>& texts)
{
    toml::array array;
    for (const auto& text : texts)
        array.push_back(text);
    return array;
}

enum class TState { Old, New, Other };

TState StateOf(const std::string& root, const TJournalStep& step)
{
    std::string digest = DigestOfFile(PathToUtf8(Below(root, step.Path)));
    if (digest == step.OldDigest)
        return TState::Old;
    return digest == step.NewDigest ? TState::New : TState::Other;
}

// Puts one file back as it was before the change; false when it cannot be.
bool PutBack(const std::string& root, const TJournalStep& step, const TOperationHook& before)
{
    TState state = StateOf(root, step);
    if (state == TState::Old)
        return true;
    if (state == TState::Other)
        return false;
    std::error_code error;
    if (step.Old.empty()) {
        Before(before, "remove " + step.Path);
        fs::remove(Below(root, step.Path), error);
        return !error;
    }
    if (!Exists(Below(root, step.Old)))
        return false;
    Before(before, "put back " + step.Path);
    return ReplaceFileWith(PathToUtf8(Below(root, step.Old)), PathToUtf8(Below(root, step.Path)));
}

} // namespace

bool RemoveFolderIfEmpty(const std::string& root, const std::string& relative, const TOperationHook& before)
{
    fs::path folder = Below(root, relative);
    std::error_code error;
    if (!fs::is_directory(folder, error) || !fs::is_empty(folder, error))
        return false;
    Before(before, "remove folder " + relative);
    return fs::remove(folder, error);
}

void SyncFoldersOf(const std::string& root, const std::vector<TJournalStep>& steps)
{
    std::set<fs::path> folders;
    for (const auto& step : steps)
        folders.insert(Below(root, step.Path).parent_path());
    for (const auto& folder : folders)
        SyncFolderToDevice(PathToUtf8(folder));
}

std::string DigestOfFile(const std::string& path)
{
    // One read into a buffer of the file's size: a mod's data files run to megabytes.
    std::ifstream in(PathFromUtf8(path), std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    std::streamoff size = in.tellg();
    if (size < 0)
        return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.seekg(0);
    in.read(bytes.data(), size);
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return Blake2b256Hex(bytes);
}

std::string JournalText(const TJournal& journal)
{
    toml::array steps;
    for (const auto& step : journal.Steps)
        steps.push_back(toml::table{{"path", step.Path},
                                    {"old", step.Old},
                                    {"old_blake2b", step.OldDigest},
                                    {"new", step.New},
                                    {"new_blake2b", step.NewDigest}});
    toml::table table{{"change", journal.Change},
                      {"made_folders", TextArray(journal.MadeFolders)},
                      {"removed_folders", TextArray(journal.RemovedFolders)},
                      {"file", std::move(steps)}};
    std::ostringstream text;
    text << "# An unfinished change of this mod: the next quorin install or uninstall finishes it or rolls it back.\n"
         << table << '\n';
    return std::move(text).str();
}

TJournal ParseJournal(std::string_view text)
{
    auto fail = [](const std::string& why) -> TJournal {
        throw EInstallError(std::string(JournalPath) + " cannot be used: " + why +
                            "; the mod is left as it is, see what the journal lists");
    };
    toml::table table;
    try {
        table = toml::parse(text);
    } catch (const toml::parse_error& e) {
        return fail(std::string(e.description()));
    }
    TJournal journal;
    auto texts = [&](std::string_view key, std::vector<std::string>& into) {
        if (const toml::array* array = table[key].as_array())
            for (const auto& node : *array)
                if (auto value = node.value<std::string>())
                    into.push_back(*value);
    };
    journal.Change = table["change"].value_or(std::string());
    texts("made_folders", journal.MadeFolders);
    texts("removed_folders", journal.RemovedFolders);
    const toml::array* steps = table["file"].as_array();
    if (!steps || journal.Change.empty())
        return fail("it names no change");
    for (const auto& node : *steps) {
        const toml::table* row = node.as_table();
        if (!row)
            return fail("a file row is not a table");
        TJournalStep step{(*row)["path"].value_or(std::string()), (*row)["old"].value_or(std::string()),
                          (*row)["old_blake2b"].value_or(std::string()), (*row)["new"].value_or(std::string()),
                          (*row)["new_blake2b"].value_or(std::string())};
        if (step.Path.empty())
            return fail("a file row has no path");
        journal.Steps.push_back(std::move(step));
    }
    return journal;
}

std::string DescribeRecovery(const TRecovery& recovery)
{
    using enum TRecovery::TOutcome;
    if (recovery.Outcome == Nothing || recovery.Outcome == Tidied)
        return {};
    std::string line = "Recovered the interrupted " + recovery.Change + ": ";
    line += recovery.Outcome == Finished ? "it was complete and is now finished"
                                         : "rolled it back, every file is as it was before it";
    if (!recovery.LeftAlone.empty()) {
        line += "; left as found, changed by hand since:";
        for (const auto& path : recovery.LeftAlone)
            line += " " + path;
    }
    return line + ".";
}

bool HasUnfinishedChange(const std::string& root)
{
    return Exists(Below(root, JournalPath));
}

std::vector<std::string> RollBackChange(const std::string& root, const TJournal& journal, const TOperationHook& before)
{
    // Marked first, so that a recovery after a kill goes on rolling back
    // even when every file is still new.
    if (!Exists(Below(root, RollBackMark))) {
        Before(before, "mark the roll-back");
        std::ofstream(Below(root, RollBackMark), std::ios::binary);
    }
    std::error_code error;
    for (auto folder = journal.RemovedFolders.rbegin(); folder != journal.RemovedFolders.rend(); ++folder)
        if (!Exists(Below(root, *folder))) {
            Before(before, "make folder " + *folder);
            fs::create_directory(Below(root, *folder), error);
        }
    std::vector<std::string> leftAlone;
    for (auto step = journal.Steps.rbegin(); step != journal.Steps.rend(); ++step)
        if (!PutBack(root, *step, before))
            leftAlone.push_back(step->Path);
    for (auto folder = journal.MadeFolders.rbegin(); folder != journal.MadeFolders.rend(); ++folder)
        RemoveFolderIfEmpty(root, *folder, before);
    SyncFoldersOf(root, journal.Steps);
    CloseChange(root, before);
    return leftAlone;
}

void CloseChange(const std::string& root, const TOperationHook& before)
{
    fs::path folder = Below(root, ChangeFolder), journal = Below(root, JournalPath);
    std::error_code error;
    std::vector<fs::path> kept;
    for (const auto& entry : fs::directory_iterator(folder, error))
        kept.push_back(entry.path());
    for (const auto& path : kept) {
        Before(before, "remove " + std::string(ChangeFolder) + "/" + PathToUtf8(path.filename()));
        fs::remove(path, error);
    }
    RemoveFolderIfEmpty(root, std::string(ChangeFolder), before);
    if (Exists(journal)) {
        Before(before, "remove the journal");
        fs::remove(journal, error);
    }
    RemoveFolderIfEmpty(root, "quorin", before);
}

TRecovery RecoverChange(const std::string& root, const TOperationHook& before)
{
    TRecovery recovery;
    if (!Exists(Below(root, JournalPath))) {
        // Stopped before the journal was written or as the change ended: no
        // file of the mod is half changed, only leftovers remain.
        bool ended = !Exists(Below(root, ChangeFolder)) && Exists(Below(root, "quorin"));
        CloseChange(root, before);
        if (ended && !Exists(Below(root, "quorin")))
            recovery.Outcome = TRecovery::TOutcome::Tidied;
        return recovery;
    }
    std::ostringstream text;
    {
        // Closed before the roll-back removes it: Windows removes no open file.
        std::ifstream in(Below(root, JournalPath), std::ios::binary);
        text << in.rdbuf();
    }
    TJournal journal = ParseJournal(text.view());
    recovery.Change = journal.Change;
    bool complete = !Exists(Below(root, RollBackMark));
    for (const auto& step : journal.Steps)
        complete = complete && StateOf(root, step) == TState::New;
    if (complete) {
        for (const auto& folder : journal.RemovedFolders)
            RemoveFolderIfEmpty(root, folder, before);
        CloseChange(root, before);
        recovery.Outcome = TRecovery::TOutcome::Finished;
    } else {
        recovery.LeftAlone = RollBackChange(root, journal, before);
        recovery.Outcome = TRecovery::TOutcome::RolledBack;
    }
    return recovery;
}

} // namespace quorin

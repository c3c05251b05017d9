#include "FileTransaction.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

#include "InstallError.h"
#include "base/Blake2b.h"
#include "ChangeFiles.h"
#include "base/FileSystem.h"
#include "base/RunBeside.h"

namespace quorin {

namespace fs = std::filesystem;

struct TPreparedStep {
    std::string Relative; // as the caller named it
    fs::path Target;      // symbolic links followed: the file a rename replaces
    std::string_view Bytes;
    bool Removes = false;
    TJournalStep Journal;
};

namespace {

using TStep = TPreparedStep;

using change::Before;
using change::Below;
using change::Exists;

// A file of the change kept under quorin/change/: linked where the file
// system can, else copied and pushed to the device.
void KeepOld(const fs::path& target, const fs::path& kept)
{
    std::error_code error;
    fs::create_hard_link(target, kept, error);
    if (!error)
        return;
    std::ifstream in(target, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in && !in.eof())
        throw EInstallError("Cannot read " + PathToUtf8(target));
    TSaveFileStream out(PathToUtf8(kept));
    std::string_view view = bytes.view();
    out.WriteBuffer(view.data(), static_cast<std::int64_t>(view.size()));
    out.Commit();
}

void Stage(const std::string& root, const TStep& step, const TTransactionHooks& hooks)
{
    if (!step.Removes) {
        std::string path = PathToUtf8(Below(root, step.Journal.New));
        Before(hooks.BeforeOperation, "write " + step.Journal.New);
        auto stream = hooks.Output ? hooks.Output(path) : std::make_unique<TSaveFileStream>(path);
        stream->LeavePushToDevice(); // all at once, before the first replacement
        stream->WriteBuffer(step.Bytes.data(), static_cast<std::int64_t>(step.Bytes.size()));
        stream->Commit();
        std::error_code error;
        if (!step.Journal.Old.empty()) // the new file keeps the old one's permissions
            fs::permissions(PathFromUtf8(path), fs::status(step.Target, error).permissions(), error);
    }
    if (!step.Journal.Old.empty()) {
        Before(hooks.BeforeOperation, "keep the old " + step.Relative);
        KeepOld(step.Target, Below(root, step.Journal.Old));
    }
}

// Waits once for the device to hold every new content, rather than once a
// file: a target is replaced only by a new content the device holds.
void PushStagedToDevice(const std::string& root, const std::vector<TStep>& steps)
{
    for (const auto& step : steps)
        if (!step.Removes && !SyncFileAtPathToDevice(PathToUtf8(Below(root, step.Journal.New))))
            throw EInstallError("Cannot write the new " + step.Relative);
    SyncFolderToDevice(PathToUtf8(Below(root, ChangeFolder)));
}

void Replace(const std::string& root, const TStep& step, const TTransactionHooks& hooks)
{
    if (step.Removes) {
        Before(hooks.BeforeOperation, "remove " + step.Relative);
        std::error_code error;
        fs::remove(step.Target, error);
        if (error)
            throw EInstallError("Cannot remove " + step.Relative + ": " + error.message());
        return;
    }
    Before(hooks.BeforeOperation, "replace " + step.Relative);
    if (!ReplaceFileWith(PathToUtf8(Below(root, step.Journal.New)), PathToUtf8(step.Target)))
        throw EInstallError("Cannot put the new " + step.Relative + " in its place");
}

void WriteJournal(const std::string& root, const TJournal& journal, const TOperationHook& before)
{
    std::error_code error;
    bool madeQuorin = false;
    for (std::string_view folder : {std::string_view("quorin"), ChangeFolder})
        if (!Exists(Below(root, folder))) {
            Before(before, "make folder " + std::string(folder));
            fs::create_directory(Below(root, folder), error);
            if (error)
                throw EInstallError("Cannot create folder " + std::string(folder) + ": " + error.message());
            madeQuorin = madeQuorin || folder == "quorin";
        }
    // Written in quorin/change/ and moved into place, so that a kill leaves
    // any temporary of it where the next run sweeps.
    Before(before, "write the journal");
    std::string written = PathToUtf8(Below(root, std::string(ChangeFolder) + "/journal.toml"));
    TSaveFileStream out(written);
    std::string text = JournalText(journal);
    out.WriteBuffer(text.data(), static_cast<std::int64_t>(text.size()));
    out.Commit();
    if (!ReplaceFileWith(written, PathToUtf8(Below(root, JournalPath))))
        throw EInstallError("Cannot write " + std::string(JournalPath));
    // The journal's name, and quorin/ itself when it is new.
    SyncFolderToDevice(PathToUtf8(Below(root, "quorin")));
    if (madeQuorin)
        SyncFolderToDevice(root);
}

// Runs body; a failure in it raises EInstallError naming current.
template <typename TBody>
void NamingFailures(const std::string& current, const std::function<void()>& onFailure, TBody&& body)
{
    try {
        body();
    } catch (const Exception& e) {
        onFailure();
        if (dynamic_cast<const EInstallError*>(&e))
            throw;
        throw EInstallError(current + ": " + e.Message());
    } catch (const std::exception& e) {
        onFailure();
        throw EInstallError(current + ": " + e.what());
    }
}

} // namespace

void TFileTransaction::Write(std::string relative, std::string bytes)
{
    auto owned = std::make_shared<const std::string>(std::move(bytes));
    std::string_view view = *owned;
    operations_.push_back({std::move(relative), std::move(owned), view, false, {}});
}

void TFileTransaction::WriteBorrowed(std::string relative, std::string_view bytes, std::string digest)
{
    operations_.push_back({std::move(relative), nullptr, bytes, false, std::move(digest)});
}

void TFileTransaction::Remove(std::string relative)
{
    operations_.push_back({std::move(relative), nullptr, {}, true, {}});
}

void TFileTransaction::Append(TFileTransaction other)
{
    for (auto& operation : other.operations_)
        operations_.push_back(std::move(operation));
}

std::vector<std::string> TFileTransaction::MissingFolders() const
{
    std::set<std::string> missing;
    for (const auto& operation : operations_) {
        if (operation.Removes)
            continue;
        std::string folder = operation.Relative;
        for (auto slash = folder.rfind('/'); slash != std::string::npos; slash = folder.rfind('/')) {
            folder.resize(slash);
            std::error_code error;
            if (fs::exists(Below(root_, folder), error))
                break;
            missing.insert(folder);
        }
    }
    std::vector<std::string> folders(missing.begin(), missing.end());
    // A parent sorts before its children; by depth for a clear order.
    std::stable_sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
        return std::count(a.begin(), a.end(), '/') < std::count(b.begin(), b.end(), '/');
    });
    return folders;
}

void TFileTransaction::RemoveFolder(std::string relative)
{
    removedFolders_.push_back(std::move(relative));
}

void TFileTransaction::Commit(const TTransactionHooks& hooks)
{
    if (HasUnfinishedChange(root_))
        throw EInstallError(root_ + " holds an unfinished change (" + std::string(JournalPath) +
                            "); it must be finished or rolled back first");
    CloseChange(root_, hooks.BeforeOperation); // what a change stopped before its journal left
    if (hooks.Cancelled && hooks.Cancelled())
        throw EChangeInterrupted("Interrupted");
    std::string current;
    TJournal journal{change_, MissingFolders(), {}, {}};
    std::vector<TStep> steps;
    NamingFailures(current, [] {}, [&] { steps = Prepare(journal, current); });
    NamingFailures(current, [&] { CloseChange(root_, hooks.BeforeOperation); },
                   [&] { WriteJournal(root_, journal, hooks.BeforeOperation); });
    auto rollBack = [&] { RollBackChange(root_, journal, hooks.BeforeOperation); };
    NamingFailures(current, rollBack, [&] {
        auto stopIfCancelled = [&] {
            if (hooks.Cancelled && hooks.Cancelled())
                throw EChangeInterrupted("Interrupted");
        };
        for (const auto& step : steps) {
            current = step.Relative;
            stopIfCancelled();
            Stage(root_, step, hooks);
        }
        current.clear();
        PushStagedToDevice(root_, steps);
        for (const auto& folder : journal.MadeFolders) {
            current = folder;
            Before(hooks.BeforeOperation, "make folder " + folder);
            std::error_code error;
            fs::create_directory(Below(root_, folder), error);
            if (error)
                throw EInstallError("Cannot create folder " + folder + ": " + error.message());
        }
        for (const auto& step : steps) {
            current = step.Relative;
            stopIfCancelled();
            if (hooks.BeforeReplace)
                hooks.BeforeReplace(step.Relative);
            Replace(root_, step, hooks);
        }
        stopIfCancelled(); // the last moment a roll-back is possible
        for (const auto& folder : journal.RemovedFolders)
            RemoveFolderIfEmpty(root_, folder, hooks.BeforeOperation);
        SyncFoldersOf(root_, journal.Steps);
    });
    CloseChange(root_, hooks.BeforeOperation);
}

std::vector<TPreparedStep> TFileTransaction::Prepare(TJournal& journal, std::string& current) const
{
    std::vector<TStep> candidates;
    candidates.reserve(operations_.size());
    for (const auto& operation : operations_) {
        current = operation.Relative;
        TStep step{operation.Relative, Below(root_, operation.Relative), operation.Bytes, operation.Removes, {}};
        std::error_code error;
        step.Journal.Path = operation.Relative;
        if (fs::is_symlink(fs::symlink_status(step.Target, error))) {
            step.Target = fs::weakly_canonical(step.Target, error);
            step.Journal.Path = PathToUtf8(step.Target);
        }
        if (fs::is_directory(step.Target, error))
            throw EInstallError(operation.Relative + " is a folder");
        if (!operation.Removes)
            RaiseUnlessReplaceable(PathToUtf8(step.Target));
        candidates.push_back(std::move(step));
    }
    current.clear();
    // The new contents are hashed beside the reading and hashing of the old
    // files: together they are most of an install's work.
    auto hashNew = [&] {
        for (std::size_t i = 0; i < candidates.size(); ++i)
            if (!operations_[i].Removes)
                candidates[i].Journal.NewDigest =
                    operations_[i].Digest.empty() ? Blake2b256Hex(operations_[i].Bytes) : operations_[i].Digest;
    };
    RunBeside(hashNew, [&] {
        for (auto& step : candidates)
            step.Journal.OldDigest = DigestOfFile(PathToUtf8(step.Target));
    });
    std::vector<TStep> steps;
    for (auto& step : candidates) {
        if (step.Journal.OldDigest == step.Journal.NewDigest)
            continue; // nothing to change
        std::string number = std::to_string(steps.size() + 1);
        std::string kept = std::string(ChangeFolder) + "/";
        if (!step.Journal.OldDigest.empty())
            step.Journal.Old = kept + "old-" + number;
        if (!step.Removes)
            step.Journal.New = kept + "new-" + number;
        journal.Steps.push_back(step.Journal);
        steps.push_back(std::move(step));
    }
    for (const auto& folder : removedFolders_)
        if (Exists(Below(root_, folder)))
            journal.RemovedFolders.push_back(folder);
    std::stable_sort(journal.RemovedFolders.begin(), journal.RemovedFolders.end(),
                     [](const std::string& a, const std::string& b) {
                         return std::count(a.begin(), a.end(), '/') > std::count(b.begin(), b.end(), '/');
                     });
    return steps;
}

} // namespace quorin

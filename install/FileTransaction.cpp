#include "FileTransaction.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "InstallError.h"
#include "base/FileSystem.h"

namespace quorin {

namespace fs = std::filesystem;

namespace {

fs::path Below(const std::string& root, std::string_view relative)
{
    return PathFromUtf8(root) / PathFromUtf8(relative);
}

// A free name beside target for the file while it is moved aside.
fs::path AsideName(const fs::path& target)
{
    for (int i = 0;; ++i) {
        fs::path aside = target;
        aside += ".quorin-undo" + (i == 0 ? std::string() : "-" + std::to_string(i));
        std::error_code error;
        if (!fs::exists(fs::symlink_status(aside, error)))
            return aside;
    }
}

struct TStep {
    std::string Relative;
    fs::path Target;
    std::unique_ptr<TSaveFileStream> Stream; // none for a removal
    fs::path Aside;                          // where the old file waits, when there was one
    bool Placed = false;                     // the new file is in the target's place
};

// Puts every step back as it was, latest first. Best effort: it runs on the
// failure path and must not throw.
void Undo(std::vector<TStep>& steps) noexcept
{
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        std::error_code error;
        if (!step->Aside.empty())
            fs::rename(step->Aside, step->Target, error);
        else if (step->Placed)
            fs::remove(step->Target, error);
    }
}

void RemoveFolders(const std::vector<fs::path>& folders) noexcept
{
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        std::error_code error;
        fs::remove(*folder, error);
    }
}

} // namespace

void TFileTransaction::Write(std::string relative, std::string bytes)
{
    auto owned = std::make_shared<const std::string>(std::move(bytes));
    std::string_view view = *owned;
    operations_.push_back({std::move(relative), std::move(owned), view, false});
}

void TFileTransaction::WriteBorrowed(std::string relative, std::string_view bytes)
{
    operations_.push_back({std::move(relative), nullptr, bytes, false});
}

void TFileTransaction::Remove(std::string relative)
{
    operations_.push_back({std::move(relative), nullptr, {}, true});
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

void TFileTransaction::Commit(const TTransactionHooks& hooks)
{
    std::vector<fs::path> made;
    std::vector<TStep> steps;
    std::string current;
    try {
        for (const auto& folder : MissingFolders()) {
            current = folder;
            std::error_code error;
            fs::create_directory(Below(root_, folder), error);
            if (error)
                throw EInstallError("Cannot create folder " + folder + ": " + error.message());
            made.push_back(Below(root_, folder));
        }
        // Everything new is complete on disk before the first target changes.
        for (const auto& operation : operations_) {
            current = operation.Relative;
            TStep step{operation.Relative, Below(root_, operation.Relative), nullptr, {}, false};
            if (!operation.Removes) {
                std::string path = PathToUtf8(step.Target);
                step.Stream = hooks.Output ? hooks.Output(path) : std::make_unique<TSaveFileStream>(path);
                step.Stream->WriteBuffer(operation.Bytes.data(), static_cast<std::int64_t>(operation.Bytes.size()));
            }
            steps.push_back(std::move(step));
        }
        for (auto& step : steps) {
            current = step.Relative;
            if (hooks.BeforeReplace)
                hooks.BeforeReplace(step.Relative);
            std::error_code error;
            if (fs::exists(fs::symlink_status(step.Target, error))) {
                fs::path aside = AsideName(step.Target);
                fs::rename(step.Target, aside, error);
                if (error)
                    throw EInstallError("Cannot move " + step.Relative + " aside: " + error.message());
                step.Aside = aside;
            }
            if (step.Stream) {
                step.Stream->Commit();
                step.Placed = true;
            }
        }
    } catch (const Exception& e) {
        Undo(steps);
        steps.clear(); // drops the temporaries not yet committed
        RemoveFolders(made);
        if (dynamic_cast<const EInstallError*>(&e))
            throw;
        throw EInstallError(current + ": " + e.Message());
    } catch (const std::exception& e) {
        Undo(steps);
        steps.clear();
        RemoveFolders(made);
        throw EInstallError(current + ": " + e.what());
    }
    for (const auto& step : steps) {
        std::error_code error;
        if (!step.Aside.empty())
            fs::remove(step.Aside, error);
    }
}

void RemoveEmptyFolders(const std::string& root, std::vector<std::string> relatives)
{
    std::sort(relatives.begin(), relatives.end(), [](const std::string& a, const std::string& b) {
        return std::count(a.begin(), a.end(), '/') > std::count(b.begin(), b.end(), '/');
    });
    for (const auto& relative : relatives) {
        std::error_code error;
        fs::path folder = Below(root, relative);
        if (fs::is_directory(folder, error) && fs::is_empty(folder, error))
            fs::remove(folder, error);
    }
}

} // namespace quorin

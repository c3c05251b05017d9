#pragma once
// The journal of one change of a mod, and what finishes or rolls back a
// change that a kill interrupted.
//
// Before the first file of the mod changes, the whole change is written and
// flushed to quorin/journal.toml: each file with its old and new digest,
// where its old version is kept and where its new one waits, both in
// quorin/change/. Every file is then changed by one rename or removal, so at
// any moment each is whole, as it was or as it will be. The journal is
// removed last, after quorin/change/; while it is there, the change is
// unfinished and the next run finishes it (when every file is already new)
// or rolls it back.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "InstallError.h"

namespace quorin {

// A change stopped on request (Ctrl+C, SIGTERM) and rolled back.
class EChangeInterrupted : public EInstallError { using EInstallError::EInstallError; };

// What a change calls before each operation on a file or folder, roll-back
// and recovery included; tests stop there as a kill would.
using TOperationHook = std::function<void(std::string_view operation)>;

constexpr std::string_view ChangeFolder = "quorin/change";
constexpr std::string_view JournalPath = "quorin/journal.toml";

struct TJournalStep {
    std::string Path;      // the file changed: below the root with "/", or absolute
    std::string Old;       // where its old version is kept; empty when it did not exist
    std::string OldDigest; // empty when it did not exist
    std::string New;       // where its new version waits; empty for a removal
    std::string NewDigest; // empty for a removal
};

struct TJournal {
    std::string Change;                      // what the change is, as "install roman_hastati"
    std::vector<std::string> MadeFolders;    // made before the files, shallowest first
    std::vector<std::string> RemovedFolders; // removed when empty after the files, deepest first
    std::vector<TJournalStep> Steps;
};

std::string JournalText(const TJournal& journal);
// Raises EInstallError naming the journal when text is not one.
TJournal ParseJournal(std::string_view text);

// The digest of the file at path as the journal writes it; empty when there
// is no file.
std::string DigestOfFile(const std::string& path);

struct TRecovery {
    // Tidied: no journal, only an empty quorin/ folder that the last moment of
    // a change that had ended left.
    enum class TOutcome { Nothing, Tidied, Finished, RolledBack };
    TOutcome Outcome = TOutcome::Nothing;
    std::string Change;
    std::vector<std::string> LeftAlone; // files changed by hand since, left as found
};

// The one line that tells what a recovery did; empty when it did nothing.
std::string DescribeRecovery(const TRecovery& recovery);

// Whether root holds an unfinished change.
bool HasUnfinishedChange(const std::string& root);

// Finishes or rolls back an unfinished change of root; does nothing when
// there is none. Raises EInstallError when its journal cannot be read.
TRecovery RecoverChange(const std::string& root, const TOperationHook& before = {});

// Puts every file of the journal back as it was and removes the change's
// folder; what it could not put back is listed.
std::vector<std::string> RollBackChange(const std::string& root, const TJournal& journal, const TOperationHook& before);

// Removes the folder below root when it is empty, and says whether it did;
// anything else is left alone.
bool RemoveFolderIfEmpty(const std::string& root, const std::string& relative, const TOperationHook& before);
// Pushes the folders of the journal's files to the device.
void SyncFoldersOf(const std::string& root, const std::vector<TJournalStep>& steps);

// Removes what the change kept in quorin/change/ and the folder, then the
// journal, and quorin/ itself when it is left empty.
void CloseChange(const std::string& root, const TOperationHook& before);

} // namespace quorin

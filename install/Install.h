#pragma once
// Putting a unit into a mod folder and taking it out again, all or nothing.
//
// Install copies the unit's files to their destinations, adds its entries to
// the three data files, and keeps a record in quorin/installed/<dictionary>.toml
// of every file it created or replaced and every entry it added or replaced,
// with the old bytes of what it replaced saved beside the record. Uninstall
// undoes exactly what the record says.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "InstallError.h"
#include "gamedata/DataFile.h"
#include "FileTransaction.h"
#include "UnitTargets.h"
#include "package/PackageReader.h"

namespace quorin {

enum class TFileAction { Create, Replace, Keep };

struct TPlannedFile {
    TUnitFile File;
    TFileAction Action = TFileAction::Create;
    std::string OldBytes; // the bytes a Replace overwrites
    std::string Digest;   // Blake2b256Hex of the file's bytes, for the record and the journal
};

struct TPlannedEntry {
    TDataFileKind File = TDataFileKind::ModelBattle;
    std::string Key;
    bool Exists = false;
    bool Same = false; // defined already by exactly the unit's lines: left as it is
};

struct TInstallPlan {
    std::string Mod;
    bool Replace = false;
    TUnitTargets Targets;
    std::vector<TPlannedFile> Files;
    std::vector<TPlannedEntry> Entries;
    // Each existing file or entry that stands in the way, naming its file;
    // --replace replaces them.
    std::vector<std::string> Conflicts;
    std::array<TDataText, 3> DataFiles;          // as they become
    std::array<std::vector<TEntryEdit>, 3> Edits; // what changes in each
    // Recorded as installed, and every file and entry is there as the unit
    // has it: nothing to do.
    bool AlreadyInstalled = false;
};

// Raises EInstallError when mod holds no data folder.
void RequireModFolder(const std::string& mod);

// Works out every destination and what is in the way. Raises EInstallError
// when the unit cannot go into mod at all: no data folder, a data file that
// is missing or not in its encoding, a destination that cannot be worked out,
// or the unit installed already otherwise than the package has it (installed
// exactly so, the plan says AlreadyInstalled). The package must outlive the plan.
TInstallPlan PlanInstall(const TPackage& package, const std::string& mod, bool replace);

// The plan as lines of text: each file and entry with its destination.
std::vector<std::string> DescribeInstall(const TInstallPlan& plan);

// Carries out a plan without conflicts (or one made with replace).
void CommitInstall(const TInstallPlan& plan, const TTransactionHooks& hooks = {});

struct TUninstallPlan {
    std::string Mod;
    std::string Dictionary;
    TFileTransaction Changes{""};
    std::vector<std::string> Folders;     // made by the install: removed when empty
    std::vector<std::string> Changed;     // what was changed since the install, naming each file
    std::vector<std::string> Description; // what uninstall does, line by line
    bool Force = false;
};

// Reads the record of dictionary in mod and works out how to undo it. Raises
// EInstallError when there is no record or it cannot be read.
TUninstallPlan PlanUninstall(const std::string& mod, const std::string& dictionary, bool force);
void CommitUninstall(TUninstallPlan& plan, const TTransactionHooks& hooks = {});

// How the journal and a recovery name an install and an uninstall of dictionary.
std::string InstallChange(const std::string& dictionary);
std::string UninstallChange(const std::string& dictionary);

// The record's path below the mod's root.
std::string RecordPath(const std::string& dictionary);

} // namespace quorin

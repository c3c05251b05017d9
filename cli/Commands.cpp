#include "Commands.h"

#include <filesystem>
#include <new>
#include <optional>
#include <ostream>

#include "CheckCommand.h"
#include "CommandBoundary.h"
#include "ModSession.h"
#include "PackageReport.h"
#include "package/Manifest.h"
#include "base/FileSystem.h"
#include "base/RuntimeText.h"
#include "base/SaveFile.h"
#include "base/Text.h"
#include "check/CheckUnit.h"
#include "install/Install.h"
#include "install/UnitTargets.h"
#include "package/Build.h"
#include "package/PackageReader.h"
#include "package/UnitFields.h"
#include "package/Unpack.h"

namespace quorin {

namespace {

namespace fs = std::filesystem;

// What a package of the sheet would hold, read straight from the sheet's files.
TPackage PackageFromSheet(const TUnitSheet& sheet)
{
    auto load = [](const std::string& path) {
        TMemoryStream stream;
        stream.LoadFromFile(path);
        return TBytes(stream.Memory(), stream.Memory() + stream.Size());
    };
    TPackage package;
    for (const auto& field : DescriptiveFields)
        package.*field.InPackage = sheet.*field.InSheet;
    for (const auto& field : {ModelNameField, SkeletonsField})
        package.*field.InPackage = sheet.*field.InSheet;
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
    for (const auto& block : TextBlockFields)
        package.*block.InPackage = sheet.*block.InSheet;
    return package;
}

// Each line of text with its control characters escaped, the line ends kept.
std::string EscapeLines(std::string_view text)
{
    std::string escaped;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        escaped += EscapeControlCharacters(text.substr(start, end - start));
        if (end < text.size())
            escaped += '\n';
        start = end + 1;
    }
    return escaped;
}

} // namespace

int RunBuild(const std::string& manifest, const std::string& output, bool strict, std::ostream& out,
             std::ostream& err)
{
    return Guarded(err, [&] {
        TUnitSheet sheet = LoadManifest(manifest);
        CheckOutputIsNoInput(sheet, output, {manifest});
        // Advice, not a gate: the modder decides, unless asked to be strict.
        const TFindings findings = CheckUnit(sheet);
        PrintFindings(findings, manifest, false, err);
        if (strict && HasError(findings)) {
            err << "Not built: the unit has errors and --strict was given\n";
            return 1;
        }
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
        TUnpackResult result;
        try {
            result = UnpackPackageFile(package, folder, force);
        } catch (const EUnpackTargetExists& exists) {
            err << EscapeControlCharacters(exists.Message()) << " exists; use --force to overwrite\n";
            return 1;
        }
        for (const auto& warning : result.Warnings)
            err << "warning: " << warning << "; unit.toml will not rebuild it unchanged\n";
        out << "Unpacked " << result.Files << " files and unit.toml into " << EscapeControlCharacters(folder) << '\n';
        return 0;
    });
}

int RunInstall(const std::string& source, const std::string& mod, bool dryRun, bool replace, std::ostream& out,
               std::ostream& err)
{
    return Guarded(err, [&] {
        if (dryRun && HasUnfinishedChange(mod)) {
            err << EscapeControlCharacters(mod) << " holds an interrupted change (" << JournalPath
                << "); quorin install --recover-only --mod DIR finishes it or rolls it back.\n"
                << "Dry run: nothing was changed.\n";
            return 1;
        }
        TModSession session(mod, !dryRun, out, err);
        bool manifest = LowerCaseText(FileExtension(source)) == "toml";
        TPackage unit = manifest ? PackageFromSheet(LoadManifest(source)) : ReadPackage(source);
        const std::string name = UnitTargets(unit).Dictionary;
        if (session.Finished(InstallChange(name))) {
            out << "Installed " << name << "; quorin uninstall " << name << " --mod " << mod << " takes it out again.\n";
            return 0;
        }
        TInstallPlan plan = PlanInstall(unit, mod, replace);
        if (plan.AlreadyInstalled) {
            out << name << " is already installed in " << mod << " as this unit has it: nothing was changed.\n";
            return 0;
        }
        for (const auto& line : DescribeInstall(plan))
            out << line << '\n';
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
            CommitInstall(plan, session.Hooks());
        } catch (const EChangeInterrupted&) {
            err << "Interrupted: the install of " << name << " was rolled back; every file of the mod is as it was.\n";
            session.EndByInterruption();
            return 1;
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
        TModSession session(mod, true, out, err);
        // Killed as it removed the last empty folder, an uninstall leaves only that.
        bool ended = session.Tidied() && !fs::exists(PathFromUtf8(mod) / PathFromUtf8(RecordPath(dictionary)));
        if (session.Finished(UninstallChange(dictionary)) || ended) {
            out << "Uninstalled " << dictionary << " from " << mod << ".\n";
            return 0;
        }
        TUninstallPlan plan = PlanUninstall(mod, dictionary, force);
        if (!plan.Changed.empty()) {
            if (!force)
                err << "Cannot uninstall " << dictionary << " from " << mod << ", changed since it was installed:\n";
            for (const auto& changed : plan.Changed)
                err << (force ? "warning: " : "  ") << EscapeLines(changed) << '\n';
            if (!force) {
                err << "Nothing was changed. Use --force to uninstall it anyway.\n";
                return 1;
            }
        }
        try {
            CommitUninstall(plan, session.Hooks());
        } catch (const EChangeInterrupted&) {
            err << "Interrupted: the uninstall of " << dictionary
                << " was rolled back; every file of the mod is as it was.\n";
            session.EndByInterruption();
            return 1;
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

int RunRecover(const std::string& mod, std::ostream& out, std::ostream& err)
{
    return Guarded(err, [&] {
        TModSession session(mod, true, out, err);
        if (session.Recovery().Outcome == TRecovery::TOutcome::Nothing)
            out << "No interrupted change in " << EscapeControlCharacters(mod) << ": nothing to do.\n";
        return 0;
    });
}

} // namespace quorin

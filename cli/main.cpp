// quorin: scripted builds, inspection, unpacking and installing of unit
// packages, and picture decoding, with the same library code and messages as
// the window.

#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <vector>

#include "CheckCommand.h"
#include "Commands.h"
#include "ModCommands.h"
#include "ModelCommand.h"
#include "PictureCommand.h"
#include "base/CommandLine.h"
#include "imaging/PictureModules.h"

int main(int argc, char** argv)
{
    quorin::SetUpConsoleOutput();
    // File names reach the commands as UTF-8 on every platform.
    std::vector<std::string> arguments = quorin::CommandLineUtf8(argc, argv);
    std::vector<char*> utf8Argv;
    for (auto& argument : arguments)
        utf8Argv.push_back(argument.data());

    // The output of a large package is many small writes; stdio needs not see each.
    std::ios::sync_with_stdio(false);
    quorin::StartPictureModules();

    CLI::App app{"quorin: build, check, inspect, unpack and install unit packages; convert pictures", "quorin"};
    app.require_subcommand(1);
    // "/mods/x" is a path, as on Linux, not a Windows-style option; the
    // subcommands take this from the app when they are added.
    app.allow_windows_style_options(false);

    std::string manifest, output, package, folder, source, mod, dictionary;
    bool json = false, force = false, dryRun = false, replace = false, strict = false, recoverOnly = false;

    auto* build = app.add_subcommand("build", "Build a package from a TOML unit manifest");
    build->add_option("manifest", manifest, "UNIT.toml")->required();
    build->add_option("-o,--output", output, "OUT.quorin (used as given)")->required();
    build->add_flag("--strict", strict, "Refuse to build when the checks find an error");

    auto* check = app.add_subcommand("check", "Check a unit, or a whole mod, for what the game would trip over");
    auto* checkUnit = check->add_option("unit", source, "UNIT.toml or PKG.quorin");
    auto* checkMod = check->add_option("--mod", mod, "DIR, a mod's root folder: check every unit and model in it");
    checkUnit->excludes(checkMod);
    check->add_flag("--json", json, "Print the findings as JSON");
    check->callback([&] {
        if (source.empty() && mod.empty())
            throw CLI::RequiredError("A unit or --mod");
    });

    std::string type;
    bool list = false;
    auto* extract = app.add_subcommand("extract", "Take a unit out of a mod: its entries, model, textures and cards, "
                                                  "and a unit.toml that builds it");
    auto* extractType = extract->add_option("type", type, "TYPE, the unit's type line in export_descr_unit.txt");
    extract->add_option("--mod", mod, "DIR, the mod's root folder (the one with data/ in it)")->required();
    auto* extractOutput = extract->add_option("-o,--output", folder, "OUTDIR, new or empty");
    auto* extractList = extract->add_flag("--list", list, "List the mod's units and the models they use");
    extractList->excludes(extractType)->excludes(extractOutput);
    extract->callback([&] {
        if (!list && (type.empty() || folder.empty()))
            throw CLI::RequiredError("TYPE and -o OUTDIR, or --list,");
    });

    auto* inspect = app.add_subcommand("inspect", "Show everything a package holds");
    inspect->add_option("package", package, "PKG")->required();
    inspect->add_flag("--json", json, "Print JSON with the manifest's key names");

    auto* unpack = app.add_subcommand("unpack", "Write a package's files and a unit.toml that rebuilds it");
    unpack->add_option("package", package, "PKG")->required();
    unpack->add_option("folder", folder, "DIR")->required();
    unpack->add_flag("--force", force, "Overwrite existing files");

    quorin::TPictureOptions pictureOptions;
    quorin::AddPictureCommand(app, pictureOptions);

    auto* install = app.add_subcommand("install", "Put a unit into a mod: its files, and its entries in the data files");
    install->add_option("unit", source, "PKG.quorin or UNIT.toml (none with --recover-only)");
    install->add_option("--mod", mod, "DIR, the mod's root folder (the one with data/ in it)")->required();
    install->add_flag("--dry-run", dryRun, "Print where everything would go and change nothing");
    install->add_flag("--replace", replace, "Replace the files and entries that are in the way");
    install->add_flag("--recover-only", recoverOnly,
                      "Only finish or roll back an install or uninstall of the mod that was interrupted");

    auto* uninstall = app.add_subcommand("uninstall", "Take an installed unit out of a mod again");
    uninstall->add_option("unit", dictionary, "D, the unit's dictionary name")->required();
    uninstall->add_option("--mod", mod, "DIR, the mod's root folder")->required();
    uninstall->add_flag("--force", force, "Uninstall even what was changed since the install");
    quorin::TModelOptions modelOptions;
    auto* model = quorin::AddModelCommand(app, modelOptions);

    try {
        app.parse(static_cast<int>(utf8Argv.size()), utf8Argv.data());
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << e.what() << "\n\n" << app.help();
        return 2;
    }

    if (*build)
        return quorin::RunBuild(manifest, output, strict, std::cout, std::cerr);
    if (*check && !mod.empty())
        return quorin::RunCheckMod(mod, json, std::cout, std::cerr);
    if (*check)
        return quorin::RunCheck(source, json, std::cout, std::cerr);
    if (*extract && list)
        return quorin::RunListUnits(mod, std::cout, std::cerr);
    if (*extract)
        return quorin::RunExtract(type, mod, folder, std::cout, std::cerr);
    if (*inspect)
        return quorin::RunInspect(package, json, std::cout, std::cerr);
    if (*model)
        return quorin::RunModel(modelOptions, std::cout, std::cerr);
    if (*unpack)
        return quorin::RunUnpack(package, folder, force, std::cout, std::cerr);
    if (*install && recoverOnly && (!source.empty() || dryRun || replace)) {
        std::cerr << "--recover-only takes no unit, --dry-run or --replace\n\n" << app.help();
        return 2;
    }
    if (*install && recoverOnly)
        return quorin::RunRecover(mod, std::cout, std::cerr);
    if (*install && source.empty()) {
        std::cerr << "unit is required\n\n" << app.help();
        return 2;
    }
    if (*install)
        return quorin::RunInstall(source, mod, dryRun, replace, std::cout, std::cerr);
    if (*uninstall)
        return quorin::RunUninstall(dictionary, mod, force, std::cout, std::cerr);
    return quorin::RunPicture(pictureOptions, std::cout, std::cerr);
}

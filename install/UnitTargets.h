#pragma once
// Where each part of a unit goes in a mod, worked out from the unit's own
// lines: the model and textures at the paths its model description names, the
// cards under its dictionary name.

#include <string>
#include <string_view>
#include <vector>

#include "package/PackageReader.h"

namespace quorin {

struct TUnitFile {
    std::string What;        // "model", "texture romans_julii", "INFO card romans_julii", ...
    std::string Destination; // below the mod's root, with "/"
    const TBytes* Bytes = nullptr;
};

struct TUnitTargets {
    std::string Dictionary;
    std::string UnitType;
    std::string ModelType;
    std::vector<TUnitFile> Files;
};

// Raises EInstallError listing every destination that cannot be worked out or
// that would leave the mod's data folder.
TUnitTargets UnitTargets(const TPackage& package);

// A path of the game's data files made safe: "\" becomes "/", and it must be
// relative, inside "data/", without "." or ".." parts. Empty when it is not.
std::string ModPath(std::string_view path);
// A faction or dictionary name that can be a file name: letters, digits, "_" and "-".
bool IsPlainName(std::string_view name);

} // namespace quorin

#pragma once
// The unit manifest: a TOML file holding a unit sheet, for scripted builds.

#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"
#include "package/PackageReader.h"
#include "package/UnitSheet.h"

namespace quorin {

class EManifestError : public Exception { using Exception::Exception; };

// Reads a manifest. Paths in it are relative to the manifest's folder.
// Missing keys take the new window's defaults; unknown keys are errors.
TUnitSheet LoadManifest(const std::string& path);

// The file names an unpacked package's files take, in the manifest's order.
struct TUnpackedNames {
    std::string Model;
    std::vector<std::pair<std::string, std::string>> Cards; // INFO, #unit
    std::vector<std::string> Textures;
};

// The sheet the package was built from, its files under the given names.
TUnitSheet SheetOfPackage(const TPackage& package, const TUnpackedNames& names);
// A manifest that rebuilds package from the named files beside it.
std::string ManifestText(const TPackage& package, const TUnpackedNames& names);

// The sheet as a manifest in folder: file paths relative to folder where
// they lie inside it, absolute otherwise (as given, when folder is empty).
std::string SheetManifestText(const TUnitSheet& sheet, const std::string& folder);
// Writes the sheet as a manifest at path, atomically, with the package's
// save code.
void SaveManifest(const TUnitSheet& sheet, const std::string& path);

// TOML's basic string with every character that needs it escaped.
std::string TomlString(std::string_view text);
// A multi-line basic string whose lines are exactly lines under the line rule.
std::string TomlLines(const std::vector<std::string>& lines);

} // namespace quorin

#pragma once
// Unpacking a package: every embedded file and a unit.toml that rebuilds it,
// written into a folder. The command line and the window share it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "Manifest.h"
#include "PackageReader.h"
#include "base/Exception.h"

namespace quorin {

// A file the unpack would overwrite; the message is its path. Nothing was written.
class EUnpackTargetExists : public Exception { using Exception::Exception; };

struct TUnpackResult {
    std::string Manifest;              // the unit.toml written
    std::size_t Files = 0;             // embedded files written beside it
    std::vector<std::string> Warnings; // lines unit.toml cannot carry back unchanged
};

// Writes the package's files and unit.toml into folder (made if missing).
// Without force an existing file refuses the unpack before anything is
// written; a failed unpack removes what it wrote.
TUnpackResult UnpackPackage(const TPackage& package, const std::string& folder, bool force);
// The same for the package file at path, each embedded file copied straight
// from it in pieces: memory stays small however large the files are.
TUnpackResult UnpackPackageFile(const std::string& path, const std::string& folder, bool force);

// The names unpacking gives the package's files in its folder.
TUnpackedNames UnpackedNames(const TPackage& package);

// A name made from text that cannot leave its folder: separators, control
// characters and characters that file systems refuse become "_".
std::string SafeFileNamePart(std::string_view text);

} // namespace quorin

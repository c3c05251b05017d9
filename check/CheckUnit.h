#pragma once
// Checks of a unit before it is packed: what the game will trip over (a card
// of the wrong size, a texture without mipmaps, a misspelt dictionary key),
// found from the sheet and its files, reading headers only where a header
// is enough.

#include <string>

#include "Finding.h"
#include "UnitFiles.h"
#include "package/PackageReader.h"
#include "package/UnitSheet.h"

namespace quorin {

// The findings of a sheet whose files are on the disk, errors first, then
// warnings, then notes, each kind in page order.
TFindings CheckUnit(const TUnitSheet& sheet);
TFindings CheckUnit(const TUnitSheet& sheet, const TUnitFiles& files);

// The findings of a read package; its files are named as unpacking names them.
TFindings CheckPackage(const TPackage& package);

} // namespace quorin

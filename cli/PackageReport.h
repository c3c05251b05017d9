#pragma once
// quorin inspect: everything a package holds, as text for people or as JSON,
// printed while the package is read. The package is checked whole before
// the first line is printed, so a damaged one prints nothing; memory stays
// small whatever the package holds, and no picture is decoded, only the
// headers that tell its size and kind.

#include <iosfwd>

#include "base/Stream.h"

namespace quorin {

void PrintPackageText(TStream& package, std::ostream& out);
void PrintPackageJson(TStream& package, std::ostream& out);

} // namespace quorin

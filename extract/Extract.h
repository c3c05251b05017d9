#pragma once
// Taking a unit out of a mod: its entries of the three data files, its model,
// its faction textures and its cards, written beside a unit.toml that builds
// it, with what the mod lacks listed where it was looked for.

#include <string>
#include <vector>

#include "base/Exception.h"
#include "package/UnitSheet.h"

namespace quorin {

class EExtractError : public Exception {
    using Exception::Exception;
};

struct TExtractGap {
    std::string What;                // "texture macedon", "INFO card merc", "text {d_descr}"
    std::vector<std::string> Looked; // where, below the mod's root or in which data file
};

struct TExtractResult {
    TUnitSheet Sheet;               // its paths relative to the folder written
    std::vector<std::string> Files; // copied, below the folder written
    std::vector<TExtractGap> Gaps;
    std::vector<std::string> Notes;
};

// Writes the unit whose type line is type into folder, which must not exist
// or be empty; the folder appears whole or not at all. Raises EExtractError
// when the mod has no such unit or its unit file cannot be read.
TExtractResult ExtractUnit(const std::string& mod, const std::string& type, const std::string& folder);

struct TUnitListing {
    std::string Type;
    std::string Dictionary;
    std::string Name;  // the text file's {dictionary} entry
    std::string Model; // the soldier line's model block
    std::vector<std::string> ModelFiles;
};

std::vector<TUnitListing> ListUnits(const std::string& mod);

} // namespace quorin

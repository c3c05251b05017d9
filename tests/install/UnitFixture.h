#pragma once
// A small unit like the example hastati, held in memory as a package reader
// would give it, for the install tests to change one line at a time.

#include <string>
#include <vector>

#include "package/PackageReader.h"
#include "tests/support/TestSupport.h"

namespace quorin::test {

inline TPackage HastatiUnit()
{
    TPackage unit;
    unit.UnitName = "Hastati";
    unit.ModelName = "roman_hastati";
    unit.Model = PatternBytes(300, 1);
    unit.TextureRows = {{"romans_julii", PatternBytes(128, 2)}, {"romans_brutii", PatternBytes(128, 3)}};
    unit.UiCardRows = {{"romans_julii", PatternBytes(64, 4), PatternBytes(32, 5)},
                       {"romans_brutii", PatternBytes(64, 6), PatternBytes(32, 7)}};
    unit.ModelBattleLines = {
        "type                roman_hastati",
        "skeleton            fs_swordsman, fs_spearman",
        "indiv_range         40",
        "texture             romans_julii, data/models_unit/textures/hastati_julii.tga",
        "texture             romans_brutii, data/models_unit/textures/hastati_brutii.tga",
        "model_flexi         data/models_unit/roman_hastati.cas, max",
    };
    unit.UnitDescrLines = {
        "type             roman hastati",
        "dictionary       roman_hastati      ; Hastati",
        "category         infantry",
        "soldier          roman_hastati, 40, 0, 1",
    };
    unit.UnitTextLines = {
        "{roman_hastati}Hastati",
        "{roman_hastati_descr}Young Roman citizens who form the front line of the legion.",
    };
    return unit;
}

// Replaces the first line of lines that starts with prefix.
inline void ReplaceLine(std::vector<std::string>& lines, const std::string& prefix, const std::string& line)
{
    for (auto& each : lines)
        if (each.starts_with(prefix)) {
            each = line;
            return;
        }
    lines.push_back(line);
}

} // namespace quorin::test

#pragma once
// A whole mod checked at once: every model block and every unit of its data
// files, with the checks of a unit before packing and the files the mod
// lacks, each problem once with the block, data file and line it stands at.

#include <string>
#include <vector>

#include "Finding.h"

namespace quorin {

struct TModFinding {
    TFinding Finding;     // its File below the mod's root
    std::string Block;    // "unit roman hastati", "model roman_hastati"; empty for a data file
    std::string DataFile; // the data file the block stands in
    int Line = 0;         // of the block's key line, from 1; 0 for none
};

struct TModCheck {
    std::vector<TModFinding> Findings;
    std::size_t Units = 0;
    std::size_t ModelBlocks = 0;
};

TModCheck CheckMod(const std::string& root);

} // namespace quorin

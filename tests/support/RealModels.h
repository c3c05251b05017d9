#pragma once
// The real models a test may try, from the folder QUORIN_REAL_MODELS names
// (the data is not part of the project): every .cas in it, at any depth,
// with its bytes.

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TestSupport.h"

namespace quorin::test {

// Nothing when no folder is named.
inline std::optional<std::vector<std::pair<std::filesystem::path, Bytes>>> RealModels()
{
    const char* folder = std::getenv("QUORIN_REAL_MODELS");
    if (!folder || !*folder)
        return std::nullopt;
    std::vector<std::pair<std::filesystem::path, Bytes>> models;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        auto extension = entry.path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (!entry.is_regular_file() || extension != ".cas")
            continue;
        std::ifstream file(entry.path(), std::ios::binary);
        models.emplace_back(entry.path(), Bytes{std::istreambuf_iterator<char>(file), {}});
    }
    return models;
}

} // namespace quorin::test

#pragma once
// What the benchmarks' made unit models share: a 20-bone skeleton with a
// baked animation of 68 keys, an export history and one material. Each
// benchmark adds the meshes it needs (weapons, a shield, a body, a cloak).

#include <string>

#include "tests/support/CasBuilder.h"

namespace quorin::bench {

inline test::TCasRecipe UnitModelRecipe()
{
    test::TCasRecipe recipe;
    recipe.History = "modder / 01.01.2026 / unit_lod0.cas / unit.max";
    recipe.Keys = 68;
    recipe.Nodes.push_back({"Scene Root"});
    for (std::uint32_t i = 1; i < 20; ++i)
        recipe.Nodes.push_back({"bone_" + std::to_string(i), i == 1 ? 0 : (i + 1) / 2, {0, 0.1f, 0}, 68, i % 2 ? 68u : 0u});
    recipe.Materials = {{true, "", "textures\\unit.tga"}};
    return recipe;
}

} // namespace quorin::bench

#pragma once
// Everything one package holds, as the window's pages hold it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorin {

struct TTextureRow {
    std::string Faction;
    std::string TextureFile;
};

struct TUiCardRow {
    std::string Faction;
    std::string InfoCardFile;
    // Missing when the second file dialog was cancelled; such a row cannot be built.
    std::optional<std::string> UnitCardFile;
};

struct TUnitSheet {
    std::string UnitName;
    std::string SourceMod;
    std::string UnitAuthor;
    std::string PackAuthor;
    std::string UnitVersion;
    std::string Comment;
    std::int32_t GameVersion = 0;
    std::string ModelName;
    std::string ModelFile;
    std::vector<TTextureRow> TextureRows;
    std::string Skeletons;
    bool CustomSkeletons = false;
    std::vector<std::string> ModelBattleLines;
    std::vector<std::string> UnitDescrLines;
    std::vector<std::string> UnitTextLines;
    std::vector<TUiCardRow> UiCardRows;
};

// The items of the game version list, by index.
inline constexpr std::array<std::string_view, 6> GameVersionItems = {
    "Universal RTW",
    "Rome Total War 1.0-1.4",
    "Rome Total War 1.5",
    "Rome Total War 1.9 (Alexander Engine)",
    "Rome Total War Barbarian Invasion 1.4-1.5",
    "Rome Total War Barbarian Invasion 1.6",
};

inline constexpr std::size_t MaxLineLength = 4096;

// The lines of a multi-line text box: a CR LF pair, a lone LF and a lone CR
// each end a line; a final empty line is not counted; each line keeps at most
// its first 4096 characters.
std::vector<std::string> SplitTextLines(std::string_view text);

} // namespace quorin

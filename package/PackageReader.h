#pragma once
// The strict package reader: every field and every embedded file's bytes, or
// an EPackageError that names what was expected at which byte offset.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"
#include "base/Stream.h"

namespace quorin {

class EPackageError : public Exception { using Exception::Exception; };

using TBytes = std::vector<std::uint8_t>;

struct TPackageHeader {
    std::string Marker;
    std::array<std::int32_t, 5> Fillers{};
    std::int32_t Count = 0; // C: C + 1 filler values follow it
    std::vector<std::int32_t> TailFillers;
};

struct TPackageUiCardRow {
    std::string Faction;
    TBytes InfoCard;
    TBytes UnitCard;
};

struct TPackageTextureRow {
    std::string Faction;
    TBytes Texture;
};

struct TPackage {
    TPackageHeader Header;
    std::int64_t UnitNameOffset = 0; // where the header ends and the sheet starts
    std::string UnitName;
    std::string SourceMod;
    std::string UnitAuthor;
    std::string PackAuthor;
    std::string UnitVersion;
    std::string Comment;
    std::array<std::string, 4> ReservedTexts;
    std::int32_t GameVersion = 0;
    std::array<std::int32_t, 4> ReservedIntegers{};
    std::vector<TPackageUiCardRow> UiCardRows;
    TBytes Model;
    std::vector<TPackageTextureRow> TextureRows;
    std::string ModelName;
    std::string Skeletons;
    bool CustomSkeletons = false;
    std::vector<std::string> ModelBattleLines;
    std::vector<std::string> UnitDescrLines;
    std::vector<std::string> UnitTextLines;
};

TPackage ReadPackage(std::string_view path);
TPackage ReadPackage(TStream& stream);

} // namespace quorin

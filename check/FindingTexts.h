#pragma once
// Every finding's code, severity, field, page and texts in one table, both
// languages side by side, so a text is changed in one place.

#include <initializer_list>
#include <string>
#include <string_view>

#include "Finding.h"

namespace quorin {

enum class TCheck {
    SheetNoName,
    SheetNoModelName,
    SheetNoModel,
    SheetNoTexture,
    SheetNoCard,
    DuplicateTextureFaction,
    DuplicateCardFaction,
    TextureFactionEmpty,
    TextureFactionBad,
    CardFactionEmpty,
    CardFactionBad,
    CardMissingUnit,
    CardUnreadable,
    CardSize,
    CardNarrowUnit,
    CardDepth,
    CardAlphaOpaque,
    CardAlphaClear,
    TextureUnreadable,
    TextureNotPowerOfTwo,
    TextureTooLarge,
    TextureUncompressed,
    TextureMipmaps,
    ModelMissing,
    ModelEmpty,
    ModelVersion,
    ModelUnreadable,
    ModelTexture,
    ModelTwoBoneMesh,
    ModelTwoBoneTotal,
    ModelCounts,
    BattleEmpty,
    BattleNoType,
    BattleTypeName,
    BattleNoSkeleton,
    BattleSkeleton,
    BattleTextureNoRow,
    BattleRowNoTexture,
    BattleNoModel,
    BattleModelMax,
    DescrEmpty,
    DescrMissingLine,
    DescrSoldier,
    DescrOwnershipNoRow,
    DescrRowNoOwnership,
    TextEmpty,
    TextKey,
    // A whole mod's: what its data files name and it lacks.
    ModDataFile,
    ModSoldierNoBlock,
    ModModelMissing,
    ModTextureMissing,
    ModCardMissing,
};

// Where a finding points beyond its field: a row (from 1) and a file.
struct TFindingPlace {
    int Row = 0;
    std::string File;
};

// The finding of check, its texts' {1}, {2}, ... replaced by args in order.
TFinding MakeFinding(TCheck check, std::initializer_list<std::string_view> args, TFindingPlace place = {});

// Replaces {1} to {9} in text by args; a placeholder without an argument stays.
std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> args);

} // namespace quorin

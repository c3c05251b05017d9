#pragma once
// The checks CheckUnit runs, one function a concern.

#include <vector>

#include "gamedata/DataLines.h"
#include "Finding.h"
#include "UnitFiles.h"
#include "package/UnitSheet.h"

namespace quorin::checks {

// The text blocks, parsed once for every check that reads them.
struct TParsedBlocks {
    std::vector<TDataLine> ModelBattle;
    std::vector<TDataLine> UnitDescr;
};

void CheckSheet(const TUnitSheet& sheet, TFindings& findings);
void CheckCards(const TUnitSheet& sheet, const TUnitFiles& files, TFindings& findings);
void CheckTextures(const TUnitSheet& sheet, const TUnitFiles& files, TFindings& findings);
void CheckModel(const TUnitSheet& sheet, const TParsedBlocks& blocks, const TUnitFiles& files, TFindings& findings);
void CheckModelBattleBlock(const TUnitSheet& sheet, const TParsedBlocks& blocks, TFindings& findings);
void CheckUnitDescrBlock(const TUnitSheet& sheet, const TParsedBlocks& blocks, TFindings& findings);
void CheckUnitTextBlock(const TUnitSheet& sheet, const TParsedBlocks& blocks, TFindings& findings);

} // namespace quorin::checks

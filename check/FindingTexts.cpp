#include "FindingTexts.h"

#include <array>
#include <cstddef>

namespace quorin {

namespace {

struct TFindingText {
    TCheck Check;
    std::string_view Code;
    TSeverity Severity;
    std::string_view Field;
    TUnitPage Page;
    std::string_view English;
    std::string_view Russian;
};

using enum TCheck;
constexpr TSeverity Error = TSeverity::Error;
constexpr TSeverity Warning = TSeverity::Warning;
constexpr TSeverity Note = TSeverity::Note;
constexpr TUnitPage Basic = TUnitPage::Basic;
constexpr TUnitPage Model = TUnitPage::Model;
constexpr TUnitPage Unit = TUnitPage::Unit;
constexpr TUnitPage Cards = TUnitPage::Cards;

// In the order of TCheck.
constexpr TFindingText Texts[] = {
    {SheetNoName, "sheet-empty", Warning, "unit_name", Basic,
     "The unit has no name",
     "У юнита нет названия"},
    {SheetNoModelName, "sheet-empty", Warning, "model_name", Model,
     "The model has no name",
     "У модели нет имени"},
    {SheetNoModel, "sheet-empty", Warning, "model_file", Model,
     "No model file is chosen",
     "Не выбран файл модели"},
    {SheetNoTexture, "sheet-empty", Warning, "texture", Model,
     "The unit has no texture row",
     "Нет ни одной текстуры для фракций"},
    {SheetNoCard, "sheet-empty", Warning, "card", Cards,
     "The unit has no card row",
     "Нет ни одной строки карточек"},
    {DuplicateTextureFaction, "sheet-duplicate-faction", Warning, "texture", Model,
     "The faction {1} has two texture rows, {2} and {3}",
     "У фракции {1} две строки текстур: {2} и {3}"},
    {DuplicateCardFaction, "sheet-duplicate-faction", Warning, "card", Cards,
     "The faction {1} has two card rows, {2} and {3}",
     "У фракции {1} две строки карточек: {2} и {3}"},
    {TextureFactionEmpty, "faction-name", Error, "texture", Model,
     "The faction name of texture row {1} is empty",
     "Пустое имя фракции у текстуры в строке {1}"},
    {TextureFactionBad, "faction-name", Error, "texture", Model,
     "The faction name \"{2}\" of texture row {1} holds {3}, which no game folder can",
     "Имя фракции «{2}» у текстуры в строке {1} содержит {3}: в имени папки игры так нельзя"},
    {CardFactionEmpty, "faction-name", Error, "card", Cards,
     "The faction name of card row {1} is empty",
     "Пустое имя фракции в строке карточек {1}"},
    {CardFactionBad, "faction-name", Error, "card", Cards,
     "The faction name \"{2}\" of card row {1} holds {3}, which no game folder can",
     "Имя фракции «{2}» в строке карточек {1} содержит {3}: в имени папки игры так нельзя"},
    {CardMissingUnit, "card-missing-unit", Error, "card", Cards,
     "Card row {1} has no #unit card: the build stops on it",
     "В строке карточек {1} нет карточки #unit: на ней создание пака остановится"},
    {CardUnreadable, "card-unreadable", Error, "card", Cards,
     "The {1} card of row {2} cannot be read as TGA: {3}",
     "Карточку {1} в строке {2} не прочесть как TGA: {3}"},
    {CardSize, "card-size", Warning, "card", Cards,
     "The {1} card of row {2} is {3} x {4}; the game's {1} cards are {5} x {6}",
     "Карточка {1} в строке {2} размером {3} x {4}, а у игры карточки {1} — {5} x {6}"},
    {CardNarrowUnit, "card-size", Note, "card", Cards,
     "The #unit card of row {1} is 44 x 64; the game's are 48 x 64, though mods ship narrow ones too",
     "Карточка #unit в строке {1} размером 44 x 64; у игры они 48 x 64, но в модах бывают и такие"},
    {CardDepth, "card-depth", Warning, "card", Cards,
     "The {1} card of row {2} has {3} bits per pixel; the game's cards have 32, with an alpha channel",
     "Карточка {1} в строке {2}: {3} бит на точку; у игры карточки 32-битные, с альфа-каналом"},
    {CardAlphaOpaque, "card-alpha", Warning, "card", Cards,
     "The alpha channel of the {1} card of row {2} is opaque everywhere: the card shows as a square",
     "Альфа-канал карточки {1} в строке {2} везде непрозрачен: карточка будет квадратной"},
    {CardAlphaClear, "card-alpha", Warning, "card", Cards,
     "The alpha channel of the {1} card of row {2} is clear everywhere: the card does not show",
     "Альфа-канал карточки {1} в строке {2} везде прозрачен: карточки не будет видно"},
    {TextureUnreadable, "texture-unreadable", Error, "texture", Model,
     "The texture of row {1} cannot be read as DDS: {2}",
     "Текстуру в строке {1} не прочесть как DDS: {2}"},
    {TextureNotPowerOfTwo, "texture-size", Warning, "texture", Model,
     "The texture of row {1} is {2} x {3}: each side must be a power of two",
     "Текстура в строке {1} размером {2} x {3}: каждая сторона должна быть степенью двойки"},
    {TextureTooLarge, "texture-size", Warning, "texture", Model,
     "The texture of row {1} is {2} x {3}: the game takes at most 4096 on a side",
     "Текстура в строке {1} размером {2} x {3}: игра берёт не больше 4096 по стороне"},
    {TextureUncompressed, "texture-format", Note, "texture", Model,
     "The texture of row {1} is an uncompressed {2}-bit DDS; the game's own are DXT1 or DXT5, four to eight times "
     "smaller",
     "Текстура в строке {1} — несжатый {2}-битный DDS; у игры текстуры DXT1 или DXT5, в 4–8 раз меньше"},
    {TextureMipmaps, "texture-mipmaps", Warning, "texture", Model,
     "The texture of row {1} has {2} of its {3} mipmap levels: distant soldiers will shimmer",
     "У текстуры в строке {1} уровней MIP-карт {2} из {3}: дальние солдаты будут мерцать"},
    {ModelMissing, "model-missing", Error, "model_file", Model,
     "The model file cannot be read: {1}",
     "Файл модели не прочесть: {1}"},
    {ModelEmpty, "model-missing", Error, "model_file", Model,
     "The model file is empty",
     "Файл модели пуст"},
    {ModelVersion, "model-version", Warning, "model_file", Model,
     "The model file starts with version {1}; battle models carry 3.2, 3.22 or 3.23",
     "Файл модели начинается с версии {1}; у боевых моделей версия 3.2, 3.22 или 3.23"},
    {ModelUnreadable, "model-unreadable", Error, "model_file", Model,
     "{1}",
     "Модель не читается: {1}"},
    {ModelTexture, "model-texture", Warning, "model_file", Model,
     "The model names the texture {1}, which no texture line of descr_model_battle.txt provides: the game crashes "
     "where the mod lacks it",
     "Модель ссылается на текстуру {1}, которой нет ни в одной строке texture из descr_model_battle.txt: игра "
     "упадёт, если в моде её нет"},
    {ModelTwoBoneMesh, "model-two-bone", Warning, "model_file", Model,
     "The two-bone mesh {1} has {2} vertices; the game takes at most 100 in one such mesh",
     "В меше {1} с двумя костями на вершину вершин {2}; игра берёт не больше 100 в одном таком меше"},
    {ModelTwoBoneTotal, "model-two-bone", Warning, "model_file", Model,
     "The model has {1} two-bone vertices; the game takes at most 200 in a model",
     "В модели вершин с двумя костями {1}; игра берёт не больше 200 на модель"},
    {ModelCounts, "model-counts", Note, "model_file", Model,
     "The model has {1} triangles, {2} vertices and {3} bones",
     "В модели треугольников: {1}, вершин: {2}, костей: {3}"},
    {BattleEmpty, "block-empty", Warning, "model_battle", Model,
     "The descr_model_battle.txt block is empty",
     "Описание модели из descr_model_battle.txt пусто"},
    {BattleNoType, "battle-type", Warning, "model_battle", Model,
     "The descr_model_battle.txt block has no type line",
     "В описании модели из descr_model_battle.txt нет строки type"},
    {BattleTypeName, "battle-type", Warning, "model_battle", Model,
     "The type line of descr_model_battle.txt names {1}, not the model name {2}",
     "Строка type из descr_model_battle.txt называет {1}, а не имя модели {2}"},
    {BattleNoSkeleton, "battle-skeleton", Warning, "model_battle", Model,
     "The descr_model_battle.txt block has no skeleton line",
     "В описании модели из descr_model_battle.txt нет строки skeleton"},
    {BattleSkeleton, "battle-skeleton", Warning, "skeletons", Model,
     "The skeleton {1} of the skeleton line is not in the skeletons field",
     "Скелета {1} из строки skeleton нет в поле «Скелеты»"},
    {BattleTextureNoRow, "battle-texture", Warning, "model_battle", Model,
     "The texture line of the faction {1} has no texture row",
     "Для строки texture фракции {1} нет текстуры в списке"},
    {BattleRowNoTexture, "battle-texture", Warning, "texture", Model,
     "The texture row of the faction {1} has no texture line in descr_model_battle.txt",
     "У текстуры фракции {1} нет строки texture в descr_model_battle.txt"},
    {BattleNoModel, "battle-model", Warning, "model_battle", Model,
     "The descr_model_battle.txt block has no model_flexi, model_flexi_m or model_flexi_c line",
     "В описании модели из descr_model_battle.txt нет строки model_flexi, model_flexi_m или model_flexi_c"},
    {BattleModelMax, "battle-model", Warning, "model_battle", Model,
     "The last model_flexi line of descr_model_battle.txt ends with \"{1}\", not max",
     "Последняя строка model_flexi из descr_model_battle.txt кончается на «{1}», а не на max"},
    {DescrEmpty, "block-empty", Warning, "unit_descr", Unit,
     "The export_descr_unit.txt block is empty",
     "Описание юнита из export_descr_unit.txt пусто"},
    {DescrMissingLine, "descr-missing-line", Warning, "unit_descr", Unit,
     "The export_descr_unit.txt block has no {1} line",
     "В описании юнита из export_descr_unit.txt нет строки {1}"},
    {DescrSoldier, "descr-soldier", Warning, "unit_descr", Unit,
     "The soldier line of export_descr_unit.txt names the model {1}, not the model name {2}",
     "Строка soldier из export_descr_unit.txt называет модель {1}, а не имя модели {2}"},
    {DescrOwnershipNoRow, "descr-ownership", Warning, "unit_descr", Unit,
     "The faction {1} of the ownership line has no card row",
     "У фракции {1} из строки ownership нет строки карточек"},
    {DescrRowNoOwnership, "descr-ownership", Warning, "card", Cards,
     "The card row of the faction {1} is not in the ownership line of export_descr_unit.txt",
     "Фракции {1} из карточек нет в строке ownership из export_descr_unit.txt"},
    {TextEmpty, "block-empty", Warning, "unit_text", Unit,
     "The export_units.txt block is empty",
     "Описание юнита из text\\export_units.txt пусто"},
    {TextKey, "text-key", Warning, "unit_text", Unit,
     "The export_units.txt block has no {1} entry",
     "В описании юнита из text\\export_units.txt нет записи {1}"},
    {ModDataFile, "data-file", Error, "", Basic,
     "{1}: {2}",
     "{1}: {2}"},
    {ModSoldierNoBlock, "descr-soldier", Error, "unit_descr", Unit,
     "The soldier line names the model {1}, which descr_model_battle.txt does not describe: the game crashes",
     "Строка soldier называет модель {1}, которой нет в descr_model_battle.txt: игра упадёт"},
    {ModModelMissing, "model-missing", Error, "model_file", Model,
     "The model file {1} is not in the mod",
     "Файла модели {1} нет в моде"},
    {ModTextureMissing, "texture-unreadable", Error, "texture", Model,
     "The texture of the faction {1} is not in the mod; looked for {2}",
     "Текстуры фракции {1} нет в моде; искали {2}"},
    {ModCardMissing, "card-unreadable", Error, "card", Cards,
     "The {1} card of the faction {2} is not in the mod; looked for {3}",
     "Карточки {1} фракции {2} нет в моде; искали {3}"},
};

constexpr bool InCheckOrder()
{
    for (std::size_t i = 0; i < std::size(Texts); ++i)
        if (static_cast<std::size_t>(Texts[i].Check) != i)
            return false;
    return std::size(Texts) == static_cast<std::size_t>(ModCardMissing) + 1;
}
static_assert(InCheckOrder(), "one text per check, in the order of TCheck");

} // namespace

std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> args)
{
    std::string out;
    out.reserve(text.size() + 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{' && i + 2 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9' && text[i + 2] == '}') {
            const auto index = static_cast<std::size_t>(text[i + 1] - '1');
            if (index < args.size()) {
                out += *(args.begin() + index);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

TFinding MakeFinding(TCheck check, std::initializer_list<std::string_view> args, TFindingPlace place)
{
    const TFindingText& text = Texts[static_cast<std::size_t>(check)];
    TFinding finding;
    finding.Severity = text.Severity;
    finding.Code = text.Code;
    finding.Field = text.Field;
    finding.Page = text.Page;
    finding.Row = place.Row;
    finding.File = std::move(place.File);
    finding.Message = FillPlaceholders(text.English, args);
    finding.MessageRu = FillPlaceholders(text.Russian, args);
    return finding;
}

std::string_view SeverityName(TSeverity severity)
{
    switch (severity) {
    case TSeverity::Error: return "error";
    case TSeverity::Warning: return "warning";
    case TSeverity::Note: break;
    }
    return "note";
}

bool HasError(const TFindings& findings)
{
    for (const TFinding& finding : findings)
        if (finding.Severity == TSeverity::Error)
            return true;
    return false;
}

} // namespace quorin

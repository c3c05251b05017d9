// The checks that read the unit's files: cards, textures and the model.
#include <algorithm>
#include <charconv>
#include <exception>

#include "CardPixels.h"
#include "Checks.h"
#include "FindingTexts.h"
#include "base/Text.h"
#include "imaging/DDS.h"
#include "model/CasModel.h"

namespace quorin::checks {

namespace {

constexpr int InfoCardWidth = 160, InfoCardHeight = 210;
constexpr int UnitCardWidth = 48, UnitCardHeight = 64;
constexpr int NarrowUnitCardWidth = 44; // shipped by real mods; the game shows them
constexpr int MaxTextureSide = 4096;
constexpr std::size_t DDSHeadBytes = 128;

std::string Number(std::int64_t value) { return std::to_string(value); }

std::string FailureText(const std::exception& failure) { return failure.what(); }

// Card pictures are small: read whole, as the alpha needs every pixel, but
// not decoded: the checks need no picture.
void CheckCard(const TUnitFiles& files, const std::string& path, std::string_view which, int row, int width,
               int height, TFindings& findings)
{
    if (!files.Rereadable(path))
        return;
    const std::string rowText = Number(row);
    const TFindingPlace place{row, path};
    TCardPixels card;
    try {
        const TFileHead file = files.Head(path, WholeFile);
        card = ReadCardPixels(file.Bytes);
    } catch (const std::exception& failure) {
        findings.push_back(MakeFinding(TCheck::CardUnreadable, {which, rowText, FailureText(failure)}, place));
        return;
    }
    const bool narrowUnitCard = width == UnitCardWidth && card.Width == NarrowUnitCardWidth &&
                                card.Height == UnitCardHeight;
    if (narrowUnitCard)
        findings.push_back(MakeFinding(TCheck::CardNarrowUnit, {rowText}, place));
    else if (card.Width != width || card.Height != height)
        findings.push_back(MakeFinding(TCheck::CardSize,
                                       {which, rowText, Number(card.Width), Number(card.Height), Number(width),
                                        Number(height)},
                                       place));
    if (card.PixelDepth != 32) {
        findings.push_back(MakeFinding(TCheck::CardDepth, {which, rowText, Number(card.PixelDepth)}, place));
        return;
    }
    if (card.Alpha == TCardAlpha::Opaque)
        findings.push_back(MakeFinding(TCheck::CardAlphaOpaque, {which, rowText}, place));
    else if (card.Alpha == TCardAlpha::Clear)
        findings.push_back(MakeFinding(TCheck::CardAlphaClear, {which, rowText}, place));
}

bool IsPowerOfTwo(int side) { return side > 0 && (side & (side - 1)) == 0; }

void CheckTexture(const TUnitFiles& files, const std::string& path, int row, TFindings& findings)
{
    if (!files.Rereadable(path))
        return;
    const std::string rowText = Number(row);
    const TFindingPlace place{row, path};
    TDDSLayout layout;
    try {
        const TFileHead head = files.Head(path, DDSHeadBytes);
        layout = InspectDDSLayout(head.Bytes.data(), head.Bytes.size(), head.Size);
    } catch (const std::exception& failure) {
        findings.push_back(MakeFinding(TCheck::TextureUnreadable, {rowText, FailureText(failure)}, place));
        return;
    }
    const TPictureHeader& picture = layout.Picture;
    if (!picture.Error.empty()) {
        findings.push_back(MakeFinding(TCheck::TextureUnreadable, {rowText, picture.Error}, place));
        return;
    }
    const std::string width = Number(picture.Width), height = Number(picture.Height);
    if (!IsPowerOfTwo(picture.Width) || !IsPowerOfTwo(picture.Height))
        findings.push_back(MakeFinding(TCheck::TextureNotPowerOfTwo, {rowText, width, height}, place));
    if (picture.Width > MaxTextureSide || picture.Height > MaxTextureSide)
        findings.push_back(MakeFinding(TCheck::TextureTooLarge, {rowText, width, height}, place));
    if (layout.Dxt == 0)
        findings.push_back(MakeFinding(TCheck::TextureUncompressed, {rowText, Number(layout.BitCount)}, place));
    if (layout.MipmapLevels < layout.FullChainLevels)
        findings.push_back(MakeFinding(TCheck::TextureMipmaps,
                                       {rowText, Number(layout.MipmapLevels), Number(layout.FullChainLevels)}, place));
}

// The shortest text that reads back as the same float: 3.2, not 3.2000000476837.
std::string FloatText(float value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

bool IsBattleModelVersion(float version) { return version == 3.2f || version == 3.22f || version == 3.23f; }

// A texture path as the game compares them: no case, "\" as "/", no
// leading separator, and "x.tga" the same as the "x.tga.dds" it loads.
std::string GamePath(std::string_view path)
{
    std::string text = LowerCaseText(path);
    std::replace(text.begin(), text.end(), '\\', '/');
    text.erase(0, text.find_first_not_of('/'));
    if (text.ends_with(".dds"))
        text.resize(text.size() - 4);
    return text;
}

// The model names its textures from data/models_unit; texture lines name
// them from the mod's root.
bool LineProvides(const std::string& linePath, const std::string& modelPath)
{
    return linePath == modelPath || linePath == "data/models_unit/" + modelPath ||
           (linePath.size() > modelPath.size() && linePath.ends_with(modelPath) &&
            linePath[linePath.size() - modelPath.size() - 1] == '/');
}

void CheckModelTextures(const TCasModel& model, const TParsedBlocks& blocks, const std::string& path,
                        TFindings& findings)
{
    std::vector<std::string> provided;
    for (const TDataLine& line : blocks.ModelBattle)
        if (line.Keyword == "texture" && !line.Values.empty())
            provided.push_back(GamePath(line.Values.back()));
    std::vector<std::string> reported;
    for (const TCasMaterial& material : model.Materials) {
        if (material.Texture.empty())
            continue;
        const std::string named = GamePath(material.Texture);
        if (std::find(reported.begin(), reported.end(), named) != reported.end())
            continue;
        if (std::none_of(provided.begin(), provided.end(),
                         [&](const std::string& line) { return LineProvides(line, named); })) {
            findings.push_back(MakeFinding(TCheck::ModelTexture, {material.Texture}, {0, path}));
            reported.push_back(named);
        }
    }
}

} // namespace

void CheckCards(const TUnitSheet& sheet, const TUnitFiles& files, TFindings& findings)
{
    for (std::size_t i = 0; i < sheet.UiCardRows.size(); ++i) {
        const TUiCardRow& row = sheet.UiCardRows[i];
        const int number = static_cast<int>(i + 1);
        CheckCard(files, row.InfoCardFile, "INFO", number, InfoCardWidth, InfoCardHeight, findings);
        if (row.UnitCardFile)
            CheckCard(files, *row.UnitCardFile, "#unit", number, UnitCardWidth, UnitCardHeight, findings);
        else
            findings.push_back(MakeFinding(TCheck::CardMissingUnit, {Number(number)}, {number, {}}));
    }
}

void CheckTextures(const TUnitSheet& sheet, const TUnitFiles& files, TFindings& findings)
{
    for (std::size_t i = 0; i < sheet.TextureRows.size(); ++i)
        CheckTexture(files, sheet.TextureRows[i].TextureFile, static_cast<int>(i + 1), findings);
}

void CheckModel(const TUnitSheet& sheet, const TParsedBlocks& blocks, const TUnitFiles& files, TFindings& findings)
{
    const std::string& path = sheet.ModelFile;
    if (path.empty() || !files.Rereadable(path))
        return; // the sheet's own finding says so, or reading would take the build's bytes
    const TFindingPlace place{0, path};
    TFileHead file;
    try {
        file = files.Head(path, WholeFile);
    } catch (const std::exception& failure) {
        findings.push_back(MakeFinding(TCheck::ModelMissing, {FailureText(failure)}, place));
        return;
    }
    if (file.Bytes.empty()) {
        findings.push_back(MakeFinding(TCheck::ModelEmpty, {}, place));
        return;
    }
    TCasModel model;
    try {
        model = ReadCasModel(file.Bytes, FileNamePart(path), TCasDetail::Counts);
    } catch (const std::exception& failure) {
        // The reader's message names a version it cannot read.
        findings.push_back(MakeFinding(TCheck::ModelUnreadable, {FailureText(failure)}, place));
        return;
    }
    if (!IsBattleModelVersion(model.Header.Version))
        findings.push_back(MakeFinding(TCheck::ModelVersion, {FloatText(model.Header.Version)}, place));
    if (!IsBlankBlock(sheet.ModelBattleLines)) // else that block's own finding says more
        CheckModelTextures(model, blocks, path, findings);
    for (const TCasMesh& mesh : model.Meshes)
        if (mesh.Kind == TCasMeshKind::TwoBone && mesh.VertexCount > CasMaxTwoBoneMeshVertices)
            findings.push_back(
                MakeFinding(TCheck::ModelTwoBoneMesh, {mesh.Name, Number(mesh.VertexCount)}, place));
    const TCasTotals totals = CasTotals(model);
    if (totals.TwoBoneVertices > CasMaxTwoBoneModelVertices)
        findings.push_back(MakeFinding(TCheck::ModelTwoBoneTotal,
                                       {Number(static_cast<std::int64_t>(totals.TwoBoneVertices))}, place));
    findings.push_back(MakeFinding(TCheck::ModelCounts,
                                   {Number(static_cast<std::int64_t>(totals.Triangles)),
                                    Number(static_cast<std::int64_t>(totals.Vertices)),
                                    Number(static_cast<std::int64_t>(totals.Bones))},
                                   place));
}

} // namespace quorin::checks

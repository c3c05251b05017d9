#include "PackageLayout.h"

#include "Filler.h"
#include "base/RuntimeText.h"
#include "package/UnitFields.h"

namespace quorin {

namespace {

void WriteLines(TWriter& writer, const std::vector<std::string>& lines)
{
    writer.PutInteger(static_cast<std::int32_t>(lines.size()));
    for (const auto& line : lines)
        writer.PutString(line);
}

void WriteUiCardRow(TWriter& writer, const TUiCardRow& row, TMemoryStream& loadBuffer)
{
    writer.PutString(row.Faction);
    WriteEmbeddedFile(writer, row.InfoCardFile, loadBuffer);
    // The row's second file is item 1 of its file list; a row without it fails there.
    if (!row.UnitCardFile)
        RaiseListIndexOutOfBounds(1);
    WriteEmbeddedFile(writer, *row.UnitCardFile, loadBuffer);
}

} // namespace

void WritePackageHeader(TWriter& writer)
{
    writer.PutString(PackageMagic);
    writer.PutString(PackageMarker);
    for (int i = 0; i < HeaderFillerCount; ++i)
        writer.PutInteger(NextFiller(HeaderFillerRange));
    std::int32_t count = NextFiller(CountRange) + CountBase;
    writer.PutInteger(count);
    for (std::int32_t i = 0; i <= count; ++i)
        writer.PutInteger(NextFiller(TailFillerRange));
}

void WriteEmbeddedFile(TWriter& writer, std::string_view path, TMemoryStream& loadBuffer)
{
    loadBuffer.LoadFromFile(path);
    writer.PutInteger(static_cast<std::int32_t>(loadBuffer.Size()));
    writer.PutBytes(loadBuffer.Memory(), loadBuffer.Size());
}

void WriteUnitSheet(TWriter& writer, const TUnitSheet& sheet, TMemoryStream& loadBuffer)
{
    for (const auto& field : DescriptiveFields)
        writer.PutString(sheet.*field.InSheet);
    for (int i = 0; i < ReservedTextCount; ++i)
        writer.PutString(ReservedText);
    writer.PutInteger(sheet.GameVersion);
    for (int i = 0; i < ReservedIntegerCount; ++i)
        writer.PutInteger(0);

    writer.PutInteger(static_cast<std::int32_t>(sheet.UiCardRows.size()));
    for (const auto& row : sheet.UiCardRows)
        WriteUiCardRow(writer, row, loadBuffer);

    WriteEmbeddedFile(writer, sheet.ModelFile, loadBuffer);

    writer.PutInteger(static_cast<std::int32_t>(sheet.TextureRows.size()));
    for (const auto& row : sheet.TextureRows) {
        writer.PutString(row.Faction);
        WriteEmbeddedFile(writer, row.TextureFile, loadBuffer);
    }

    writer.PutString(sheet.*ModelNameField.InSheet);
    writer.PutString(sheet.*SkeletonsField.InSheet);
    writer.PutBoolean(sheet.CustomSkeletons);
    for (const auto& block : TextBlockFields)
        WriteLines(writer, sheet.*block.InSheet);
}

} // namespace quorin

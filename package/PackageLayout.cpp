#include "PackageLayout.h"

#include <algorithm>
#include <filesystem>

#include "Build.h"
#include "Filler.h"
#include "base/FileSystem.h"
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

void WriteUiCardRow(TWriter& writer, const TUiCardRow& row, TEmbedding& embedding)
{
    writer.PutString(row.Faction);
    WriteEmbeddedFile(writer, row.InfoCardFile, embedding);
    // The row's second file is item 1 of its file list; a row without it fails there.
    if (!row.UnitCardFile)
        RaiseListIndexOutOfBounds(1);
    WriteEmbeddedFile(writer, *row.UnitCardFile, embedding);
}

// Slices small enough for the gauge to move through a large model.
constexpr std::int64_t ProgressSlice = 1 << 20;

std::int64_t FileSizeOrNothing(const std::string& path)
{
    std::error_code error;
    const auto file = PathFromUtf8(path);
    if (path.empty() || !std::filesystem::is_regular_file(file, error))
        return 0;
    const auto size = std::filesystem::file_size(file, error);
    return error ? 0 : static_cast<std::int64_t>(size);
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

std::int64_t EmbeddedBytes(const TUnitSheet& sheet)
{
    std::int64_t total = FileSizeOrNothing(sheet.ModelFile);
    for (const auto& row : sheet.TextureRows)
        total += FileSizeOrNothing(row.TextureFile);
    for (const auto& row : sheet.UiCardRows)
        total += FileSizeOrNothing(row.InfoCardFile) + (row.UnitCardFile ? FileSizeOrNothing(*row.UnitCardFile) : 0);
    return total;
}

void WriteEmbeddedFile(TWriter& writer, std::string_view path, TEmbedding& embedding)
{
    TMemoryStream& loadBuffer = embedding.LoadBuffer;
    loadBuffer.LoadFromFile(path);
    writer.PutInteger(static_cast<std::int32_t>(loadBuffer.Size()));
    if (!embedding.Progress) {
        writer.PutBytes(loadBuffer.Memory(), loadBuffer.Size());
        return;
    }
    const std::uint8_t* bytes = loadBuffer.Memory();
    for (std::int64_t at = 0; at < loadBuffer.Size(); at += ProgressSlice) {
        const std::int64_t slice = std::min(ProgressSlice, loadBuffer.Size() - at);
        writer.PutBytes(bytes + at, slice);
        embedding.Done += slice;
        // A file that grew since it was measured must not take the gauge past its end.
        embedding.Total = std::max(embedding.Total, embedding.Done);
        embedding.Progress->Copied(embedding.Done, embedding.Total);
    }
    embedding.Progress->Embedded(path, loadBuffer.Size());
}

void WriteUnitSheet(TWriter& writer, const TUnitSheet& sheet, TEmbedding& embedding)
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
        WriteUiCardRow(writer, row, embedding);

    WriteEmbeddedFile(writer, sheet.ModelFile, embedding);

    writer.PutInteger(static_cast<std::int32_t>(sheet.TextureRows.size()));
    for (const auto& row : sheet.TextureRows) {
        writer.PutString(row.Faction);
        WriteEmbeddedFile(writer, row.TextureFile, embedding);
    }

    writer.PutString(sheet.*ModelNameField.InSheet);
    writer.PutString(sheet.*SkeletonsField.InSheet);
    writer.PutBoolean(sheet.CustomSkeletons);
    for (const auto& block : TextBlockFields)
        WriteLines(writer, sheet.*block.InSheet);
}

} // namespace quorin

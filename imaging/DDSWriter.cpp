#include "DDSWriter.h"

#include <cstring>
#include <string>
#include <vector>

#include "ByteReader.h"
#include "Mipmaps.h"
#include "base/SaveFile.h"

namespace quorin {

namespace {

// The values every texture of the game's own carries.
constexpr std::uint32_t HeaderStructSize = 124;
constexpr std::uint32_t PixelFormatSize = 32;
constexpr std::uint32_t CapsFlag = 0x1, HeightFlag = 0x2, WidthFlag = 0x4, PixelFormatFlag = 0x1000;
constexpr std::uint32_t MipmapCountFlag = 0x20000, LinearSizeFlag = 0x80000;
constexpr std::uint32_t FourCCFlag = 0x4;
constexpr std::uint32_t ComplexCap = 0x8, TextureCap = 0x1000, MipmapCap = 0x400000;

void PutU32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

const char* FourCC(TDxtKind kind)
{
    return kind == TDxtKind::DXT1 ? "DXT1" : "DXT5";
}

TDxtKind KindFor(TDdsFormat format, const TBitmap& picture)
{
    if (format == TDdsFormat::DXT1)
        return TDxtKind::DXT1;
    if (format == TDdsFormat::DXT5)
        return TDxtKind::DXT5;
    return IsOpaque(picture) ? TDxtKind::DXT1 : TDxtKind::DXT5;
}

int LevelCount(const TDdsOptions& options, int width, int height)
{
    return options.Mipmaps == TMipmapChain::Full ? FullMipmapCount(width, height) : 1;
}

void WriteBytes(TSaveFileStream& file, const std::vector<std::uint8_t>& bytes)
{
    if (!bytes.empty())
        file.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

// Writes the header, the levels kept or just encoded, then the made levels.
void WriteLevels(std::string_view path, TDxtKind kind, TLevelSize size, int levels, std::span<const std::uint8_t> done,
                 const std::vector<std::unique_ptr<TBitmap>>& made, const TDxtOptions& encoding)
{
    TSaveFileStream file(path); // "Cannot create file %s"
    const auto header = DdsHeader(kind, size.Width, size.Height, levels);
    file.WriteBuffer(header.data(), static_cast<std::int64_t>(header.size()));
    file.WriteBuffer(done.data(), static_cast<std::int64_t>(done.size()));
    for (const auto& level : made)
        WriteBytes(file, EncodeDXTPicture(*level, encoding));
    file.Commit(); // "Stream write error"; nothing is left on failure
}

// The colours of a level of blocks as the hardware shows them.
std::unique_ptr<TBitmap> DecodeLevel(std::span<const std::uint8_t> blocks, TDxtKind kind, TLevelSize size)
{
    auto picture = std::make_unique<TBitmap>();
    picture->SetPixelDepth(32);
    picture->SetSize(size.Width, size.Height);
    picture->SetAlphaChannel(true);
    const int across = (size.Width + 3) / 4, blockBytes = DxtBlockBytes(kind);
    std::uint8_t bgra[64], alpha[16];
    for (int by = 0; by < (size.Height + 3) / 4; ++by)
        for (int bx = 0; bx < across; ++bx) {
            const std::uint8_t* block = blocks.data() + (static_cast<std::size_t>(by) * across + bx) * blockBytes;
            DecodeColourBlock(kind == TDxtKind::DXT1 ? block : block + 8, kind == TDxtKind::DXT1, bgra);
            if (kind == TDxtKind::DXT5) {
                DecodeAlphaBlock(block, alpha);
                for (int i = 0; i < 16; ++i)
                    bgra[4 * i + 3] = alpha[i];
            }
            for (int r = 0; r < 4 && 4 * by + r < size.Height; ++r)
                for (int k = 0; k < 4 && 4 * bx + k < size.Width; ++k)
                    std::memcpy(picture->RowAddress(4 * by + r) + 4 * (4 * bx + k), bgra + 16 * r + 4 * k, 4);
        }
    return picture;
}

} // namespace

std::array<std::uint8_t, DdsHeaderSize> DdsHeader(TDxtKind kind, int width, int height, int levels)
{
    std::array<std::uint8_t, DdsHeaderSize> h{};
    std::memcpy(&h[0], "DDS ", 4);
    PutU32(&h[4], HeaderStructSize);
    PutU32(&h[8], CapsFlag | HeightFlag | WidthFlag | PixelFormatFlag | MipmapCountFlag | LinearSizeFlag);
    PutU32(&h[12], static_cast<std::uint32_t>(height));
    PutU32(&h[16], static_cast<std::uint32_t>(width));
    PutU32(&h[20], static_cast<std::uint32_t>(DxtPictureBytes(kind, width, height)));
    PutU32(&h[28], static_cast<std::uint32_t>(levels));
    PutU32(&h[76], PixelFormatSize);
    PutU32(&h[80], FourCCFlag);
    std::memcpy(&h[84], FourCC(kind), 4);
    PutU32(&h[108], levels > 1 ? ComplexCap | TextureCap | MipmapCap : TextureCap);
    return h;
}

bool IsOpaque(const TBitmap& picture)
{
    if (picture.BytesPerPixel() != 4 || !picture.HasAlphaChannel())
        return true;
    for (int y = 0; y < picture.Height(); ++y) {
        const std::uint8_t* row = picture.RowAddress(y);
        for (int x = 0; x < picture.Width(); ++x)
            if (row[4 * x + 3] != 255)
                return false;
    }
    return true;
}

TDdsWritten WriteDDS(const TBitmap& picture, std::string_view path, const TDdsOptions& options)
{
    if (picture.Width() <= 0 || picture.Height() <= 0)
        throw Exception("Cannot write an empty picture as DDS");
    const TDxtKind kind = KindFor(options.Format, picture);
    // Asked-for DXT1 of a picture with alpha: its one-bit transparency.
    const TDxtOptions encoding{kind, options.Quality, kind == TDxtKind::DXT1 && !IsOpaque(picture), options.Threads};
    const int levels = LevelCount(options, picture.Width(), picture.Height());
    // The mipmaps are made while the top level is encoded.
    const auto top = EncodeDXTPicture(picture, encoding);
    WriteLevels(path, kind, {picture.Width(), picture.Height()}, levels, top, MakeMipmaps(picture, levels - 1), encoding);
    return {kind, levels, 0};
}

namespace {

// What CompleteDDS and DecodeDxtTop need of a DXT1 or DXT5 file's header.
struct TDxtFile {
    TDxtKind Kind;
    int Width, Height;
    int StatedLevels; // at least 1
};

std::optional<TDxtFile> ReadDxtHeader(std::span<const std::uint8_t> file)
{
    if (file.size() < DdsHeaderSize || (bytes::U32(&file[80]) & FourCCFlag) == 0)
        return std::nullopt;
    TDxtFile header{};
    if (std::memcmp(&file[84], "DXT1", 4) == 0)
        header.Kind = TDxtKind::DXT1;
    else if (std::memcmp(&file[84], "DXT5", 4) == 0)
        header.Kind = TDxtKind::DXT5;
    else
        return std::nullopt;
    header.Width = static_cast<int>(bytes::U32(&file[16]));
    header.Height = static_cast<int>(bytes::U32(&file[12]));
    header.StatedLevels = std::max<int>(1, static_cast<int>(std::min<std::uint32_t>(bytes::U32(&file[28]), 64)));
    if (!PictureSizeFits(bytes::U32(&file[16]), bytes::U32(&file[12])) || header.Width <= 0 || header.Height <= 0)
        return std::nullopt;
    return header;
}

} // namespace

std::unique_ptr<TBitmap> DecodeDxtTop(std::span<const std::uint8_t> file)
{
    const auto header = ReadDxtHeader(file);
    if (!header)
        return nullptr;
    const std::size_t bytes = DxtPictureBytes(header->Kind, header->Width, header->Height);
    if (bytes > file.size() - DdsHeaderSize)
        return nullptr;
    return DecodeLevel(file.subspan(DdsHeaderSize, bytes), header->Kind, {header->Width, header->Height});
}

std::optional<TDdsWritten> CompleteDDS(std::span<const std::uint8_t> file, std::string_view path,
                                       const TDdsOptions& options)
{
    const auto header = ReadDxtHeader(file);
    if (!header)
        return std::nullopt;
    const TDxtKind kind = header->Kind;
    if ((options.Format == TDdsFormat::DXT1 && kind != TDxtKind::DXT1) ||
        (options.Format == TDdsFormat::DXT5 && kind != TDxtKind::DXT5))
        return std::nullopt;

    const int levels = LevelCount(options, header->Width, header->Height);
    const auto sizes = MipmapSizes(header->Width, header->Height, levels);
    // The levels the file says it has and holds whole.
    std::size_t end = DdsHeaderSize, levelStart = DdsHeaderSize;
    int kept = 0;
    while (kept < std::min(header->StatedLevels, levels)) {
        const std::size_t bytes = DxtPictureBytes(kind, sizes[kept].Width, sizes[kept].Height);
        if (bytes > file.size() - end)
            break;
        levelStart = end;
        end += bytes;
        ++kept;
    }
    if (kept == 0)
        return std::nullopt;
    // The missing levels are made from the last kept one, as shown.
    const auto last = DecodeLevel(file.subspan(levelStart, end - levelStart), kind, sizes[kept - 1]);
    const TDxtOptions encoding{kind, options.Quality, kind == TDxtKind::DXT1 && !IsOpaque(*last), options.Threads};
    WriteLevels(path, kind, {header->Width, header->Height}, levels, file.subspan(DdsHeaderSize, end - DdsHeaderSize),
                MakeMipmaps(*last, levels - kept), encoding);
    return TDdsWritten{kind, levels, kept};
}

} // namespace quorin

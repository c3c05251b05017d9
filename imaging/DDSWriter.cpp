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

// Rows of blocks encoded and written at a time: enough to keep every core
// busy, a sliver of any large picture.
constexpr int BandBlockRows = 64;
// Rows of a made level encoded at a time; a multiple of 4.
constexpr int StripRows = 64;

void WriteBytes(TStream& file, std::span<const std::uint8_t> bytes)
{
    if (!bytes.empty())
        file.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

// The mipmaps below a picture, made as its rows pass and encoded a strip of
// rows at a time. Their blocks wait in memory, a third of the top level's
// at most, until the level above them is written.
class TMadeLevels {
public:
    TMadeLevels(const TBitmap& above, int count, const TDxtOptions& encoding)
        : encoding_(encoding), alpha_(above.BytesPerPixel() == 4 && above.HasAlphaChannel()),
          sizes_(MipmapSizes(above.Width(), above.Height(), count + 1)),
          strips_(static_cast<std::size_t>(count)), blocks_(static_cast<std::size_t>(count)),
          rows_(above, count, [this](int level, int y, const std::uint8_t* bgra) { Take(level, y, bgra); })
    {
    }

    void AddRow(int y) { rows_.AddRow(y); }

    void WriteTo(TStream& file) const
    {
        for (const auto& level : blocks_)
            WriteBytes(file, level);
    }

private:
    void Take(int level, int y, const std::uint8_t* bgra)
    {
        const TLevelSize size = sizes_[static_cast<std::size_t>(level)];
        TBitmap& strip = strips_[static_cast<std::size_t>(level - 1)];
        const int first = y / StripRows * StripRows;
        if (y == first) {
            strip.SetPixelDepth(32);
            strip.SetSize(size.Width, std::min(StripRows, size.Height - first));
            strip.SetAlphaChannel(alpha_);
        }
        std::memcpy(strip.RowAddress(y - first), bgra, static_cast<std::size_t>(size.Width) * 4);
        if (y - first == strip.Height() - 1) {
            const auto encoded = EncodeDXTPicture(strip, encoding_);
            auto& blocks = blocks_[static_cast<std::size_t>(level - 1)];
            blocks.insert(blocks.end(), encoded.begin(), encoded.end());
        }
    }

    TDxtOptions encoding_;
    bool alpha_;
    std::vector<TLevelSize> sizes_;
    std::vector<TBitmap> strips_;
    std::vector<std::vector<std::uint8_t>> blocks_;
    TMipmapRows rows_;
};

// The picture's own blocks when writeAbove, then count mipmaps below it:
// the picture is encoded and written a band at a time while its rows feed
// the mipmaps.
void WriteChain(TStream& file, const TBitmap& above, bool writeAbove, int count, const TDxtOptions& encoding)
{
    TMadeLevels made(above, count, encoding);
    const int down = (above.Height() + 3) / 4;
    for (int by = 0; by < down; by += BandBlockRows) {
        const int blockRows = std::min(BandBlockRows, down - by);
        if (writeAbove)
            WriteBytes(file, EncodeDXTRows(above, by, blockRows, encoding));
        for (int y = 4 * by; y < std::min(above.Height(), 4 * (by + blockRows)); ++y)
            made.AddRow(y);
    }
    made.WriteTo(file);
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
    TSaveFileStream file(path); // "Cannot create file %s"
    WriteBytes(file, DdsHeader(kind, picture.Width(), picture.Height(), levels));
    WriteChain(file, picture, true, levels - 1, encoding);
    file.Commit(); // "Stream write error"; nothing is left on failure
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
    TSaveFileStream output(path); // "Cannot create file %s"
    WriteBytes(output, DdsHeader(kind, header->Width, header->Height, levels));
    WriteBytes(output, file.subspan(DdsHeaderSize, end - DdsHeaderSize));
    WriteChain(output, *last, false, levels - kept, encoding);
    output.Commit(); // "Stream write error"; nothing is left on failure
    return TDdsWritten{kind, levels, kept};
}

} // namespace quorin

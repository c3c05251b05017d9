#include "DDS.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <string>

#include "ByteReader.h"
#include "DXTC.h"
#include "FileFormats.h"
#include "StreamBytes.h"
#include "base/RuntimeText.h"

namespace quorin {

namespace {

std::unique_ptr<TGraphic> CreateDDS() { return std::make_unique<TDDSImage>(); }

constexpr std::string_view InvalidFile = "Invalid DDS file";
constexpr std::string_view UnsupportedCaps = "Unsupported DDSCAPS settings";
constexpr std::string_view UnsupportedCompression = "Unsupported compression type: %s";

constexpr std::size_t HeaderSize = 128;
constexpr std::uint32_t AlphaPixelsFlag = 0x1;
constexpr std::uint32_t FourCCFlag = 0x4;
constexpr std::uint32_t TextureCap = 0x1000;

struct TDDSHeader {
    std::array<std::uint8_t, 4> Magic{};
    std::uint32_t Height = 0;
    std::uint32_t Width = 0;
    std::uint32_t LinearSize = 0;
    std::uint32_t FormatFlags = 0;
    std::array<std::uint8_t, 4> FourCC{};
    std::uint32_t RGBBitCount = 0;
    std::uint32_t RedMask = 0;
    std::uint32_t GreenMask = 0;
    std::uint32_t BlueMask = 0;
    std::uint32_t AlphaMask = 0;
    std::uint32_t Caps = 0;
};

// A file too short to hold the whole header is no DDS file.
TDDSHeader ReadHeader(bytes::TCursor& input)
{
    std::array<std::uint8_t, HeaderSize> raw{};
    if (input.Read(raw.data(), HeaderSize) != HeaderSize)
        throw EDDSException(std::string(InvalidFile));
    TDDSHeader header;
    std::memcpy(header.Magic.data(), &raw[0], 4);
    header.Height = bytes::U32(&raw[12]);
    header.Width = bytes::U32(&raw[16]);
    header.LinearSize = bytes::U32(&raw[20]);
    header.FormatFlags = bytes::U32(&raw[80]);
    std::memcpy(header.FourCC.data(), &raw[84], 4);
    header.RGBBitCount = bytes::U32(&raw[88]);
    header.RedMask = bytes::U32(&raw[92]);
    header.GreenMask = bytes::U32(&raw[96]);
    header.BlueMask = bytes::U32(&raw[100]);
    header.AlphaMask = bytes::U32(&raw[104]);
    header.Caps = bytes::U32(&raw[108]);
    return header;
}

enum class TBlockFormat { None, DXT1, DXT3, DXT5 };

TBlockFormat BlockFormatOf(const std::array<std::uint8_t, 4>& fourCC)
{
    auto is = [&](const char* code) { return std::memcmp(fourCC.data(), code, 4) == 0; };
    return is("DXT1") ? TBlockFormat::DXT1 : is("DXT3") ? TBlockFormat::DXT3 : is("DXT5") ? TBlockFormat::DXT5 : TBlockFormat::None;
}

// The FourCC as text, ending early at a zero byte.
std::string FourCCText(const std::array<std::uint8_t, 4>& fourCC)
{
    std::string text;
    for (std::uint8_t c : fourCC) {
        if (c == 0)
            break;
        text += static_cast<char>(c);
    }
    return text;
}

[[noreturn]] void Fail(std::string_view message)
{
    throw EDDSException(std::string(message));
}

// The judgements of a header, for decoding and for inspecting alike: each
// gives why it refuses the file, or nothing.
std::string HeaderProblem(const TDDSHeader& header)
{
    if (std::memcmp(header.Magic.data(), "DDS ", 4) != 0)
        return std::string(InvalidFile);
    if ((header.Caps & TextureCap) == 0)
        return std::string(UnsupportedCaps);
    // Refused before anything is sized or allocated.
    if (!PictureSizeFits(header.Width, header.Height))
        return "DDS picture too large (" + std::to_string(header.Width) + " x " + std::to_string(header.Height) +
               " pixels)";
    return {};
}

// Uncompressed pixels: whole bytes each, and no more rows than the data holds.
std::string UncompressedProblem(std::uint32_t bitCount, int width, int height, std::int64_t bytesLeft)
{
    // Fewer than 8 bits leave no whole byte per pixel.
    if (bitCount < 8)
        return std::string(InvalidFile);
    const std::int64_t rowBytes = std::int64_t{bitCount / 8} * width; // below 2^29 * 2^31
    if (height > 0 && rowBytes > bytesLeft / height)
        return std::string(InvalidFile);
    return {};
}

// The bytes a block grid of width x height needs.
std::int64_t BlockBytes(int dxt, int width, int height)
{
    const std::int64_t blockBytes = dxt == 1 ? 8 : 16;
    return (std::int64_t{width} + 3) / 4 * ((std::int64_t{height} + 3) / 4) * blockBytes;
}

std::string BlocksProblem(int dxt, int width, int height, std::uint32_t linearSize, std::int64_t bytesLeft)
{
    if (linearSize < BlockBytes(dxt, width, height) || linearSize > bytesLeft)
        return std::string(InvalidFile);
    return {};
}

void FailOn(const std::string& problem)
{
    if (!problem.empty())
        throw EDDSException(problem);
}

int DxtNumber(TBlockFormat format)
{
    return format == TBlockFormat::DXT1 ? 1 : format == TBlockFormat::DXT3 ? 3 : 5;
}

// A channel of uncompressed pixels: the low 8 bits of ((v & mask) * scale)
// mod 2^32, shifted right by the mask's lowest set bit.
struct TChannel {
    std::uint32_t Mask = 0;
    std::uint32_t Scale = 1;
    int Shift = 0;

    explicit TChannel(std::uint32_t mask) : Mask(mask), Shift(LowestSetBit(mask))
    {
        const std::uint32_t bits = mask >> Shift;
        Scale = bits != 0 ? 255 / bits : 1;
    }

    std::uint8_t Value(std::uint32_t pixel) const
    {
        return static_cast<std::uint8_t>(((pixel & Mask) * Scale) >> Shift);
    }
};

// One of the three block decoders on block rows of the given height.
bool UnpackBlocks(int dxt, const std::uint8_t* source, std::uint32_t* pixels, int width, int rows)
{
    bool threeColour = false;
    if (dxt == 1)
        UnpackDXT1Blocks(source, pixels, width, rows, threeColour);
    else if (dxt == 3)
        UnpackDXT3Blocks(source, pixels, width, rows);
    else
        UnpackDXT5Blocks(source, pixels, width, rows);
    return threeColour;
}

template <class T>
std::unique_ptr<T[]> Allocate(std::int64_t count)
{
    std::unique_ptr<T[]> block(new (std::nothrow) T[static_cast<std::size_t>(count)]);
    if (!block)
        throw EOutOfMemory("Out of memory for DDS data (" + std::to_string(count * std::int64_t{sizeof(T)}) + " bytes)");
    return block;
}

} // namespace

const TGraphicClass TDDSImage::ClassRecord{"TDDSImage", &CreateDDS, &TBitmap::ClassRecord};

int LowestSetBit(std::uint32_t mask)
{
    return mask == 0 ? 0 : std::countr_zero(mask);
}

void TDDSImage::DecodeStream(TStream& stream)
{
    TStreamBytes input(stream);
    if (!input.Complete())
        Fail(InvalidFile);
    input.Decode([this](bytes::TCursor& file) { Decode(file); });
}

std::size_t TDDSImage::DecodeDDS(std::span<const std::uint8_t> file)
{
    bytes::TCursor input(file);
    Decode(input);
    return input.Used();
}

void TDDSImage::Decode(bytes::TCursor& input)
{
    const TDDSHeader header = ReadHeader(input);
    FailOn(HeaderProblem(header));

    const int width = static_cast<int>(header.Width);
    const int height = static_cast<int>(header.Height);
    const bool alphaPixels = (header.FormatFlags & AlphaPixelsFlag) != 0;

    if ((header.FormatFlags & FourCCFlag) == 0) {
        DecodeUncompressed(input, width, height, alphaPixels, header.RGBBitCount,
                           {header.RedMask, header.GreenMask, header.BlueMask, header.AlphaMask});
        return;
    }

    const TBlockFormat format = BlockFormatOf(header.FourCC);
    if (format == TBlockFormat::None) {
        // The data is consumed before the code is judged. The picture is not
        // sized: nothing could fill it, and a header alone must not make us
        // take and whiten up to MaxPicturePixels of memory.
        SetPixelDepth(32);
        if (alphaPixels)
            SetTransparent(true);
        input.Skip(header.LinearSize);
        throw EDDSException(FormatText(UnsupportedCompression, FourCCText(header.FourCC)));
    }
    DecodeBlocks(input, width, height, alphaPixels, DxtNumber(format), header.LinearSize);
}

void TDDSImage::DecodeBlocks(bytes::TCursor& input, int width, int height, bool alphaPixels, int dxt,
                             std::uint32_t linearSize)
{
    const std::int64_t blockBytes = dxt == 1 ? 8 : 16;
    const std::int64_t across = (std::int64_t{width} + 3) / 4;
    const std::int64_t down = (std::int64_t{height} + 3) / 4;
    const std::int64_t needed = BlockBytes(dxt, width, height); // width x height fits, so this does
    FailOn(BlocksProblem(dxt, width, height, linearSize, static_cast<std::int64_t>(input.Left())));
    const std::uint8_t* data = input.At();

    SetPixelDepth(32);
    if (alphaPixels)
        SetTransparent(true);
    // Every pixel is written below, so the size is taken without whitening.
    SetSizeForDecoding(width, height);

    bool threeColour = false;
    if (needed > 0) {
        // 32-bit rows have no filler, so when they lie top-down one after
        // another the Bitmap itself is the decoders' pixel array; otherwise
        // each block row is decoded aside and copied.
        std::uint8_t* first = RowAddress(0);
        const std::int64_t rowStride = std::int64_t{width} * 4;
        const bool direct = RowStride() == rowStride && (height == 1 || RowAddress(1) == first + rowStride)
                            && reinterpret_cast<std::uintptr_t>(first) % alignof(std::uint32_t) == 0;
        if (direct) {
            threeColour = UnpackBlocks(dxt, data, reinterpret_cast<std::uint32_t*>(first), width, height);
        } else {
            auto aside = Allocate<std::uint32_t>(rowStride); // four rows of width pixels
            const std::int64_t rowBytes = across * blockBytes;
            for (std::int64_t by = 0; by < down; ++by) {
                const int y = static_cast<int>(4 * by);
                const int rows = std::min(4, height - y);
                threeColour |= UnpackBlocks(dxt, data + by * rowBytes, aside.get(), width, rows);
                for (int r = 0; r < rows; ++r)
                    std::memcpy(RowAddress(y + r), aside.get() + std::int64_t{r} * width, static_cast<std::size_t>(rowStride));
            }
        }
    }

    // DXT1 carries alpha only through three-colour blocks; DXT3 and DXT5 always.
    const bool alpha = dxt != 1 || threeColour;
    SetTransparent(alpha);
    SetAlphaChannel(alpha);
    input.Skip(linearSize);
    Changed();
}

std::vector<std::unique_ptr<TBitmap>> TDDSImage::DecodeStoredMipmaps(std::span<const std::uint8_t> file)
{
    std::vector<std::unique_ptr<TBitmap>> levels;
    const TDDSLayout layout = InspectDDSLayout(file.data(), file.size(), static_cast<std::int64_t>(file.size()));
    if (!layout.Picture.Error.empty() || layout.Dxt == 0 || layout.MipmapLevels < layout.FullChainLevels ||
        layout.FullChainLevels < 2)
        return levels;
    const bool alphaPixels = (bytes::U32(file.data() + 80) & AlphaPixelsFlag) != 0;
    // The levels lie one after another behind the top image, each of the
    // size its blocks take (InspectDDSLayout counted them the same way).
    int width = layout.Picture.Width, height = layout.Picture.Height;
    std::size_t at = HeaderSize + static_cast<std::size_t>(BlockBytes(layout.Dxt, width, height));
    levels.reserve(static_cast<std::size_t>(layout.FullChainLevels - 1));
    for (int level = 1; level < layout.FullChainLevels; ++level) {
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
        const auto size = static_cast<std::uint32_t>(BlockBytes(layout.Dxt, width, height));
        bytes::TCursor input(file.subspan(at, size));
        auto image = std::make_unique<TDDSImage>();
        image->DecodeBlocks(input, width, height, alphaPixels, layout.Dxt, size);
        levels.push_back(std::move(image));
        at += size;
    }
    return levels;
}

void TDDSImage::DecodeUncompressed(bytes::TCursor& input, int width, int height, bool alphaPixels,
                                   std::uint32_t bitCount, const std::array<std::uint32_t, 4>& masks)
{
    FailOn(UncompressedProblem(bitCount, width, height, static_cast<std::int64_t>(input.Left())));
    const std::int64_t pixelBytes = bitCount / 8;
    const std::int64_t rowBytes = pixelBytes * width;
    const std::uint8_t* data = input.At();

    SetPixelDepth(32);
    if (alphaPixels)
        SetTransparent(true);
    const bool writeAlpha = Transparent();
    if (writeAlpha) {
        SetSizeForDecoding(width, height); // every byte of every pixel is written
    } else {
        // Byte 3 keeps what the sizing leaves in it.
        SetWidth(width);
        SetHeight(height);
    }

    if (rowBytes > 0 && height > 0) {
        const TChannel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(writeAlpha ? masks[3] : 0);
        const std::size_t valueBytes = static_cast<std::size_t>(std::min<std::int64_t>(pixelBytes, 4));
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* from = data + y * rowBytes;
            std::uint8_t* to = RowAddress(y);
            for (int x = 0; x < width; ++x, from += pixelBytes, to += 4) {
                const std::uint32_t v = bytes::ULeading(from, valueBytes);
                to[0] = blue.Value(v);
                to[1] = green.Value(v);
                to[2] = red.Value(v);
                if (writeAlpha)
                    to[3] = alpha.Value(v);
            }
        }
    }
    SetAlphaChannel(writeAlpha);
    input.Skip(static_cast<std::size_t>(rowBytes * height));
    Changed();
}

TPictureHeader InspectDDSHeader(const std::uint8_t* head, std::size_t headSize, std::int64_t fileSize)
{
    if (headSize < HeaderSize)
        return {0, 0, {}, std::string(InvalidFile)};
    bytes::TCursor input(std::span<const std::uint8_t>(head, HeaderSize));
    const TDDSHeader header = ReadHeader(input);
    if (auto problem = HeaderProblem(header); !problem.empty())
        return {0, 0, {}, problem};
    const int width = static_cast<int>(header.Width);
    const int height = static_cast<int>(header.Height);
    const std::int64_t bytesLeft = std::max<std::int64_t>(0, fileSize - static_cast<std::int64_t>(HeaderSize));
    std::string problem, kind;
    if ((header.FormatFlags & FourCCFlag) == 0) {
        problem = UncompressedProblem(header.RGBBitCount, width, height, bytesLeft);
        kind = std::to_string(header.RGBBitCount) + "-bit DDS";
    } else if (const TBlockFormat format = BlockFormatOf(header.FourCC); format == TBlockFormat::None) {
        problem = FormatText(UnsupportedCompression, FourCCText(header.FourCC));
    } else {
        problem = BlocksProblem(DxtNumber(format), width, height, header.LinearSize, bytesLeft);
        kind = "DXT" + std::to_string(DxtNumber(format)) + " DDS";
    }
    if (!problem.empty())
        return {0, 0, {}, problem};
    return {width, height, kind, {}};
}

namespace {

constexpr std::uint32_t MipmapCountFlag = 0x20000;

// Levels from width x height down to 1 x 1.
int FullChainLevels(int width, int height)
{
    int levels = 1;
    for (int side = std::max(width, height); side > 1; side /= 2)
        ++levels;
    return levels;
}

} // namespace

TDDSLayout InspectDDSLayout(const std::uint8_t* head, std::size_t headSize, std::int64_t fileSize)
{
    TDDSLayout layout;
    layout.Picture = InspectDDSHeader(head, headSize, fileSize);
    if (!layout.Picture.Error.empty())
        return layout;
    const int width = layout.Picture.Width;
    const int height = layout.Picture.Height;
    const std::uint32_t flags = bytes::U32(head + 8);
    const std::uint32_t declared = bytes::U32(head + 28);
    const std::uint32_t formatFlags = bytes::U32(head + 80);
    std::array<std::uint8_t, 4> fourCC{};
    std::memcpy(fourCC.data(), head + 84, 4);
    if (formatFlags & FourCCFlag)
        layout.Dxt = DxtNumber(BlockFormatOf(fourCC));
    else
        layout.BitCount = static_cast<int>(bytes::U32(head + 88));
    layout.FullChainLevels = FullChainLevels(width, height);

    // The levels the header declares, as far as the file's bytes hold them.
    const int wanted = (flags & MipmapCountFlag) && declared > 1
                           ? static_cast<int>(std::min<std::uint32_t>(declared, 32))
                           : 1;
    std::int64_t bytesLeft = fileSize - static_cast<std::int64_t>(HeaderSize);
    int levels = 0;
    for (int w = width, h = height; levels < wanted; w = std::max(1, w / 2), h = std::max(1, h / 2)) {
        const std::int64_t need = layout.Dxt ? BlockBytes(layout.Dxt, w, h)
                                             : std::int64_t{layout.BitCount / 8} * w * h;
        if (need > bytesLeft)
            break;
        bytesLeft -= need;
        ++levels;
    }
    layout.MipmapLevels = std::max(levels, 1);
    return layout;
}

void RegisterDDSFormat()
{
    TFileFormatsList::Instance().RegisterFormat("dds", "Microsoft DirectDraw Surface", TDDSImage::ClassRecord);
}

void UnregisterDDSFormat()
{
    TFileFormatsList::Instance().RemoveFormatsOf(TDDSImage::ClassRecord);
}

} // namespace quorin

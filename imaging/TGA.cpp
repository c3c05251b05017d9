#include "TGA.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "ByteReader.h"
#include "FileFormats.h"
#include "StreamBytes.h"

namespace quorin {

namespace {

std::unique_ptr<TGraphic> CreateTGA() { return std::make_unique<TTGAImage>(); }

constexpr std::uint8_t White = 0xFF;
constexpr std::uint8_t TopDownBit = 0x20;
constexpr std::uint8_t RunPacketBit = 0x80;

enum : std::uint8_t { NoImageData = 0, TrueColour = 2, RunLengthTrueColour = 10 };

constexpr std::size_t HeaderSize = 18;

struct TTGAHeader {
    std::uint8_t IdLength = 0;
    std::uint8_t ColourMapType = 0;
    std::uint8_t ImageType = 0;
    std::uint16_t Width = 0;
    std::uint16_t Height = 0;
    std::uint8_t PixelDepth = 0;
    std::uint8_t Descriptor = 0;
};

template <class TInput>
TTGAHeader ReadHeader(TInput& input)
{
    // A file shorter than the header reads as if the missing bytes were 0.
    std::array<std::uint8_t, HeaderSize> raw{};
    static_assert(sizeof raw == HeaderSize);
    input.Read(raw.data(), HeaderSize);
    TTGAHeader header;
    header.IdLength = raw[0];
    header.ColourMapType = raw[1];
    header.ImageType = raw[2];
    header.Width = bytes::U16(&raw[12]);
    header.Height = bytes::U16(&raw[14]);
    header.PixelDepth = raw[16];
    header.Descriptor = raw[17];
    return header;
}

std::string SizeText(int width, int height)
{
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

struct TTGASize {
    int Width = 0;
    int Height = 0;
    std::string Error; // why the header is refused; empty when it is not
};

// The one judgement of a header, for decoding and for inspecting alike.
TTGASize CheckHeader(const TTGAHeader& header)
{
    if (header.ColourMapType != 0)
        return {0, 0, "ColorMapped TGA unsupported"};
    if (header.PixelDepth != 24 && header.PixelDepth != 32)
        return {0, 0, "Unsupported TGA ImageType"};
    if (header.ImageType != NoImageData && header.ImageType != TrueColour && header.ImageType != RunLengthTrueColour)
        return {0, 0, "Unsupported TGA ImageType " + std::to_string(header.ImageType)};

    const bool noImage = header.ImageType == NoImageData;
    const int width = noImage ? 0 : header.Width;
    const int height = noImage ? 0 : header.Height;
    if (!PictureSizeFits(width, height))
        return {0, 0, "TGA picture too large (" + SizeText(width, height) + ")"};
    return {width, height, {}};
}

// Writes bytes (a multiple of P) as copies of one P-byte pixel. Long runs are
// stored from a pattern of 16 pixels in fixed-size pieces; the last piece may
// overlap the one before, which is harmless because every piece starts on a
// pixel boundary.
template <int P>
void FillRun(std::uint8_t* to, std::size_t bytes, const std::uint8_t* pixel)
{
    constexpr std::size_t PatternBytes = 16 * P;
    if (bytes < PatternBytes) {
        for (std::size_t at = 0; at < bytes; at += P)
            std::memcpy(to + at, pixel, P);
        return;
    }
    // 1, 2, 4, 8, then 16 pixels, by doubling.
    std::uint8_t pattern[PatternBytes];
    std::memcpy(pattern, pixel, P);
    std::memcpy(pattern + P, pattern, P);
    std::memcpy(pattern + 2 * P, pattern, 2 * P);
    std::memcpy(pattern + 4 * P, pattern, 4 * P);
    std::memcpy(pattern + 8 * P, pattern, 8 * P);
    std::size_t at = 0;
    for (; at + PatternBytes <= bytes; at += PatternBytes)
        std::memcpy(to + at, pattern, PatternBytes);
    if (at < bytes)
        std::memcpy(to + bytes - PatternBytes, pattern, PatternBytes);
}

// The picture's rows in the order the file stores them, seen as one run of
// bytes that the packets fill front to back: a packet may cross rows, and
// one that would pass the last row is cut there. Filler bytes are not part
// of the run.
class TStoredRows {
public:
    TStoredRows(TBitmap& bitmap, bool bottomUp, std::size_t rowSize)
        : bitmap_(bitmap), bottomUp_(bottomUp), rowSize_(rowSize), height_(bitmap.Height())
    {
        EnterRow();
    }

    bool Done() const { return row_ == height_; }
    // Where the next bytes go, and how many fit before the row ends.
    std::uint8_t* At() const { return at_; }
    std::size_t Left() const { return static_cast<std::size_t>(end_ - at_); }

    void Advance(std::size_t bytes)
    {
        at_ += bytes;
        if (at_ == end_) {
            ++row_;
            EnterRow();
        }
    }

    // What the data never reached stays white.
    void WhitenRest()
    {
        while (!Done()) {
            std::memset(at_, White, Left());
            Advance(Left());
        }
    }

private:
    void EnterRow()
    {
        if (Done())
            return;
        at_ = bitmap_.RowAddress(bottomUp_ ? height_ - 1 - row_ : row_);
        end_ = at_ + rowSize_;
    }

    TBitmap& bitmap_;
    bool bottomUp_;
    std::size_t rowSize_;
    int height_;
    int row_ = 0;
    std::uint8_t* at_ = nullptr;
    std::uint8_t* end_ = nullptr;
};

// Expands run-length packets of P-byte pixels straight into the rows, so a
// picture costs its own pixels and no copy of them. When the data end early,
// the packet they end in is completed with white, and so is everything after.
template <int P, class TInput>
void ExpandRunLength(TInput& input, TStoredRows& rows)
{
    while (!rows.Done()) {
        std::uint8_t header = 0;
        if (!input.Next(header))
            break;
        std::size_t bytes = (static_cast<std::size_t>(header & 0x7F) + 1) * P;
        if (header & RunPacketBit) {
            std::uint8_t pixel[P];
            std::memset(pixel, White, P);
            std::size_t got = input.template ReadFixed<P>(pixel);
            while (bytes > 0 && !rows.Done()) {
                std::size_t n = std::min(bytes, rows.Left());
                FillRun<P>(rows.At(), n, pixel);
                rows.Advance(n);
                bytes -= n;
            }
            if (got < P)
                break;
        } else {
            bool ended = false;
            while (bytes > 0 && !rows.Done()) {
                std::size_t n = std::min(bytes, rows.Left());
                std::size_t got = input.Read(rows.At(), n);
                rows.Advance(got);
                if (got < n) {
                    ended = true;
                    break;
                }
                bytes -= n;
            }
            if (ended)
                break;
        }
    }
    rows.WhitenRest();
}

} // namespace

const TGraphicClass TTGAImage::ClassRecord{"TTGAImage", &CreateTGA, &TBitmap::ClassRecord};

void TTGAImage::DecodeStream(TStream& stream)
{
    if (stream.HeldBytes()) {
        TStreamBytes input(stream);
        if (!input.Complete())
            throw ETGAException("TGA file too large");
        input.Decode([this](bytes::TCursor& file) { Decode(file); });
        return;
    }
    const std::int64_t start = stream.Position();
    TStreamCursor input(stream);
    try {
        Decode(input);
    } catch (...) {
        stream.Seek(start + static_cast<std::int64_t>(input.Used()), TSeekOrigin::Beginning);
        throw;
    }
    stream.Seek(start + static_cast<std::int64_t>(input.Used()), TSeekOrigin::Beginning);
}

std::size_t TTGAImage::DecodeTGA(std::span<const std::uint8_t> file)
{
    bytes::TCursor input(file);
    Decode(input);
    return input.Used();
}

template <class TInput>
void TTGAImage::Decode(TInput& input)
{
    const TTGAHeader header = ReadHeader(input);
    const TTGASize size = CheckHeader(header);
    if (!size.Error.empty())
        throw ETGAException(size.Error);
    const int width = size.Width, height = size.Height;
    const bool noImage = header.ImageType == NoImageData;
    // The old pixels are not wanted: converting them to another depth would
    // be wasted work. A block of the same size and depth is written over.
    if (PixelDepth() != header.PixelDepth)
        SetSizeForDecoding(0, 0);
    SetPixelDepth(header.PixelDepth);
    SetAlphaChannel(header.PixelDepth == 32);
    SetSizeForDecoding(width, height);
    input.Skip(header.IdLength);

    const bool bottomUp = (header.Descriptor & TopDownBit) == 0;
    const auto rowSize = static_cast<std::size_t>(width) * BytesPerPixel();
    const auto stride = static_cast<std::size_t>(RowStride());
    auto bitmapRow = [&](int i) { return RowAddress(bottomUp ? height - 1 - i : i); };
    auto whitenFiller = [&](std::uint8_t* row) {
        if (stride > rowSize)
            std::memset(row + rowSize, White, stride - rowSize);
    };

    if (noImage || rowSize == 0 || height == 0) {
        Changed();
        return;
    }

    if (header.ImageType == TrueColour) {
        // Straight into the rows; what the file does not supply stays white.
        bool ended = false;
        for (int i = 0; i < height; ++i) {
            std::uint8_t* row = bitmapRow(i);
            std::size_t got = 0;
            if (!ended)
                got = input.Read(row, rowSize);
            if (got < rowSize) {
                std::memset(row + got, White, rowSize - got);
                ended = true;
            }
            whitenFiller(row);
        }
        Changed();
        return;
    }

    TStoredRows rows(*this, bottomUp, rowSize);
    if (BytesPerPixel() == 3)
        ExpandRunLength<3, TInput>(input, rows);
    else
        ExpandRunLength<4, TInput>(input, rows);
    for (int i = 0; i < height; ++i)
        whitenFiller(RowAddress(i));
    Changed();
}

TPictureHeader InspectTGAHeader(const std::uint8_t* head, std::size_t headSize)
{
    bytes::TCursor input(std::span<const std::uint8_t>(head, std::min(headSize, HeaderSize)));
    const TTGAHeader header = ReadHeader(input);
    const TTGASize size = CheckHeader(header);
    if (!size.Error.empty())
        return {0, 0, {}, size.Error};
    std::string kind = std::to_string(header.PixelDepth) + "-bit";
    if (header.ImageType == RunLengthTrueColour)
        kind += " run-length";
    return {size.Width, size.Height, kind + " TGA", {}};
}

void RegisterTGAFormat() { TFileFormatsList::Instance().RegisterFormat("tga", "Targa", TTGAImage::ClassRecord); }

void UnregisterTGAFormat() { TFileFormatsList::Instance().RemoveFormatsOf(TTGAImage::ClassRecord); }

} // namespace quorin

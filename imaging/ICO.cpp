// Icons (and cursors, which share the layout): the directory is read, every
// entry's data is checked against the file, and the largest entry (by area,
// then by bits per pixel) is decoded: a DIB with its AND mask, or a PNG
// through the platform's codec (PngReader.h). The picture is 32-bit
// with HasAlphaChannel when any pixel is not fully opaque, 24-bit otherwise.

#include "ICO.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ByteReader.h"
#include "DIB.h"
#include "PngReader.h"
#include "StreamBytes.h"

namespace quorin {

namespace {

using bytes::Fits;
using bytes::TBytes;
using bytes::U16;
using bytes::U32;

std::unique_ptr<TGraphic> CreateIcon() { return std::make_unique<TIcon>(); }

constexpr std::int64_t DirectorySize = 6;
constexpr std::int64_t EntrySize = 16;
constexpr std::uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

[[noreturn]] void Fail(const std::string& detail) { throw EInvalidGraphic("Invalid icon file: " + detail); }

struct TEntry {
    std::int64_t Width = 0;
    std::int64_t Height = 0;
    int BitCount = 0;
    std::int64_t Offset = 0;
    std::int64_t Size = 0;
};

// ---- PNG entries -----------------------------------------------------------

void DecodePngEntry(TBytes data, TBitmap& bitmap)
{
    try {
        DecodePngBytes(data, bitmap);
    } catch (const EInvalidGraphic& e) {
        Fail(e.Message());
    }
}

// ---- the directory ---------------------------------------------------------

std::vector<TEntry> ReadDirectory(TBytes file)
{
    if (!Fits(0, DirectorySize, file))
        Fail("header truncated");
    const std::uint16_t reserved = U16(file.data());
    const std::uint16_t type = U16(file.data() + 2);
    const std::uint16_t count = U16(file.data() + 4);
    if (reserved != 0 || (type != 1 && type != 2))
        Fail("not an icon (reserved " + std::to_string(reserved) + ", type " + std::to_string(type) + ")");
    if (count == 0)
        Fail("no images");
    if (!Fits(DirectorySize, count * EntrySize, file))
        Fail("directory of " + std::to_string(count) + " entries truncated");

    std::vector<TEntry> entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* e = file.data() + DirectorySize + i * EntrySize;
        TEntry entry;
        entry.Width = e[0] ? e[0] : 256;
        entry.Height = e[1] ? e[1] : 256;
        entry.BitCount = U16(e + 6);
        entry.Size = U32(e + 8);
        entry.Offset = U32(e + 12);
        if (entry.Size == 0 || !Fits(entry.Offset, entry.Size, file))
            Fail("image " + std::to_string(i) + " (offset " + std::to_string(entry.Offset) + ", size " +
                 std::to_string(entry.Size) + ") lies outside the file");
        entries.push_back(entry);
    }
    return entries;
}

const TEntry& ChooseEntry(const std::vector<TEntry>& entries)
{
    const TEntry* best = &entries.front();
    for (const TEntry& e : entries) {
        const std::int64_t area = e.Width * e.Height;
        const std::int64_t bestArea = best->Width * best->Height;
        if (area > bestArea || (area == bestArea && e.BitCount > best->BitCount))
            best = &e;
    }
    return *best;
}

} // namespace

const TGraphicClass TIcon::ClassRecord{"TIcon", &CreateIcon, &TBitmap::ClassRecord};

void TIcon::DecodeStream(TStream& stream)
{
    TStreamBytes input(stream);
    if (!input.Complete())
        Fail("file too large");
    DecodeICO(input.Bytes());
}

void TIcon::DecodeICO(std::span<const std::uint8_t> file)
{
    const std::vector<TEntry> entries = ReadDirectory(file);
    const TEntry& entry = ChooseEntry(entries);
    const TBytes image = file.subspan(static_cast<std::size_t>(entry.Offset), static_cast<std::size_t>(entry.Size));
    if (image.size() >= sizeof PngSignature && std::memcmp(image.data(), PngSignature, sizeof PngSignature) == 0)
        DecodePngEntry(image, *this);
    else
        DecodePackedDib(image, *this, TDibKind::IconImage);
    Changed();
}

} // namespace quorin

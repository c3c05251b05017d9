#include "DeflateBands.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <libdeflate.h>
#include <zlib.h>

#include "base/Exception.h"

namespace quorin {

namespace {

// Where a raw deflate stream's last block starts and where its data end,
// in bits from the start. zlib's inflate stops at each block boundary when
// asked (Z_BLOCK) and tells how many bits of the last byte it took are
// still unread; the bytes it writes are thrown away.
struct TBlockBounds {
    std::size_t LastHeaderBit = 0;
    std::size_t EndBit = 0;
};

TBlockBounds FindBlockBounds(std::span<const std::uint8_t> data)
{
    z_stream stream{};
    if (inflateInit2(&stream, -15) != Z_OK)
        throw EOutOfMemory("Out of memory for the PNG writer");
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    std::array<std::uint8_t, 1 << 16> scratch;
    TBlockBounds bounds;
    int result = Z_OK;
    for (;;) {
        stream.next_out = scratch.data();
        stream.avail_out = static_cast<uInt>(scratch.size());
        result = inflate(&stream, Z_BLOCK);
        if (result != Z_OK)
            break;
        const bool atBoundary = (stream.data_type & 128) != 0, inLastBlock = (stream.data_type & 64) != 0;
        if (!atBoundary)
            continue;
        const std::size_t bit = stream.total_in * 8 - static_cast<std::size_t>(stream.data_type & 7);
        if (inLastBlock) {
            bounds.EndBit = bit;
            break;
        }
        bounds.LastHeaderBit = bit;
    }
    inflateEnd(&stream);
    if (bounds.EndBit == 0)
        throw Exception("Deflate data incomplete (" + std::to_string(result) + ")");
    return bounds;
}

} // namespace

void MakeContinuable(std::vector<std::uint8_t>& buffer, std::size_t start)
{
    const TBlockBounds bounds = FindBlockBounds(std::span(buffer).subspan(start));
    std::uint8_t* data = buffer.data() + start;
    data[bounds.LastHeaderBit / 8] &= static_cast<std::uint8_t>(~(1u << (bounds.LastHeaderBit % 8)));
    // An empty stored block: three zero bits of header, zeros to the byte
    // boundary, then its length 0 and that length's complement.
    const std::size_t lastByte = start + bounds.EndBit / 8;
    buffer.resize(start + (bounds.EndBit + 3 + 7) / 8, 0);
    if (lastByte < buffer.size())
        buffer[lastByte] &= static_cast<std::uint8_t>((1u << (bounds.EndBit % 8)) - 1);
    buffer.insert(buffer.end(), {0x00, 0x00, 0xFF, 0xFF});
}

TDeflateBands::TDeflateBands(int level, std::size_t bandBytes, TSink sink)
    : compressor_(libdeflate_alloc_compressor(level), &libdeflate_free_compressor),
      bandBytes_(bandBytes),
      sink_(std::move(sink))
{
    if (!compressor_)
        throw EOutOfMemory("Out of memory for the PNG writer");
    band_.reserve(bandBytes_);
}

TDeflateBands::~TDeflateBands() = default;

void TDeflateBands::Add(const std::uint8_t* data, std::size_t count)
{
    while (count > 0) {
        const std::size_t n = std::min(count, bandBytes_ - band_.size());
        band_.insert(band_.end(), data, data + n);
        data += n;
        count -= n;
        if (band_.size() == bandBytes_)
            Flush(false);
    }
}

void TDeflateBands::Finish()
{
    Flush(true);
}

void TDeflateBands::Flush(bool last)
{
    packed_.resize(libdeflate_deflate_compress_bound(compressor_.get(), band_.size()) + 2);
    std::size_t at = 0;
    if (!started_) {
        // zlib's header: deflate with a 32 KiB window, no dictionary.
        packed_[0] = 0x78;
        packed_[1] = 0x9C;
        at = 2;
        started_ = true;
    }
    const std::size_t size = libdeflate_deflate_compress(compressor_.get(), band_.data(), band_.size(),
                                                         packed_.data() + at, packed_.size() - at);
    adler_ = libdeflate_adler32(adler_, band_.data(), band_.size());
    band_.clear();
    packed_.resize(at + size);
    if (last) {
        for (int shift = 24; shift >= 0; shift -= 8)
            packed_.push_back(static_cast<std::uint8_t>(adler_ >> shift));
    } else {
        MakeContinuable(packed_, at);
    }
    sink_(packed_);
}

} // namespace quorin

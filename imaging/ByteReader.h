#pragma once
// Little-endian reads from bytes in memory and the bounds checks that guard
// them, shared by the BMP, ICO, DDS and metafile readers. Every read is preceded by
// a Fits check against the size of the buffer it reads.

#include <cstdint>
#include <span>

namespace quorin::bytes {

using TBytes = std::span<const std::uint8_t>;

inline std::uint16_t U16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t U32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::int16_t I16(const std::uint8_t* p) { return static_cast<std::int16_t>(U16(p)); }
inline std::int32_t I32(const std::uint8_t* p) { return static_cast<std::int32_t>(U32(p)); }

// Whether [offset, offset + count) lies within size bytes; no overflow for
// any 64-bit input, since it compares before subtracting.
inline bool Fits(std::int64_t offset, std::int64_t count, std::int64_t size)
{
    return offset >= 0 && count >= 0 && size >= 0 && offset <= size && count <= size - offset;
}

inline bool Fits(std::int64_t offset, std::int64_t count, TBytes data)
{
    return Fits(offset, count, static_cast<std::int64_t>(data.size()));
}

} // namespace quorin::bytes

#pragma once
// The decoders' one little-endian reader: multi-byte fields are put together
// byte by byte (the compiler merges them), so neither alignment nor the
// host's byte order matters. Every read from a buffer of outside size is
// preceded by a Fits check against that size.

#include <cstddef>
#include <cstdint>
#include <span>

namespace quorin::bytes {

using TBytes = std::span<const std::uint8_t>;

// A 16-bit field widened to 32 bits, for arithmetic that goes on in 32 bits
// anyway: handing it over as 16 bits first costs the DXT3 decoder a sixth of
// its speed with GCC 12.
inline std::uint32_t U16Wide(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
}

inline std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(U16Wide(p)); }

inline std::uint32_t U24(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16);
}

inline std::uint32_t U32(const std::uint8_t* p)
{
    return U24(p) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The first count bytes (at most 4) as a number; missing high bytes are 0.
inline std::uint32_t ULeading(const std::uint8_t* p, std::size_t count)
{
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;)
        value = value << 8 | p[i];
    return value;
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

#pragma once
// What the glTF writer and reader agree on: the extras' key, the numbers of
// glTF's component types and the fingerprint that tells an unchanged mesh.

#include <bit>
#include <cstdint>
#include <span>
#include <string>

namespace quorin::gltf {

static_assert(std::endian::native == std::endian::little, "glTF's binary data is little-endian, as is every host built for");

inline constexpr const char* ExtrasKey = "quorin";
inline constexpr int Byte = 5120, UnsignedByte = 5121, Short = 5122, UnsignedShort = 5123, UnsignedInt = 5125,
                     Float = 5126;
inline constexpr int Triangles = 4;

// FNV-1a over the bytes of a mesh's arrays, as the glTF holds them.
class TFingerprint {
public:
    void Add(std::span<const std::uint8_t> bytes)
    {
        for (std::uint8_t b : bytes)
            hash_ = (hash_ ^ b) * 0x100000001B3ull;
    }
    template <typename T>
    void AddValues(std::span<const T> values)
    {
        Add({reinterpret_cast<const std::uint8_t*>(values.data()), values.size_bytes()});
    }
    std::string Text() const
    {
        static constexpr char digits[] = "0123456789abcdef";
        std::string text(16, '0');
        for (int i = 0; i < 16; ++i)
            text[15 - i] = digits[(hash_ >> (4 * i)) & 15];
        return text;
    }

private:
    std::uint64_t hash_ = 0xCBF29CE484222325ull;
};

} // namespace quorin::gltf

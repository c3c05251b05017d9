#pragma once
// What the glTF writer and reader agree on: the extras' key, the numbers of
// glTF's component types and the fingerprint that tells an unchanged mesh.

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace quorin::gltf {

static_assert(std::endian::native == std::endian::little, "glTF's binary data is little-endian, as is every host built for");

inline constexpr const char* ExtrasKey = "quorin";
inline constexpr int Byte = 5120, UnsignedByte = 5121, Short = 5122, UnsignedShort = 5123, UnsignedInt = 5125,
                     Float = 5126;
inline constexpr int Triangles = 4;

// A hash of a mesh's arrays, as the glTF holds them, that tells an
// unchanged mesh. Its text starts "2-"; a text without it is of the first
// kind, FNV-1a over every byte, which files written before still carry and
// which is still read (a byte at a time, so four times slower).
class TFingerprint {
public:
    // The kind that made text, so that the same arrays give the same text.
    static TFingerprint For(std::string_view text) { return TFingerprint(!text.starts_with(Prefix)); }
    TFingerprint() = default;

    void Add(std::span<const std::uint8_t> bytes)
    {
        if (firstKind_) {
            for (std::uint8_t b : bytes)
                hash_ = (hash_ ^ b) * 0x100000001B3ull;
            return;
        }
        // Four lanes of words, each step a bijection, so that a change in
        // any one lane always shows.
        std::uint64_t lanes[4] = {hash_, hash_ ^ 1, hash_ ^ 2, hash_ ^ 3};
        const std::uint8_t* p = bytes.data();
        std::size_t left = bytes.size();
        for (; left >= 32; p += 32, left -= 32)
            for (int lane = 0; lane < 4; ++lane)
                lanes[lane] = Step(lanes[lane], Word(p + 8 * lane));
        for (; left >= 8; p += 8, left -= 8)
            lanes[0] = Step(lanes[0], Word(p));
        for (; left > 0; ++p, --left)
            lanes[1] = Step(lanes[1], *p);
        std::uint64_t hash = bytes.size();
        for (std::uint64_t lane : lanes) {
            hash = (hash ^ lane) * Multiplier;
            hash ^= hash >> 32;
        }
        hash_ = hash;
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
        return firstKind_ ? text : std::string(Prefix) + text;
    }

private:
    static constexpr std::string_view Prefix = "2-";
    static constexpr std::uint64_t Multiplier = 0x9E3779B97F4A7C15ull;

    explicit TFingerprint(bool firstKind) : firstKind_(firstKind) {}
    static std::uint64_t Word(const std::uint8_t* p)
    {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        return word;
    }
    static std::uint64_t Step(std::uint64_t lane, std::uint64_t word)
    {
        return std::rotl((lane ^ word) * Multiplier, 29);
    }

    bool firstKind_ = false;
    std::uint64_t hash_ = 0xCBF29CE484222325ull;
};

} // namespace quorin::gltf

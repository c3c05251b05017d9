#include "Blake2b.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace quorin {

namespace {

constexpr std::size_t BlockSize = 128;
constexpr std::size_t DigestSize = 32;

constexpr std::array<std::uint64_t, 8> InitialValues = {
    0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
    0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179,
};

constexpr std::uint8_t Sigma[12][16] = {
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, {14, 10, 4, 8, 9, 15, 13, 6, 1, 12, 0, 2, 11, 7, 5, 3},
    {11, 8, 12, 0, 5, 2, 15, 13, 10, 14, 3, 6, 7, 1, 9, 4}, {7, 9, 3, 1, 13, 12, 11, 14, 2, 6, 5, 10, 4, 0, 15, 8},
    {9, 0, 5, 7, 2, 4, 10, 15, 14, 1, 11, 12, 6, 8, 3, 13}, {2, 12, 6, 10, 0, 11, 8, 3, 4, 13, 7, 5, 15, 14, 1, 9},
    {12, 5, 1, 15, 14, 13, 4, 10, 0, 7, 6, 3, 9, 2, 8, 11}, {13, 11, 7, 14, 12, 1, 3, 9, 5, 0, 15, 4, 8, 6, 2, 10},
    {6, 15, 14, 9, 11, 3, 0, 8, 12, 2, 13, 7, 1, 4, 10, 5}, {10, 2, 8, 4, 7, 6, 1, 5, 15, 11, 9, 14, 3, 12, 13, 0},
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, {14, 10, 4, 8, 9, 15, 13, 6, 1, 12, 0, 2, 11, 7, 5, 3},
};

constexpr std::uint64_t Rotate(std::uint64_t value, int count) { return (value >> count) | (value << (64 - count)); }

std::uint64_t LoadLittleEndian(const std::uint8_t* bytes)
{
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

// Inlined by force, on plain variables, so that the state stays in registers:
// as a call per mix the hash runs at half its speed.
[[gnu::always_inline]] inline void Mix(std::uint64_t& a, std::uint64_t& b, std::uint64_t& c, std::uint64_t& d,
                                       std::uint64_t x, std::uint64_t y)
{
    a = a + b + x;
    d = Rotate(d ^ a, 32);
    c = c + d;
    b = Rotate(b ^ c, 24);
    a = a + b + y;
    d = Rotate(d ^ a, 16);
    c = c + d;
    b = Rotate(b ^ c, 63);
}

void Compress(std::array<std::uint64_t, 8>& h, const std::uint8_t* block, std::uint64_t counted, bool last)
{
    std::uint64_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = LoadLittleEndian(block + i * 8);
    std::uint64_t v0 = h[0], v1 = h[1], v2 = h[2], v3 = h[3], v4 = h[4], v5 = h[5], v6 = h[6], v7 = h[7];
    std::uint64_t v8 = InitialValues[0], v9 = InitialValues[1], v10 = InitialValues[2], v11 = InitialValues[3];
    std::uint64_t v12 = InitialValues[4] ^ counted; // the count's high word stays 0: no input reaches 2^64 bytes
    std::uint64_t v13 = InitialValues[5], v14 = InitialValues[6], v15 = InitialValues[7];
    if (last)
        v14 = ~v14;
    // Unrolled, the message words of each round are picked at compile time.
#pragma GCC unroll 12
    for (const auto& s : Sigma) {
        Mix(v0, v4, v8, v12, m[s[0]], m[s[1]]);
        Mix(v1, v5, v9, v13, m[s[2]], m[s[3]]);
        Mix(v2, v6, v10, v14, m[s[4]], m[s[5]]);
        Mix(v3, v7, v11, v15, m[s[6]], m[s[7]]);
        Mix(v0, v5, v10, v15, m[s[8]], m[s[9]]);
        Mix(v1, v6, v11, v12, m[s[10]], m[s[11]]);
        Mix(v2, v7, v8, v13, m[s[12]], m[s[13]]);
        Mix(v3, v4, v9, v14, m[s[14]], m[s[15]]);
    }
    h[0] ^= v0 ^ v8;
    h[1] ^= v1 ^ v9;
    h[2] ^= v2 ^ v10;
    h[3] ^= v3 ^ v11;
    h[4] ^= v4 ^ v12;
    h[5] ^= v5 ^ v13;
    h[6] ^= v6 ^ v14;
    h[7] ^= v7 ^ v15;
}

} // namespace

std::string Blake2b256Hex(std::string_view bytes)
{
    std::array<std::uint64_t, 8> h = InitialValues;
    h[0] ^= 0x01010000 ^ DigestSize; // no key, fan-out and depth 1
    auto data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t size = bytes.size();

    // Every block but the last is compressed as it comes; the last one, full
    // or not (an empty input has one empty block), carries the final flag.
    std::size_t offset = 0;
    while (size - offset > BlockSize) {
        offset += BlockSize;
        Compress(h, data + offset - BlockSize, offset, false);
    }
    std::array<std::uint8_t, BlockSize> last{};
    if (size > offset)
        std::memcpy(last.data(), data + offset, size - offset);
    Compress(h, last.data(), size, true);

    static constexpr char Digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(DigestSize * 2);
    for (std::size_t i = 0; i < DigestSize; ++i) {
        auto byte = static_cast<std::uint8_t>(h[i / 8] >> (8 * (i % 8)));
        hex += Digits[byte >> 4];
        hex += Digits[byte & 0xF];
    }
    return hex;
}

} // namespace quorin

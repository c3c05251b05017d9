#pragma once
// What each fuzz target does with one input. The libFuzzer targets call
// these, and so does the corpus replay test of the normal build, so every
// committed input runs through the very same code in both.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quorin::fuzz {

// Each returns 0; a finding is a crash, a trap or a sanitizer report.
int Bmp(const std::uint8_t* data, std::size_t size);
int Dds(const std::uint8_t* data, std::size_t size);
int Gltf(const std::uint8_t* data, std::size_t size);
int Ico(const std::uint8_t* data, std::size_t size);
int Jpeg(const std::uint8_t* data, std::size_t size);
int Metafile(const std::uint8_t* data, std::size_t size);
int Model(const std::uint8_t* data, std::size_t size);
int Package(const std::uint8_t* data, std::size_t size);
int Tga(const std::uint8_t* data, std::size_t size);

struct TTarget {
    std::string_view Corpus; // the folder under fuzz/corpus
    int (*Run)(const std::uint8_t* data, std::size_t size);
};

inline constexpr TTarget Targets[] = {
    {"bmp", &Bmp},           {"dds", &Dds},         {"gltf", &Gltf}, {"ico", &Ico}, {"jpeg", &Jpeg},
    {"metafile", &Metafile}, {"model", &Model},     {"package", &Package}, {"tga", &Tga},
};

} // namespace quorin::fuzz

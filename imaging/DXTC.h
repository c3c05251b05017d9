#pragma once
// S3TC block decompression into 32-bit pixels (blue, green, red, alpha).
// The source must hold ceil(w/4) x ceil(h/4) blocks and the destination w x h
// pixels; the routines check neither. Null buffers or a size <= 0 decode nothing.

#include <cstdint>

namespace quorin {

void SplitRGB565(std::uint16_t colour, std::uint8_t& blue, std::uint8_t& green, std::uint8_t& red);
void UnpackDXT1Blocks(const std::uint8_t* source, std::uint32_t* destination, std::int32_t width, std::int32_t height,
                      bool& hasTransparency);
void UnpackDXT3Blocks(const std::uint8_t* source, std::uint32_t* destination, std::int32_t width, std::int32_t height);
void UnpackDXT5Blocks(const std::uint8_t* source, std::uint32_t* destination, std::int32_t width, std::int32_t height);

} // namespace quorin

#pragma once
// DDS output: DXT1 or DXT5 textures with their mipmaps, laid out and headed
// as the game's own textures are, saved atomically.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "Bitmap.h"
#include "DXTCEncoder.h"

namespace quorin {

// Auto: DXT1 when every pixel is opaque, DXT5 otherwise; DXT1's one-bit
// transparency only when DXT1 is asked for.
enum class TDdsFormat { Auto, DXT1, DXT5 };
enum class TMipmapChain { Full, None };

struct TDdsOptions {
    TDdsFormat Format = TDdsFormat::Auto;
    TMipmapChain Mipmaps = TMipmapChain::Full;
    TDxtQuality Quality = TDxtQuality::Normal;
    int Threads = 0; // 0: as many as the processor runs at once
};

struct TDdsWritten {
    TDxtKind Kind = TDxtKind::DXT1;
    int Levels = 0;     // in the file
    int KeptLevels = 0; // taken over unchanged from the file read
};

constexpr std::size_t DdsHeaderSize = 128;
// The header of a texture of levels levels: the flags for caps, size, pixel
// format, mipmap count and linear size; the caps texture, and complex and
// mipmap when there is more than one level; the top level's size as the
// linear size; the pixel format by FourCC alone.
std::array<std::uint8_t, DdsHeaderSize> DdsHeader(TDxtKind kind, int width, int height, int levels);

// Whether every pixel is opaque (a picture without alpha channel is).
bool IsOpaque(const TBitmap& picture);

// Encodes picture and the mipmaps the options ask for into path.
TDdsWritten WriteDDS(const TBitmap& picture, std::string_view path, const TDdsOptions& options);

// When file is a DXT1 or DXT5 texture and the options keep its format (Auto
// or the same): its levels are kept byte for byte and only the missing ones
// are made, each from the one above, and written to path, which may be the
// file's own. Otherwise nothing is written and the result is empty: the
// caller decodes the file and uses WriteDDS. file must be a DDS file the
// decoder accepts.
std::optional<TDdsWritten> CompleteDDS(std::span<const std::uint8_t> file, std::string_view path,
                                       const TDdsOptions& options);

// The top level of a DXT1 or DXT5 file as the game's hardware shows it (5-
// and 6-bit fields widened by bit replication), 32-bit with alpha; null for
// other layouts or a file too short for its top level.
std::unique_ptr<TBitmap> DecodeDxtTop(std::span<const std::uint8_t> file);

} // namespace quorin

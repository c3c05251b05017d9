#pragma once
// S3TC block compression: DXT1 and DXT5 blocks from 32-bit pixels, the
// inverse of DXTC.h. A block's pixels are given as 64 bytes, row by row,
// each pixel blue, green, red, alpha (the Bitmap's order).
//
// The error the encoder minimises is plain RGB squared error against the
// colours the game's hardware shows: 5- and 6-bit fields widened by bit
// replication, the thirds rounded. DecodeColourBlock and DecodeAlphaBlock
// give exactly those colours.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorin {

class TBitmap;

// Fast: principal axis and one least-squares step, indices by projection on
// the endpoints' line. Normal: adds a step and one round of moving each
// endpoint field towards the least-squares solution. Best: exact nearest
// indices, a cluster fit over every ordering of the pixels along the axis,
// and wider searches.
enum class TDxtQuality { Fast, Normal, Best };

// Eight bytes. Four-colour mode (first endpoint above the second) unless
// punchThrough, which turns pixels of alpha below 128 into the transparent
// entry of a three-colour block; without it alpha is ignored.
void EncodeDXT1Block(const std::uint8_t* bgra, TDxtQuality quality, bool punchThrough, std::uint8_t* out);
// Sixteen bytes: the alpha half, then a four-colour colour half.
void EncodeDXT5Block(const std::uint8_t* bgra, TDxtQuality quality, std::uint8_t* out);
// The eight bytes of a DXT5 alpha half from sixteen alpha values, in the
// 8-value or the 6-value mode, whichever comes closer.
void EncodeDXT5Alpha(const std::uint8_t* alpha, TDxtQuality quality, std::uint8_t* out);

// The 64 bytes (blue, green, red, alpha) a colour half shows; alpha is 255,
// or 0 for the transparent entry of a DXT1 three-colour block. dxt1 chooses
// whether the endpoints' order selects the three-colour mode.
void DecodeColourBlock(const std::uint8_t* block, bool dxt1, std::uint8_t* bgra);
// The sixteen alpha values of a DXT5 alpha half.
void DecodeAlphaBlock(const std::uint8_t* block, std::uint8_t* alpha);

enum class TDxtKind { DXT1, DXT5 };

struct TDxtOptions {
    TDxtKind Kind = TDxtKind::DXT5;
    TDxtQuality Quality = TDxtQuality::Normal;
    bool PunchThrough = false; // DXT1 only: alpha below 128 becomes transparent
    int Threads = 0;           // 0: as many as the processor runs at once
};

// 8 (DXT1) or 16 (DXT5).
int DxtBlockBytes(TDxtKind kind);
// The bytes of a width x height picture's blocks.
std::size_t DxtPictureBytes(TDxtKind kind, int width, int height);

// The picture's blocks, row by row from the top; a block that crosses the
// right or bottom edge repeats the edge's pixels. A picture without an alpha
// channel counts as opaque. Large pictures are shared out among threads by
// rows of blocks; the bytes are the same for any number of threads.
std::vector<std::uint8_t> EncodeDXTPicture(const TBitmap& picture, const TDxtOptions& options);
// The blockRows rows of blocks from firstBlockRow on, as EncodeDXTPicture
// gives them: for writing a picture a band at a time.
std::vector<std::uint8_t> EncodeDXTRows(const TBitmap& picture, int firstBlockRow, int blockRows,
                                        const TDxtOptions& options);

} // namespace quorin

#pragma once
// The package layout: the 25 items in the order they are written.

#include <cstdint>
#include <string_view>

#include "Writer.h"
#include "UnitSheet.h"
#include "base/Stream.h"

namespace quorin {

inline constexpr std::string_view PackageMagic = "QuorinPAKx0.1";
inline constexpr std::string_view PackageMarker = "0x2 0xA2 0xFF Auf Zero";
inline constexpr std::string_view ReservedText = "none";
inline constexpr int ReservedTextCount = 4;
inline constexpr int ReservedIntegerCount = 4;
inline constexpr int HeaderFillerCount = 5;
inline constexpr std::int32_t HeaderFillerRange = 65536;
inline constexpr std::int32_t CountRange = 128;
inline constexpr std::int32_t CountBase = 127;
inline constexpr std::int32_t TailFillerRange = 256;
inline constexpr std::int32_t WriterBufferSize = 4096;

class TBuildProgress;

// What copying the embedded files shares: one load buffer, and the progress
// told as the bytes go.
struct TEmbedding {
    TMemoryStream LoadBuffer;
    TBuildProgress* Progress = nullptr;
    std::int64_t Done = 0;
    std::int64_t Total = 0;
};

// The bytes of the sheet's files that tell their size; a missing file or a
// pipe counts as nothing.
std::int64_t EmbeddedBytes(const TUnitSheet& sheet);

// Writes the header: magic, marker and the filler values.
void WritePackageHeader(TWriter& writer);
// Writes everything after the header: the descriptive fields, the UI card
// rows, the model, the texture rows, the model's name and skeletons and the
// text blocks. Each embedded file is loaded whole into the load buffer.
void WriteUnitSheet(TWriter& writer, const TUnitSheet& sheet, TEmbedding& embedding);
// An embedded file: its size as an integer, then its bytes.
void WriteEmbeddedFile(TWriter& writer, std::string_view path, TEmbedding& embedding);

} // namespace quorin

#pragma once
// The package layout: the 25 items in the order they are written.

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

// Writes the header: magic, marker and the filler values (items 1 to 5).
void WritePackageHeader(TWriter& writer);
// Writes items 6 to 25. Each embedded file is loaded whole into loadBuffer.
void WriteUnitSheet(TWriter& writer, const TUnitSheet& sheet, TMemoryStream& loadBuffer);
// An embedded file: its size as an integer, then its bytes.
void WriteEmbeddedFile(TWriter& writer, std::string_view path, TMemoryStream& loadBuffer);

} // namespace quorin

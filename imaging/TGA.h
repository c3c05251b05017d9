#pragma once
// Truevision Targa: uncompressed and run-length true-colour, 24 and 32 bits.

#include <cstddef>
#include <cstdint>
#include <span>

#include "Bitmap.h"

namespace quorin {

namespace bytes {
class TCursor;
}

class ETGAException : public Exception { using Exception::Exception; };

class TTGAImage : public TBitmap {
public:
    static const TGraphicClass ClassRecord;
    const TGraphicClass& ClassType() const override { return ClassRecord; }
    // Decodes a TGA file held in memory. Returns how many of its bytes the
    // picture used: header, ID field and pixel data, not what follows.
    std::size_t DecodeTGA(std::span<const std::uint8_t> file);
    // DecodeTGA on the rest of the stream, which is left after the bytes used.
    // A stream that does not hold its bytes in memory is read in order
    // through a small buffer, never whole.
    void DecodeStream(TStream& stream) override;

private:
    // TInput: a bytes::TCursor over a file in memory, or a TStreamCursor.
    template <class TInput>
    void Decode(TInput& input);
};

// Judges the header of a TGA file as decoding it would, from its first bytes
// (head; 18 are enough): the size and kind, or the message decoding fails
// with. Raises nothing, so a package of many cards is inspected quickly.
TPictureHeader InspectTGAHeader(const std::uint8_t* head, std::size_t headSize);

void RegisterTGAFormat();
void UnregisterTGAFormat();

} // namespace quorin

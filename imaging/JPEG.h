#pragma once
// JPEG pictures, decoded by the platform's codec to RGB rows (greyscale and
// CMYK too).

#include <cstdint>
#include <span>

#include "Bitmap.h"

namespace quorin {

class EJPEGException : public Exception { using Exception::Exception; };

class TJPEGImage : public TBitmap {
public:
    static const TGraphicClass ClassRecord;
    const TGraphicClass& ClassType() const override { return ClassRecord; }
    // Decodes a JPEG stream held in memory.
    void DecodeJPEG(std::span<const std::uint8_t> data);
    // DecodeJPEG on the rest of the stream.
    void DecodeStream(TStream& stream) override;
};

void RegisterJPEGFormats();
void UnregisterJPEGFormats();

} // namespace quorin

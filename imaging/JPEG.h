#pragma once
// JPEG pictures, decompressed by libjpeg to RGB scanlines (greyscale too).

#include "Bitmap.h"

namespace quorin {

class EJPEGException : public Exception { using Exception::Exception; };

class TJPEGImage : public TBitmap {
public:
    static const TGraphicClass ClassRecord;
    const TGraphicClass& ClassType() const override { return ClassRecord; }
    void DecodeStream(TStream& stream) override;
};

void RegisterJPEGFormats();
void UnregisterJPEGFormats();

} // namespace quorin

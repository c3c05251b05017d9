#pragma once
// Truevision Targa: uncompressed and run-length true-colour, 24 and 32 bits.

#include "Bitmap.h"

namespace quorin {

class ETGAException : public Exception { using Exception::Exception; };

class TTGAImage : public TBitmap {
public:
    static const TGraphicClass ClassRecord;
    const TGraphicClass& ClassType() const override { return ClassRecord; }
    void DecodeStream(TStream& stream) override;
};

void RegisterTGAFormat();
void UnregisterTGAFormat();

} // namespace quorin

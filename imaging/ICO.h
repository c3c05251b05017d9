#pragma once
// Windows icons: the largest, deepest entry; BMP entries with their AND mask
// as transparency, PNG entries through libpng.

#include "Bitmap.h"

namespace quorin {

class TIcon : public TBitmap {
public:
    static const TGraphicClass ClassRecord;
    const TGraphicClass& ClassType() const override { return ClassRecord; }
    void DecodeStream(TStream& stream) override;
};

} // namespace quorin

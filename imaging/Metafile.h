#pragma once
// Windows metafiles (WMF, placeable or not) and enhanced metafiles (EMF):
// the size comes from the header; the common records are replayed on a canvas.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "Graphic.h"

namespace quorin {

class TMetafile : public TGraphic {
public:
    static const TGraphicClass ClassRecord;
    const TGraphicClass& ClassType() const override { return ClassRecord; }

    TMetafile();
    ~TMetafile() override;

    int Width() const override;
    int Height() const override;
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    void Draw(TCanvas& canvas, const TRect& dest) const override;
    // Decodes a WMF or EMF file held in memory.
    void DecodeMetafile(std::span<const std::uint8_t> file);
    // DecodeMetafile on the rest of the stream.
    void DecodeStream(TStream& stream) override;
    void Assign(const TGraphic& source) override;

    struct TData;

private:
    std::shared_ptr<const TData> data_; // immutable once decoded; copies share it
    int width_ = 0;
    int height_ = 0;
};

} // namespace quorin

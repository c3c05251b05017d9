// Windows metafiles (WMF, with or without the placeable header) and enhanced
// metafiles (EMF).
//
// DecodeStream parses the records once into an immutable display list whose
// coordinates are fractions of the picture (0..1 across its width and
// height), so Draw only scales them into the destination rectangle and
// replays them on the canvas. Copies made by Assign share that list.
//
// WMF.cpp and EMF.cpp read the two formats, MetafileReplay.cpp holds what
// they share and the replay. What is read:
// - Pens (solid or null), brushes (solid or null; hatched and patterned ones
//   are drawn solid in their colour), lines, polylines, polygons (a
//   polypolygon as separate polygons), rectangles, ellipses, and DIB records
//   with SRCCOPY. Other records are skipped by their size.
// - Parsing ends at the end-of-file record, or silently at a record whose size
//   is too small, misaligned or runs past the end of the data: what came
//   before is kept. A bad header fails with "Invalid metafile: ...". A DIB
//   record whose bitmap cannot be decoded is skipped.

#include "Metafile.h"

#include <algorithm>
#include <string>

#include "MetafileReplay.h"
#include "StreamBytes.h"

namespace quorin {

namespace {

std::unique_ptr<TGraphic> CreateMetafile() { return std::make_unique<TMetafile>(); }

} // namespace

const TGraphicClass TMetafile::ClassRecord{"TMetafile", &CreateMetafile, &TGraphic::ClassRecord};

TMetafile::TMetafile() = default;
TMetafile::~TMetafile() = default;

int TMetafile::Width() const { return width_; }
int TMetafile::Height() const { return height_; }

void TMetafile::SetWidth(int width)
{
    width_ = std::max(0, width);
    Changed();
}

void TMetafile::SetHeight(int height)
{
    height_ = std::max(0, height);
    Changed();
}

void TMetafile::Draw(TCanvas& canvas, const TRect& dest) const
{
    if (data_)
        metafile::Replay(*data_, canvas, dest);
}

void TMetafile::DecodeStream(TStream& stream)
{
    TStreamBytes input(stream);
    if (!input.Complete())
        metafile::Fail("file too large");
    DecodeMetafile(input.Bytes());
}

void TMetafile::DecodeMetafile(std::span<const std::uint8_t> file)
{
    int width = 0;
    int height = 0;
    std::shared_ptr<TData> data = metafile::IsEmf(file) ? metafile::ParseEmf(file, width, height) : metafile::ParseWmf(file, width, height);
    data_ = std::move(data);
    width_ = width;
    height_ = height;
    Changed();
}

void TMetafile::Assign(const TGraphic& source)
{
    const auto* other = dynamic_cast<const TMetafile*>(&source);
    if (!other)
        throw EInvalidGraphic("Cannot assign a " + std::string(source.ClassType().Name) + " to a TMetafile");
    if (other == this)
        return;
    data_ = other->data_;
    width_ = other->width_;
    height_ = other->height_;
    SetTransparent(other->Transparent());
    Changed();
}

} // namespace quorin
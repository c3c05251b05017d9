// Placeholder until the metafile reader lands.
#include "Metafile.h"
namespace quorin {
namespace { std::unique_ptr<TGraphic> CreateMetafile() { return std::make_unique<TMetafile>(); } }
struct TMetafile::TData {};
const TGraphicClass TMetafile::ClassRecord{"TMetafile", &CreateMetafile, &TGraphic::ClassRecord};
TMetafile::TMetafile() = default;
TMetafile::~TMetafile() = default;
int TMetafile::Width() const { return width_; }
int TMetafile::Height() const { return height_; }
void TMetafile::SetWidth(int width) { width_ = width; }
void TMetafile::SetHeight(int height) { height_ = height; }
void TMetafile::Draw(TCanvas&, const TRect&) const {}
void TMetafile::DecodeStream(TStream&) { throw EInvalidGraphic("Metafile reader not built yet"); }
void TMetafile::Assign(const TGraphic&) {}
} // namespace quorin

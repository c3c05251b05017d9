// Placeholder until the JPEG module lands.
#include "JPEG.h"
#include "FileFormats.h"
namespace quorin {
namespace { std::unique_ptr<TGraphic> CreateJPEG() { return std::make_unique<TJPEGImage>(); } }
const TGraphicClass TJPEGImage::ClassRecord{"TJPEGImage", &CreateJPEG, &TBitmap::ClassRecord};
void TJPEGImage::DecodeStream(TStream&) { throw EJPEGException("JPEG reader not built yet"); }
void RegisterJPEGFormats()
{
    TFileFormatsList::Instance().RegisterFormat("jpeg", "JPEG Image File", TJPEGImage::ClassRecord);
    TFileFormatsList::Instance().RegisterFormat("jpg", "JPEG Image File", TJPEGImage::ClassRecord);
}
void UnregisterJPEGFormats() { TFileFormatsList::Instance().RemoveFormatsOf(TJPEGImage::ClassRecord); }
} // namespace quorin

// JPEG pictures: the whole file, held in memory, is decoded by the
// platform's codec (PlatformCodecs.h) to blue-green-red rows of a 24-bit
// Bitmap; its failures become EJPEGException with the codec's own message.

#include "JPEG.h"

#include "FileFormats.h"
#include "PlatformCodecs.h"
#include "StreamBytes.h"

namespace quorin {

namespace {

std::unique_ptr<TGraphic> CreateJPEG() { return std::make_unique<TJPEGImage>(); }

} // namespace

const TGraphicClass TJPEGImage::ClassRecord{"TJPEGImage", &CreateJPEG, &TBitmap::ClassRecord};

void TJPEGImage::DecodeStream(TStream& stream)
{
    TStreamBytes input(stream);
    if (!input.Complete())
        throw EJPEGException("JPEG file too large");
    DecodeJPEG(input.Bytes());
}

void TJPEGImage::DecodeJPEG(std::span<const std::uint8_t> data)
{
    try {
        codecs::DecodeJpeg(data, *this);
    } catch (const ECodecError& e) {
        throw EJPEGException(e.Message());
    }
    Changed();
}

void RegisterJPEGFormats()
{
    TFileFormatsList::Instance().RegisterFormat("jpeg", "JPEG Image File", TJPEGImage::ClassRecord);
    TFileFormatsList::Instance().RegisterFormat("jpg", "JPEG Image File", TJPEGImage::ClassRecord);
}

void UnregisterJPEGFormats() { TFileFormatsList::Instance().RemoveFormatsOf(TJPEGImage::ClassRecord); }

} // namespace quorin

// PNG and JPEG through the Windows Imaging Component (PlatformCodecs.h on
// Windows), so the Windows build needs neither libpng nor libjpeg.
//
// Each call brings COM up on its thread for its own duration and asks for
// the decoder of the one container it expects, so bytes of another format
// are refused instead of being sniffed into something else. The format
// converter gives 32-bit BGRA rows (from CMYK JPEGs too), which JPEG packs
// into our 24-bit ones.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>
#include <wincodec.h>

#include "PlatformCodecs.h"
#include "base/Stream.h"

namespace quorin::codecs {

namespace {

// Owns one COM interface pointer.
template <class T>
class TCom {
public:
    TCom() = default;
    ~TCom()
    {
        if (p_)
            p_->Release();
    }
    TCom(const TCom&) = delete;
    TCom& operator=(const TCom&) = delete;

    T* operator->() const { return p_; }
    T* Get() const { return p_; }
    T** Out() { return &p_; }
    void** OutVoid() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

// COM for the current thread, for as long as the object lives. A thread
// that already runs COM in the other apartment model serves as it is.
class TComScope {
public:
    TComScope()
    {
        HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ours_ = SUCCEEDED(result);
        if (FAILED(result) && result != RPC_E_CHANGED_MODE)
            Fail("COM start", result);
    }
    ~TComScope()
    {
        if (ours_)
            CoUninitialize();
    }
    TComScope(const TComScope&) = delete;
    TComScope& operator=(const TComScope&) = delete;

    [[noreturn]] static void Fail(const char* step, HRESULT result)
    {
        char text[96];
        std::snprintf(text, sizeof text, "%s failed (WIC error 0x%08lX)", step,
                      static_cast<unsigned long>(result));
        throw ECodecError(text);
    }

private:
    bool ours_ = false;
};

void Check(HRESULT result, const char* step)
{
    if (FAILED(result))
        TComScope::Fail(step, result);
}

void CreateFactory(TCom<IWICImagingFactory>& factory)
{
    Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                           factory.OutVoid()),
          "Starting the Windows Imaging Component");
}

// Decodes the first frame of data with the container's own decoder into
// bitmap: blue, green, red and alpha, or without the alpha for 24 bits.
void DecodeFrame(std::span<const std::uint8_t> data, const GUID& container, const char* kind, int bitsPerPixel,
                 TBitmap& bitmap)
{
    const std::string name = kind;
    if (data.size() > MAXDWORD)
        throw ECodecError(name + " file too large");
    TComScope com;
    TCom<IWICImagingFactory> factory;
    CreateFactory(factory);

    TCom<IWICStream> stream;
    Check(factory->CreateStream(stream.Out()), "Opening the data");
    // The stream only reads: WIC's signature takes a non-const pointer.
    Check(stream->InitializeFromMemory(const_cast<BYTE*>(data.data()), static_cast<DWORD>(data.size())),
          "Opening the data");
    TCom<IWICBitmapDecoder> decoder;
    Check(factory->CreateDecoder(container, nullptr, decoder.Out()), (name + " decoder").c_str());
    Check(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand), (name + " header").c_str());
    TCom<IWICBitmapFrameDecode> frame;
    Check(decoder->GetFrame(0, frame.Out()), (name + " frame").c_str());

    UINT width = 0, height = 0;
    Check(frame->GetSize(&width, &height), (name + " size").c_str());
    const std::int64_t w = width, h = height;
    if (w <= 0 || h <= 0 || w > MaxPicturePixels || h > MaxPicturePixels / w)
        throw ECodecError(name + " image too large (" + std::to_string(w) + " x " + std::to_string(h) + ")");

    TCom<IWICFormatConverter> converter;
    Check(factory->CreateFormatConverter(converter.Out()), (name + " pixel conversion").c_str());
    Check(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                WICBitmapPaletteTypeCustom),
          (name + " pixel conversion").c_str());

    bitmap.SetSize(0, 0);
    bitmap.SetPixelDepth(bitsPerPixel);
    bitmap.SetAlphaChannel(false);
    bitmap.SetSize(static_cast<int>(w), static_cast<int>(h));
    if (bitsPerPixel == 32) {
        // The Bitmap's rows lie top-down one stride apart, as WIC writes them.
        const std::int64_t stride = bitmap.RowStride();
        Check(converter->CopyPixels(nullptr, static_cast<UINT>(stride), static_cast<UINT>(stride * h),
                                    bitmap.RowAddress(0)),
              (name + " decoding").c_str());
        return;
    }
    // Not every WIC converts each format to 24 bits (wine's has no grey to
    // 24-bit BGR), all convert to 32: rows are taken so and packed.
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 4);
    for (int y = 0; y < h; ++y) {
        const WICRect line{0, y, static_cast<INT>(w), 1};
        Check(converter->CopyPixels(&line, static_cast<UINT>(row.size()), static_cast<UINT>(row.size()), row.data()),
              (name + " decoding").c_str());
        std::uint8_t* to = bitmap.RowAddress(y);
        for (std::size_t from = 0; from < row.size(); from += 4, to += 3) {
            to[0] = row[from];
            to[1] = row[from + 1];
            to[2] = row[from + 2];
        }
    }
}

// The rows of bitmap in the layout of withAlpha's PNG pixel format: the
// bitmap's own rows where they already have it, else converted ones.
class TEncoderRows {
public:
    TEncoderRows(const TBitmap& bitmap, bool withAlpha)
        : bitmap_(bitmap), direct_(bitmap.PixelDepth() == (withAlpha ? 32 : 24)),
          stride_(direct_ ? bitmap.RowStride() : TBitmap::RowStrideFor(bitmap.Width(), withAlpha ? 32 : 24))
    {
        if (!direct_)
            row_.resize(static_cast<std::size_t>(stride_));
    }

    UINT Stride() const { return static_cast<UINT>(stride_); }

    BYTE* Row(int y)
    {
        if (direct_) // WIC's signature takes a non-const pointer; the encoder only reads.
            return const_cast<BYTE*>(bitmap_.RowAddress(y));
        const std::uint8_t* src = bitmap_.RowAddress(y);
        const int in = bitmap_.BytesPerPixel();
        const bool toAlpha = in == 3; // 24-bit rows gain an opaque alpha; 32-bit ones drop theirs
        std::uint8_t* dst = row_.data();
        for (int x = 0; x < bitmap_.Width(); ++x, src += in) {
            *dst++ = src[0];
            *dst++ = src[1];
            *dst++ = src[2];
            if (toAlpha)
                *dst++ = 255;
        }
        return row_.data();
    }

private:
    const TBitmap& bitmap_;
    bool direct_;
    std::int64_t stride_;
    std::vector<std::uint8_t> row_;
};

// Copies what the encoder wrote into memory to stream.
void CopyToStream(IStream* memory, TStream& stream)
{
    HGLOBAL global = nullptr;
    Check(GetHGlobalFromStream(memory, &global), "PNG output");
    STATSTG stat{};
    Check(memory->Stat(&stat, STATFLAG_NONAME), "PNG output");
    const auto size = static_cast<std::int64_t>(stat.cbSize.QuadPart);
    const void* bytes = GlobalLock(global);
    if (!bytes)
        throw ECodecError("PNG output failed");
    std::int64_t written = 0;
    try {
        written = stream.Write(bytes, size);
    } catch (...) {
        GlobalUnlock(global);
        throw;
    }
    GlobalUnlock(global);
    if (written != size)
        throw ECodecError("Stream write error");
}

} // namespace

void DecodePng(std::span<const std::uint8_t> data, TBitmap& bitmap)
{
    DecodeFrame(data, GUID_ContainerFormatPng, "PNG", 32, bitmap);
}

void DecodePngStream(TStream& stream, TBitmap& bitmap)
{
    // The system's decoder takes whole files.
    std::vector<std::uint8_t> data(static_cast<std::size_t>(std::max<std::int64_t>(0, stream.Size() - stream.Position())));
    data.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, stream.Read(data.data(), static_cast<std::int64_t>(data.size())))));
    DecodePng(data, bitmap);
}

void DecodeJpeg(std::span<const std::uint8_t> data, TBitmap& bitmap)
{
    DecodeFrame(data, GUID_ContainerFormatJpeg, "JPEG", 24, bitmap);
}

void EncodePng(const TBitmap& bitmap, TStream& stream, bool withAlpha)
{
    TComScope com;
    TCom<IWICImagingFactory> factory;
    CreateFactory(factory);

    TCom<IStream> memory;
    Check(CreateStreamOnHGlobal(nullptr, TRUE, memory.Out()), "PNG output");
    TCom<IWICBitmapEncoder> encoder;
    Check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out()), "PNG encoder");
    Check(encoder->Initialize(memory.Get(), WICBitmapEncoderNoCache), "PNG encoder");
    TCom<IWICBitmapFrameEncode> frame;
    TCom<IPropertyBag2> options;
    Check(encoder->CreateNewFrame(frame.Out(), options.Out()), "PNG frame");
    Check(frame->Initialize(options.Get()), "PNG frame");
    Check(frame->SetSize(static_cast<UINT>(bitmap.Width()), static_cast<UINT>(bitmap.Height())), "PNG size");
    const WICPixelFormatGUID wanted = withAlpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    WICPixelFormatGUID format = wanted;
    Check(frame->SetPixelFormat(&format), "PNG pixel format");
    if (format != wanted) // the encoder offers another layout than ours
        throw ECodecError("PNG pixel format not supported by the encoder");

    TEncoderRows rows(bitmap, withAlpha);
    for (int y = 0; y < bitmap.Height(); ++y)
        Check(frame->WritePixels(1, rows.Stride(), rows.Stride(), rows.Row(y)), "PNG encoding");
    Check(frame->Commit(), "PNG encoding");
    Check(encoder->Commit(), "PNG encoding");
    CopyToStream(memory.Get(), stream);
}

} // namespace quorin::codecs

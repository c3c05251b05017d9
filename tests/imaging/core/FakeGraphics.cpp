#include "FakeGraphics.h"

namespace quorin::test {

namespace {
std::unique_ptr<TGraphic> MakeFake() { return std::make_unique<TFakeImage>(); }
std::unique_ptr<TGraphic> MakeFakeDerived() { return std::make_unique<TFakeDerived>(); }
std::unique_ptr<TGraphic> MakeRecording() { return std::make_unique<TRecordingImage>(); }
} // namespace

const TGraphicClass TFakeImage::ClassRecord{"TFakeImage", &MakeFake, &TBitmap::ClassRecord};
const TGraphicClass TFakeDerived::ClassRecord{"TFakeDerived", &MakeFakeDerived, &TFakeImage::ClassRecord};
const TGraphicClass TRecordingImage::ClassRecord{"TRecordingImage", &MakeRecording, &TBitmap::ClassRecord};

std::vector<std::string> TFakeImage::Log;
int TFakeImage::Made = 0;

TFakeImage::TFakeImage() : serial_(++Made) { Log.push_back("make " + std::to_string(serial_)); }

TFakeImage::~TFakeImage() { Log.push_back("release " + std::to_string(serial_)); }

void TFakeImage::DecodeStream(TStream& stream)
{
    Log.push_back("decode " + std::to_string(serial_));
    if (OnProgress)
        OnProgress();
    std::uint8_t data[4] = {};
    if (stream.ReadBytes(data, 4) != 4 || data[0] != 'G')
        throw EInvalidGraphic("Fake picture rejected");
    SetSize(1, 1);
    std::uint8_t* p = RowAddress(0);
    p[0] = data[1];
    p[1] = data[2];
    p[2] = data[3];
}

void TRecordingImage::DecodeStream(TStream& stream)
{
    ++Decodes;
    Received.clear();
    const auto held = stream.HeldBytes();
    HeldAt = held ? held->data() : nullptr;
    std::uint8_t buffer[256];
    for (std::int64_t n; (n = stream.ReadBytes(buffer, sizeof buffer)) > 0;)
        Received.insert(Received.end(), buffer, buffer + n);
}

} // namespace quorin::test

#pragma once
// Picture classes of the tests' own, to watch what the holder and the
// registry do with a class: when it is made, decoded and released.
//
// A fake picture file is the byte 'G' followed by blue, green, red of its one
// pixel; anything else is rejected with "Fake picture rejected".

#include <string>
#include <vector>

#include "imaging/Bitmap.h"

namespace quorin::test {

class TFakeImage : public TBitmap {
public:
    static const TGraphicClass ClassRecord;
    const TGraphicClass& ClassType() const override { return ClassRecord; }

    TFakeImage();
    ~TFakeImage() override;
    void DecodeStream(TStream& stream) override;

    int Serial() const { return serial_; }

    // "make N", "decode N", "release N" in the order they happened.
    static std::vector<std::string> Log;
    static int Made;

private:
    int serial_;
};

class TFakeDerived : public TFakeImage {
public:
    static const TGraphicClass ClassRecord;
    const TGraphicClass& ClassType() const override { return ClassRecord; }
};

// Unrelated to TFakeImage; records the bytes it is given.
class TRecordingImage : public TBitmap {
public:
    static const TGraphicClass ClassRecord;
    const TGraphicClass& ClassType() const override { return ClassRecord; }
    void DecodeStream(TStream& stream) override;

    std::vector<std::uint8_t> Received;
    int Decodes = 0;
    // Where the stream kept the bytes in memory, if it did.
    const std::uint8_t* HeldAt = nullptr;
};

} // namespace quorin::test

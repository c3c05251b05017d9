#pragma once
// Pictures made in the tests (Qt-free), and how close two of them are.

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>

#include "imaging/Bitmap.h"

namespace quorin::test {

using TBgra = std::array<std::uint8_t, 4>;

// A 32-bit picture with pixels from a function of the position.
inline std::unique_ptr<TBitmap> MakePicture(int width, int height, bool alpha,
                                            const std::function<TBgra(int x, int y)>& pixel)
{
    auto picture = std::make_unique<TBitmap>();
    picture->SetPixelDepth(32);
    picture->SetSize(width, height);
    picture->SetAlphaChannel(alpha);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const TBgra p = pixel(x, y);
            std::uint8_t* q = picture->RowAddress(y) + 4 * x;
            for (int c = 0; c < 4; ++c)
                q[c] = p[c];
        }
    return picture;
}

// Smooth shading with edges and a little pattern, as a painted texture has;
// alpha a soft ramp.
inline TBgra Painted(int x, int y)
{
    auto clamp = [](double v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    const double shade = 0.5 + 0.5 * std::sin(x * 0.11 + std::cos(y * 0.07) * 2.0);
    const double edge = (x / 9 + y / 13) % 2 ? 30 : 0;
    return {clamp(60 + 120 * shade + edge), clamp(40 + 150 * (y % 64) / 64.0 + ((x * 7 + y * 3) % 11)),
            clamp(200 - 110 * shade - edge), clamp(255 - 3.5 * ((x + y) % 73))};
}

// Peak signal-to-noise ratio of the colour of two pictures of the same size,
// in dB (99 when they are equal).
inline double RgbPsnr(const TBitmap& a, const TBitmap& b)
{
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            for (int c = 0; c < 3; ++c) {
                const double d = a.RowAddress(y)[a.BytesPerPixel() * x + c] - b.RowAddress(y)[b.BytesPerPixel() * x + c];
                sum += d * d;
            }
    const double mse = sum / (3.0 * a.Width() * a.Height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace quorin::test

#pragma once
// Picture files written by the window and dialog tests: 32-bit TGA cards and
// DDS textures of any size, with pixels from a function of the position.

#include <QFile>
#include <QRgb>
#include <QString>
#include <functional>

#include "../imaging/core/TgaBuilder.h"
#include "../imaging/dds/DdsBuilder.h"

namespace quorin::test {

using PixelAt = std::function<QRgb(int x, int y)>;

inline QString WriteBytes(const QString& path, const Bytes& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
}

// Blue, green, red, alpha of each pixel, rows from the top.
inline Bytes Bgra(int width, int height, const PixelAt& pixel)
{
    Bytes out;
    out.reserve(std::size_t(width) * std::size_t(height) * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgb c = pixel(x, y);
            out.insert(out.end(), {std::uint8_t(qBlue(c)), std::uint8_t(qGreen(c)), std::uint8_t(qRed(c)), std::uint8_t(qAlpha(c))});
        }
    return out;
}

// An uncompressed 32-bit TGA with its origin at the top left.
inline QString WriteTga(const QString& path, int width, int height, const PixelAt& pixel)
{
    TgaHeader header;
    header.Width = std::uint16_t(width);
    header.Height = std::uint16_t(height);
    header.PixelDepth = 32;
    header.Descriptor = 0x28;
    return WriteBytes(path, MakeTga(header, Bgra(width, height, pixel)));
}

// A colour-mapped TGA, which the decoder refuses.
inline QString WriteColourMappedTga(const QString& path)
{
    TgaHeader header;
    header.ColourMapType = 1;
    header.ImageType = 1;
    header.PixelDepth = 8;
    return WriteBytes(path, MakeTga(header, Bytes(4, 0)));
}

// An uncompressed 32-bit DDS texture.
inline QString WriteDds(const QString& path, int width, int height, const PixelAt& pixel)
{
    DdsBuilder dds{std::uint32_t(width), std::uint32_t(height)};
    dds.Uncompressed(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000).AlphaPixels().Data(Bgra(width, height, pixel));
    return WriteBytes(path, dds.Bytes());
}

inline PixelAt Solid(QRgb colour)
{
    return [colour](int, int) { return colour; };
}

} // namespace quorin::test

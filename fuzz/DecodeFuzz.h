#pragma once
// The shared body of the decoder fuzz targets: decode the input with one
// picture class. Decoding failures are expected; crashes, leaks and sanitizer
// reports are the findings.

#include <cstddef>
#include <cstdint>

#include "base/Exception.h"
#include "base/Stream.h"
#include "imaging/Bitmap.h"

template <typename TPictureClass>
int FuzzDecode(const std::uint8_t* data, std::size_t size)
{
    quorin::TMemoryViewStream stream(data, static_cast<std::int64_t>(size));
    TPictureClass picture;
    try {
        picture.DecodeStream(stream);
        // Touch the corners the decoder says it filled.
        if (picture.Width() > 0 && picture.Height() > 0) {
            volatile std::uint8_t sink = picture.RowAddress(0)[0];
            sink = sink + picture.RowAddress(picture.Height() - 1)[picture.RowStride() - 1];
        }
    } catch (const quorin::Exception&) {
    }
    return 0;
}

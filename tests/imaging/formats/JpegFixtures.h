#pragma once
// JPEG fixtures compressed with libjpeg itself.

#include <cstdint>
#include <cstdio> // before jpeglib.h, which uses FILE
#include <cstdlib>
#include <functional>
#include <vector>

#include <jpeglib.h>

namespace quorin::test {

struct TJpegFixture {
    int Width = 16;
    int Height = 16;
    int Components = 3;
    J_COLOR_SPACE Space = JCS_RGB;
    bool Progressive = false;
    bool AdobeMarker = true; // only matters for CMYK
    int Quality = 100;
    bool FullChroma = false; // colour at full resolution instead of halved both ways
    // The sample of component c at (x, y).
    std::function<std::uint8_t(int x, int y, int c)> Sample;
};

inline std::vector<std::uint8_t> MakeJpeg(const TJpegFixture& fixture)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(fixture.Width);
    cinfo.image_height = static_cast<JDIMENSION>(fixture.Height);
    cinfo.input_components = fixture.Components;
    cinfo.in_color_space = fixture.Space;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, fixture.Quality, TRUE);
    if (fixture.FullChroma)
        cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 1;
    if (fixture.Space == JCS_CMYK)
        cinfo.write_Adobe_marker = fixture.AdobeMarker ? TRUE : FALSE;
    if (fixture.Progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(fixture.Width * fixture.Components));
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < fixture.Width; ++x)
            for (int c = 0; c < fixture.Components; ++c)
                row[static_cast<std::size_t>(x * fixture.Components + c)] = fixture.Sample(x, y, c);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

} // namespace quorin::test

// JPEG files for tests and benchmarks: width x height pixels, each given by a function of (x, y) as 0xRRGGBB.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace testing_support {

struct JpegOptions {
    int quality = 90;
    bool progressive = false;                // libjpeg's standard progression (10 scans for colour)
    bool fullColour = false;                 // chroma at full resolution (4:4:4) instead of libjpeg's 2x2 subsampling
    std::vector<jpeg_scan_info> scans = {};  // a progression of one's own (components 0 Y, 1 Cb, 2 Cr)
    bool arithmetic = false;                 // arithmetic coding instead of Huffman's
};

template <typename Pixel>
std::vector<uint8_t> EncodeJpeg(int width, int height, Pixel pixel, JpegOptions options = {}) {
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.quality, TRUE);
    if (options.progressive) jpeg_simple_progression(&info);
    info.arith_code = options.arithmetic;
    if (!options.scans.empty()) {
        info.scan_info = options.scans.data();
        info.num_scans = int(options.scans.size());
    }
    if (options.fullColour)
        for (int c = 0; c < info.num_components; ++c)
            info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(size_t(width) * 3);
    while (info.next_scanline < info.image_height) {
        int y = int(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            uint32_t rgb = pixel(x, y);
            row[3 * size_t(x)] = uint8_t(rgb >> 16);
            row[3 * size_t(x) + 1] = uint8_t(rgb >> 8);
            row[3 * size_t(x) + 2] = uint8_t(rgb);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    jpeg_destroy_compress(&info);
    return out;
}

}  // namespace testing_support

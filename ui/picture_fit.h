// Picture files shown by draw panels: decoded (JPEG with libjpeg's scaled decoding, or GIF) straight into the
// size the panel's picture layout gives them, so that only the fitted pixels are kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ui {

// Picture layouts of a draw panel.
enum PictureLayout : int32_t {
    kLayoutNormal = 0,     // original size at the top-left corner (cut at the panel's edges)
    kLayoutStretched = 1,  // stretched to fill the panel
    kLayoutFitCentred = 2  // centred, shrunk proportionally to fit, never enlarged
};

struct FittedPicture {
    int width = 0;
    int height = 0;
    int stride = 0;            // bytes per row, a multiple of 4
    std::vector<uint8_t> bgr;  // top-down rows of blue, green, red
    bool empty() const { return width <= 0 || height <= 0; }
    size_t MemoryBytes() const { return bgr.capacity(); }
};

// The size a picture of imageWidth x imageHeight takes in a box with the layout.
void FittedSize(int imageWidth, int imageHeight, int boxWidth, int boxHeight, int32_t layout, int* width, int* height);

// Where the fitted picture's top-left corner goes inside the box.
void FittedOrigin(const FittedPicture& picture, int boxWidth, int boxHeight, int32_t layout, int* x, int* y);

// The widest and highest picture decoded. A few hundred bytes of progressive JPEG can claim 20000 x 20000
// pixels, for which the decoder would hold gigabytes of coefficients, ten thumbnails at once; such a picture is
// refused from its header, before anything is decoded.
constexpr int kMaxPictureSide = 8192;

// A draw panel's picture is decoded on the window thread whenever its cell is drawn again, so the costliest file
// the limits below let through must decode and fit within 50 ms there. bench/picture_decode_bench_win.cpp builds
// such files (noise at the limits, progressive ones with each of their scans repeated up to the limits) and times
// them under Wine: about 25 ms at most. The work is the coded bytes read, a pass over the coefficients each scan, and
// the pixels put out.

// The most pixels a picture may have (width x height), checked from the header. A grid cell shows its thumbnail in
// 150 x 143 pixels; 640 x 480 is four times that each way, and a GIF at the limit holds 1.2 MB of pixels.
constexpr int64_t kMaxPicturePixels = 640 * 480;

// The most scans a JPEG may have. libjpeg's own progressions have 10 at most; a file may repeat scans without end
// (libjpeg only warns), each one more pass over the picture's coefficients, so a file of more is a broken picture.
constexpr int kMaxJpegScans = 12;

// The largest file decoded. Progressive JPEG data costs about 20 ns a byte to decode under Wine. A photograph at
// kMaxPicturePixels takes a few hundred KB even at the highest quality (noise at quality 100 takes 0.9 MB
// progressive, 1.3 MB baseline).
constexpr size_t kMaxPictureBytes = 1 << 20;

// The largest arithmetic-coded JPEG decoded: its data costs about 150 ns a byte, seven times Huffman's. Such files
// are rare on the web (browsers long did not show them at all).
constexpr size_t kMaxArithmeticJpegBytes = 128 << 10;

// Decodes the file and fits it; false (and an empty picture) for anything that is not a readable JPEG or GIF, is
// over its byte limit, wider or higher than kMaxPictureSide, has more than kMaxPicturePixels, or is a JPEG of more
// than kMaxJpegScans scans. No exception leaves it.
// Decodes the file and fits it; false (and an empty picture) for anything that is not a readable JPEG or GIF,
// is larger than kMaxPictureBytes, wider or higher than kMaxPictureSide, has more than kMaxPicturePixels, or is a
// JPEG of more than kMaxJpegScans scans.
// Transparent GIF pixels take the background colour (0x00BBGGRR).
bool DecodeFittedPicture(const uint8_t* data, size_t size, int boxWidth, int boxHeight, int32_t layout,
                         uint32_t background, FittedPicture* out);

}  // namespace ui

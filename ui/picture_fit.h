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

// Decodes the file and fits it; false (and an empty picture) for anything that is not a readable JPEG or GIF,
// or is wider or higher than kMaxPictureSide.
// Transparent GIF pixels take the background colour (0x00BBGGRR).
bool DecodeFittedPicture(const uint8_t* data, size_t size, int boxWidth, int boxHeight, int32_t layout,
                         uint32_t background, FittedPicture* out);

}  // namespace ui

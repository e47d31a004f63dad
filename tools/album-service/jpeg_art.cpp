// Draws picture cards into an RGB buffer and encodes them with libjpeg into memory.
#include "tools/album-service/jpeg_art.h"

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace album {
namespace {

struct Rgb {
    uint8_t r, g, b;
};

// 3 x 5 digit glyphs, one row per entry, bit 2 = left column.
constexpr uint8_t kDigits[10][5] = {{7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7},
                                    {5, 5, 7, 1, 1}, {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 2, 2, 2},
                                    {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};

// An RGB drawing surface over a per-thread buffer that is reused from picture to picture: thousands of
// pictures are drawn one after another, and a fresh large block each time costs more than the drawing.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), pixels_(Buffer()) {
        pixels_.resize(size_t(width) * height * 3);
    }

    // Fills the rectangle [x0, x1) x [y0, y1), clipped to the canvas: the first row by doubling copies, the
    // other rows as copies of the first.
    void Fill(int x0, int y0, int x1, int y1, Rgb c) {
        x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, width_), y1 = std::min(y1, height_);
        if (x0 >= x1 || y0 >= y1) return;
        uint8_t* first = &pixels_[(size_t(y0) * width_ + x0) * 3];
        size_t bytes = size_t(x1 - x0) * 3;
        first[0] = c.r, first[1] = c.g, first[2] = c.b;
        for (size_t done = 3; done < bytes; done *= 2) std::memcpy(first + done, first, std::min(done, bytes - done));
        for (int y = y0 + 1; y < y1; ++y) std::memcpy(&pixels_[(size_t(y) * width_ + x0) * 3], first, bytes);
    }

    // Draws the decimal number with its top left corner at (x, y), each glyph cell `scale` pixels square,
    // with a one-cell shadow so it reads on any background.
    void Number(const std::string& digits, int x, int y, int scale, Rgb ink) {
        for (int pass = 0; pass < 2; ++pass) {
            int offset = pass == 0 ? std::max(1, scale / 3) : 0;
            Rgb colour = pass == 0 ? Rgb{0, 0, 0} : ink;
            for (size_t i = 0; i < digits.size(); ++i) {
                const uint8_t* glyph = kDigits[digits[i] - '0'];
                int left = x + int(i) * 4 * scale + offset;
                for (int row = 0; row < 5; ++row)
                    for (int col = 0; col < 3; ++col)
                        if (glyph[row] & (4 >> col))
                            Fill(left + col * scale, y + offset + row * scale, left + (col + 1) * scale,
                                 y + offset + (row + 1) * scale, colour);
            }
        }
    }

    static int NumberWidth(const std::string& digits, int scale) { return (int(digits.size()) * 4 - 1) * scale; }

    int width() const { return width_; }
    int height() const { return height_; }
    const uint8_t* Row(int y) const { return &pixels_[size_t(y) * width_ * 3]; }

private:
    static std::vector<uint8_t>& Buffer() {
        thread_local std::vector<uint8_t> buffer;
        return buffer;
    }

    int width_, height_;
    std::vector<uint8_t>& pixels_;  // every pixel is drawn before it is read
};

uint32_t Mix(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352d;
    x ^= x >> 15;
    x *= 0x846ca68b;
    x ^= x >> 16;
    return x;
}

Rgb Colour(uint32_t seed) {
    uint32_t h = Mix(seed);
    // Mid-range channels keep the white number readable.
    return {uint8_t(40 + (h & 0x7F)), uint8_t(40 + ((h >> 8) & 0x7F)), uint8_t(40 + ((h >> 16) & 0x7F))};
}

void DrawCard(Canvas& canvas, const Card& card) {
    int w = canvas.width(), h = canvas.height();
    Rgb top = Colour(uint32_t(card.albumId) * 7919u + uint32_t(card.number));
    Rgb bottom = Colour(uint32_t(card.albumId) * 104729u + uint32_t(card.number) * 31u + 17u);
    for (int y = 0; y < h; ++y) {
        int t = h > 1 ? y * 256 / (h - 1) : 0;
        Rgb c = {uint8_t((top.r * (256 - t) + bottom.r * t) >> 8), uint8_t((top.g * (256 - t) + bottom.g * t) >> 8),
                 uint8_t((top.b * (256 - t) + bottom.b * t) >> 8)};
        canvas.Fill(0, y, w, y + 1, c);
    }
    int border = std::max(1, std::min(w, h) / 60);
    Rgb frame = {20, 20, 20};
    canvas.Fill(0, 0, w, border, frame);
    canvas.Fill(0, h - border, w, h, frame);
    canvas.Fill(0, 0, border, h, frame);
    canvas.Fill(w - border, 0, w, h, frame);

    std::string number = std::to_string(card.number);
    int scale = std::max(1, std::min(h / 3 / 5, (w * 4 / 5) / std::max(1, Canvas::NumberWidth(number, 1))));
    canvas.Number(number, (w - Canvas::NumberWidth(number, scale)) / 2, (h - 5 * scale) / 2, scale, {255, 255, 255});

    std::string album = std::to_string(card.albumId);
    int small = std::max(1, scale / 4);
    canvas.Number(album, w - border - small - Canvas::NumberWidth(album, small),
                  h - border - small - 5 * small - std::max(1, small / 3), small, {255, 230, 120});
}

struct ErrorTrap {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void OnJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1); }

// Only trivially destructible locals live between setjmp and the encoder calls, so the jump skips nothing.
bool Encode(const Canvas& canvas, unsigned char** out, unsigned long* outSize) {
    jpeg_compress_struct info;
    ErrorTrap trap;
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = OnJpegError;
    if (setjmp(trap.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, outSize);
    info.image_width = canvas.width();
    info.image_height = canvas.height();
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(canvas.Row(info.next_scanline));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

std::string DrawCardJpeg(const Card& card) {
    Canvas canvas(std::max(1, card.width), std::max(1, card.height));
    DrawCard(canvas, card);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    bool ok = Encode(canvas, &data, &size);
    std::string jpeg = ok ? std::string(reinterpret_cast<char*>(data), size) : std::string();
    std::free(data);
    return jpeg;
}

}  // namespace album

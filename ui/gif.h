// GIF images: a constexpr encoder (used to build the picture button's frame images at build time) and a decoder
// for the first image of a GIF file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ui {

namespace gif {

constexpr void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// LZW-compresses colour indices (each below 1 << minCodeSize) into GIF image data sub-blocks, terminator included.
constexpr std::vector<uint8_t> LzwBlocks(const std::vector<uint8_t>& indices, int minCodeSize) {
    const int alphabet = 1 << minCodeSize;
    const int clear = alphabet, end = alphabet + 1;
    std::vector<int16_t> child(size_t(4096) * alphabet, -1);  // child[code * alphabet + k]: code of string + k
    std::vector<uint8_t> packed;
    uint32_t bitBuffer = 0;
    int bitCount = 0;
    int size = minCodeSize + 1;
    int next = end + 1;
    auto emit = [&](int code) {
        bitBuffer |= uint32_t(code) << bitCount;
        bitCount += size;
        while (bitCount >= 8) {
            packed.push_back(uint8_t(bitBuffer));
            bitBuffer >>= 8;
            bitCount -= 8;
        }
    };
    auto reset = [&] {
        for (auto& c : child) c = -1;
        size = minCodeSize + 1;
        next = end + 1;
    };
    emit(clear);
    int current = -1;
    for (uint8_t k : indices) {
        if (current < 0) {
            current = k;
            continue;
        }
        int16_t found = child[size_t(current) * alphabet + k];
        if (found >= 0) {
            current = found;
            continue;
        }
        emit(current);
        if (next < 4096) {
            child[size_t(current) * alphabet + k] = int16_t(next);
            if (next == (1 << size) && size < 12) ++size;
            ++next;
        } else {
            emit(clear);
            reset();
        }
        current = k;
    }
    if (current >= 0) emit(current);
    emit(end);
    if (bitCount > 0) packed.push_back(uint8_t(bitBuffer));

    std::vector<uint8_t> out;
    out.push_back(uint8_t(minCodeSize));
    for (size_t at = 0; at < packed.size(); at += 255) {
        size_t n = packed.size() - at < 255 ? packed.size() - at : 255;
        out.push_back(uint8_t(n));
        for (size_t i = 0; i < n; ++i) out.push_back(packed[at + i]);
    }
    out.push_back(0);
    return out;
}

}  // namespace gif

// A two-colour GIF89a of a rectangular frame: colour index 0 (the frame colour, 0x00BBGGRR) on a border of the
// given thickness, index 1 (white, transparent) inside. Padded with a comment block to paddedSize bytes when
// that is larger than the image needs.
constexpr std::vector<uint8_t> FrameGif(int width, int height, uint32_t frameColor, int thickness,
                                        size_t paddedSize = 0) {
    std::vector<uint8_t> indices;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool border = x < thickness || y < thickness || x >= width - thickness || y >= height - thickness;
            indices.push_back(border ? 0 : 1);
        }
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    gif::Put16(out, uint32_t(width));
    gif::Put16(out, uint32_t(height));
    out.push_back(0x80);  // global colour table of 2 entries, 1 bit of colour resolution
    out.push_back(1);     // background: the transparent index
    out.push_back(0);
    out.push_back(uint8_t(frameColor));
    out.push_back(uint8_t(frameColor >> 8));
    out.push_back(uint8_t(frameColor >> 16));
    out.push_back(0xFF);
    out.push_back(0xFF);
    out.push_back(0xFF);
    // Graphic control extension: index 1 is transparent.
    for (uint8_t b : {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x01, 0x00}) out.push_back(b);
    out.push_back(0x2C);
    gif::Put16(out, 0);
    gif::Put16(out, 0);
    gif::Put16(out, uint32_t(width));
    gif::Put16(out, uint32_t(height));
    out.push_back(0);
    for (uint8_t b : gif::LzwBlocks(indices, 2)) out.push_back(b);
    // Padding: a comment extension of introducer, label, sub-blocks (a length byte and 1..255 bytes each) and a
    // terminator; sub-blocks of at least one byte need two bytes, so only gaps of 5 bytes and more are padded.
    if (paddedSize >= out.size() + 1 + 5) {
        size_t remaining = paddedSize - out.size() - 1 - 3;
        out.push_back(0x21);
        out.push_back(0xFE);
        while (remaining > 0) {
            size_t n = remaining - 1 < 255 ? remaining - 1 : 255;
            if (remaining - (n + 1) == 1) --n;  // never leave a single byte behind
            out.push_back(uint8_t(n));
            for (size_t i = 0; i < n; ++i) out.push_back(' ');
            remaining -= n + 1;
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    return out;
}

struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, top-down; alpha 0 where the image is transparent
};

// Decodes the first image of a GIF file onto its logical screen; false for anything malformed, for a screen over
// the picture limits (ui/picture_fit.h) and for a frame reaching past its screen. No exception leaves it.
bool DecodeGif(const uint8_t* data, size_t size, DecodedImage* image);

}  // namespace ui

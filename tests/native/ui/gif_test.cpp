// GIF images: the frame images encode to valid files whose decoding gives the frame, its colour and transparency.
#include <gtest/gtest.h>

#include "ui/gif.h"
#include "ui/picture_fit.h"

namespace ui {
namespace {

TEST(Gif, FrameImageDecodesToItsFrame) {
    std::vector<uint8_t> file = FrameGif(162, 175, 0x00D1C1F2, 4);
    DecodedImage image;
    ASSERT_TRUE(DecodeGif(file.data(), file.size(), &image));
    ASSERT_EQ(image.width, 162);
    ASSERT_EQ(image.height, 175);
    auto at = [&](int x, int y) { return image.pixels[size_t(y) * 162 + size_t(x)]; };
    const uint32_t frame = 0xFFF2C1D1;  // opaque RGB 242, 193, 209
    for (int y = 0; y < 175; ++y) {
        for (int x = 0; x < 162; ++x) {
            bool border = x < 4 || y < 4 || x >= 158 || y >= 171;
            ASSERT_EQ(at(x, y), border ? frame : 0u) << x << "," << y;  // inside: transparent
        }
    }
}

TEST(Gif, PaddingReachesTheRequestedSizeAndKeepsTheImage) {
    std::vector<uint8_t> plain = FrameGif(162, 175, 0x00C1F2DF, 4);
    for (size_t target : {plain.size() + 5, plain.size() + 6, plain.size() + 260, plain.size() + 261, size_t(576)}) {
        if (target < plain.size() + 5) continue;
        std::vector<uint8_t> padded = FrameGif(162, 175, 0x00C1F2DF, 4, target);
        EXPECT_EQ(padded.size(), target);
        DecodedImage a, b;
        ASSERT_TRUE(DecodeGif(plain.data(), plain.size(), &a));
        ASSERT_TRUE(DecodeGif(padded.data(), padded.size(), &b));
        EXPECT_EQ(a.pixels, b.pixels);
    }
}

// Incompressible content makes the dictionary fill up, so the encoder must clear and restart it.
TEST(Gif, LongNoisyImageSurvivesDictionaryResets) {
    std::vector<uint8_t> indices;
    uint32_t seed = 99;
    for (int i = 0; i < 200 * 200; ++i) {
        seed = seed * 1664525 + 1013904223;
        indices.push_back(uint8_t((seed >> 28) & 3));
    }
    std::vector<uint8_t> file = {'G', 'I', 'F', '8', '9', 'a', 200, 0, 200, 0, 0x81, 0, 0};
    for (int c = 0; c < 4; ++c) file.insert(file.end(), {uint8_t(c * 60), uint8_t(c), uint8_t(255 - c)});
    file.insert(file.end(), {0x2C, 0, 0, 0, 0, 200, 0, 200, 0, 0});
    for (uint8_t b : gif::LzwBlocks(indices, 2)) file.push_back(b);
    file.push_back(0x3B);
    DecodedImage image;
    ASSERT_TRUE(DecodeGif(file.data(), file.size(), &image));
    for (size_t i = 0; i < indices.size(); ++i)
        ASSERT_EQ(image.pixels[i] & 0xFF0000, uint32_t(indices[i] * 60) << 16) << i;
}

TEST(Gif, MalformedFilesAreRejected) {
    std::vector<uint8_t> file = FrameGif(20, 10, 0xFF, 2);
    DecodedImage image;
    for (size_t n = 0; n < 30; ++n) EXPECT_FALSE(DecodeGif(file.data(), n, &image)) << n;
    std::vector<uint8_t> notGif = file;
    notGif[0] = 'J';
    EXPECT_FALSE(DecodeGif(notGif.data(), notGif.size(), &image));
    std::vector<uint8_t> badCodeSize = file;
    // The LZW minimum code size byte follows the 10-byte image descriptor.
    for (size_t i = 0; i + 10 < badCodeSize.size(); ++i)
        if (badCodeSize[i] == 0x2C) {
            badCodeSize[i + 10] = 13;
            break;
        }
    EXPECT_FALSE(DecodeGif(badCodeSize.data(), badCodeSize.size(), &image));
}

// A GIF of one frame at (left, top) of the given indices on a screen of four colours: black, red, green, blue.
std::vector<uint8_t> OneFrameGif(int screenWidth, int screenHeight, int left, int top, int width, int height,
                                 const std::vector<uint8_t>& indices) {
    std::vector<uint8_t> file = {'G', 'I', 'F', '8', '9', 'a'};
    gif::Put16(file, uint32_t(screenWidth));
    gif::Put16(file, uint32_t(screenHeight));
    file.insert(file.end(), {0x81, 0, 0, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0x2C});
    for (int v : {left, top, width, height}) gif::Put16(file, uint32_t(v));
    file.push_back(0);
    for (uint8_t b : gif::LzwBlocks(indices, 2)) file.push_back(b);
    file.push_back(0x3B);
    return file;
}

TEST(Gif, FramesMustLieWithinTheirScreen) {
    DecodedImage image;
    std::vector<uint8_t> corner = OneFrameGif(20, 10, 16, 7, 4, 3, std::vector<uint8_t>(12, 1));
    ASSERT_TRUE(DecodeGif(corner.data(), corner.size(), &image));
    ASSERT_EQ(image.pixels.size(), 200u);
    EXPECT_EQ(image.pixels[7 * 20 + 16], 0xFFFF0000u);
    EXPECT_EQ(image.pixels[9 * 20 + 19], 0xFFFF0000u);
    EXPECT_EQ(image.pixels[7 * 20 + 15], 0u);
    EXPECT_EQ(image.pixels[6 * 20 + 16], 0u);

    struct Frame {
        int left, top, width, height;
    };
    for (Frame f : {Frame{0, 0, 21, 10}, Frame{0, 0, 20, 11}, Frame{1, 0, 20, 10}, Frame{0, 5, 20, 6},
                    Frame{17, 7, 4, 3}, Frame{65535, 0, 1, 1}}) {
        std::vector<uint8_t> file = OneFrameGif(20, 10, f.left, f.top, f.width, f.height,
                                                std::vector<uint8_t>(size_t(f.width) * size_t(f.height), 1));
        image = DecodedImage{};
        EXPECT_FALSE(DecodeGif(file.data(), file.size(), &image)) << f.left << "," << f.top << " " << f.width;
        EXPECT_TRUE(image.pixels.empty());
    }
}

// Fifty bytes declaring a 65,535 x 65,535 frame: refused before anything of its size is reserved (it used to
// reserve 4 GiB of indices, and a failed reservation ended the program from the window procedure).
TEST(Gif, AFewBytesDeclaringAHugeFrameAreRefused) {
    std::vector<uint8_t> bomb = OneFrameGif(16, 16, 0, 0, 65535, 65535, std::vector<uint8_t>(16, 1));
    ASSERT_LE(bomb.size(), 50u);
    DecodedImage image;
    EXPECT_FALSE(DecodeGif(bomb.data(), bomb.size(), &image));
    EXPECT_TRUE(image.pixels.empty());
}

// The screen is what the decoder allocates, so its area is capped: 40 bytes declaring 8,192 x 8,192 used to cost
// 256 MiB of pixels in the decoder and 192 MiB more on the way to a thumbnail.
TEST(Gif, ScreensOverThePixelCapAreRefused) {
    DecodedImage image;
    const int atCapHeight = int(kMaxPicturePixels / kMaxPictureSide);
    std::vector<uint8_t> atCap = OneFrameGif(kMaxPictureSide, atCapHeight, 0, 0, 1, 1, {2});
    ASSERT_TRUE(DecodeGif(atCap.data(), atCap.size(), &image));
    EXPECT_EQ(image.width, kMaxPictureSide);
    EXPECT_EQ(image.height, atCapHeight);
    EXPECT_EQ(image.pixels[0], 0xFF00FF00u);

    for (auto [w, h] : {std::pair{kMaxPictureSide, atCapHeight + 1}, std::pair{kMaxPictureSide, kMaxPictureSide}}) {
        std::vector<uint8_t> bomb = OneFrameGif(w, h, 0, 0, 1, 1, {2});
        ASSERT_LE(bomb.size(), 50u);
        image = DecodedImage{};
        EXPECT_FALSE(DecodeGif(bomb.data(), bomb.size(), &image)) << w << "x" << h;
        EXPECT_TRUE(image.pixels.empty());
    }
}

}  // namespace
}  // namespace ui

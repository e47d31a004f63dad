// GIF images: the frame images encode to valid files whose decoding gives the frame, its colour and transparency.
#include <gtest/gtest.h>

#include "ui/gif.h"

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

}  // namespace
}  // namespace ui

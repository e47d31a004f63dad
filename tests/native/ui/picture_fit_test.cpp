// Draw-panel pictures: the fitted sizes of each layout, and JPEG/GIF files decoded straight into them.
#include <gtest/gtest.h>

#include "tests/jpeg_writer.h"
#include "ui/gif.h"
#include "ui/picture_fit.h"

namespace ui {
namespace {

// A JPEG of the given size: left half red, right half blue.
std::vector<uint8_t> MakeJpeg(int width, int height) {
    return testing_support::EncodeJpeg(width, height,
                                       [&](int x, int) { return x < width / 2 ? 0xFF0000u : 0x0000FFu; });
}

TEST(PictureFit, FitCentredShrinksProportionallyAndNeverEnlarges) {
    int w, h;
    FittedSize(400, 300, 150, 143, kLayoutFitCentred, &w, &h);  // width decides
    EXPECT_EQ(w, 150);
    EXPECT_EQ(h, 113);
    FittedSize(300, 600, 150, 143, kLayoutFitCentred, &w, &h);  // height decides
    EXPECT_EQ(w, 72);
    EXPECT_EQ(h, 143);
    FittedSize(100, 80, 150, 143, kLayoutFitCentred, &w, &h);  // smaller: kept
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 80);
    FittedSize(3000, 1, 150, 143, kLayoutFitCentred, &w, &h);  // a sliver keeps one pixel
    EXPECT_EQ(w, 150);
    EXPECT_EQ(h, 1);
    FittedSize(400, 300, 150, 143, kLayoutStretched, &w, &h);
    EXPECT_EQ(w, 150);
    EXPECT_EQ(h, 143);
    FittedSize(400, 100, 150, 143, kLayoutNormal, &w, &h);  // cut at the edges
    EXPECT_EQ(w, 150);
    EXPECT_EQ(h, 100);
}

TEST(PictureFit, JpegIsDecodedIntoTheFittedSizeAndCentred) {
    std::vector<uint8_t> jpeg = MakeJpeg(600, 400);
    FittedPicture picture;
    ASSERT_TRUE(DecodeFittedPicture(jpeg.data(), jpeg.size(), 150, 143, kLayoutFitCentred, 0, &picture));
    EXPECT_EQ(picture.width, 150);
    EXPECT_EQ(picture.height, 100);
    EXPECT_EQ(picture.stride % 4, 0);
    EXPECT_EQ(picture.bgr.size(), size_t(picture.stride) * 100);
    // Left half red, right half blue, in blue-green-red order.
    const uint8_t* left = &picture.bgr[size_t(50) * picture.stride + 10 * 3];
    const uint8_t* right = &picture.bgr[size_t(50) * picture.stride + 140 * 3];
    EXPECT_GT(left[2], 200);
    EXPECT_LT(left[0], 60);
    EXPECT_GT(right[0], 200);
    EXPECT_LT(right[2], 60);
    int x, y;
    FittedOrigin(picture, 150, 143, kLayoutFitCentred, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 21);

    FittedPicture small;
    std::vector<uint8_t> smallJpeg = MakeJpeg(40, 30);
    ASSERT_TRUE(DecodeFittedPicture(smallJpeg.data(), smallJpeg.size(), 150, 143, kLayoutFitCentred, 0, &small));
    EXPECT_EQ(small.width, 40);
    EXPECT_EQ(small.height, 30);
    FittedOrigin(small, 150, 143, kLayoutFitCentred, &x, &y);
    EXPECT_EQ(x, 55);
    EXPECT_EQ(y, 56);
}

TEST(PictureFit, GifTransparencyTakesTheBackground) {
    std::vector<uint8_t> file = FrameGif(20, 10, 0x000000FF, 2);  // red frame
    FittedPicture picture;
    ASSERT_TRUE(DecodeFittedPicture(file.data(), file.size(), 150, 143, kLayoutFitCentred, 0x00F7F9F7, &picture));
    ASSERT_EQ(picture.width, 20);
    const uint8_t* corner = &picture.bgr[0];
    const uint8_t* inside = &picture.bgr[size_t(5) * picture.stride + 10 * 3];
    EXPECT_EQ(corner[2], 255);
    EXPECT_EQ(corner[0], 0);
    EXPECT_EQ(inside[0], 0xF7);
    EXPECT_EQ(inside[1], 0xF9);
}

// The same small JPEG claiming other dimensions in its frame header.
std::vector<uint8_t> Claiming(std::vector<uint8_t> jpeg, int width, int height) {
    for (size_t i = 0; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = uint8_t(height >> 8), jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8), jpeg[i + 8] = uint8_t(width);
            break;
        }
    return jpeg;
}

TEST(PictureFit, PicturesClaimingHugeSidesAreRefusedFromTheirHeader) {
    std::vector<uint8_t> jpeg = MakeJpeg(16, 16);
    FittedPicture picture;
    for (auto [w, h] : {std::pair{20000, 20000}, std::pair{kMaxPictureSide + 1, 8}, std::pair{8, 65535}}) {
        std::vector<uint8_t> bomb = Claiming(jpeg, w, h);
        EXPECT_FALSE(DecodeFittedPicture(bomb.data(), bomb.size(), 150, 143, kLayoutFitCentred, 0, &picture)) << w;
        EXPECT_TRUE(picture.empty());
    }
    // At the limit the header is believed (the missing data decodes as grey).
    std::vector<uint8_t> wide = Claiming(jpeg, kMaxPictureSide, 16);
    EXPECT_TRUE(DecodeFittedPicture(wide.data(), wide.size(), 150, 143, kLayoutFitCentred, 0, &picture));
    EXPECT_EQ(picture.width, 150);
}

TEST(PictureFit, UnreadableBytesGiveNoPicture) {
    std::vector<uint8_t> jpeg = MakeJpeg(64, 64);
    FittedPicture picture;
    EXPECT_FALSE(DecodeFittedPicture(nullptr, 0, 150, 143, kLayoutFitCentred, 0, &picture));
    const uint8_t text[] = "not a picture at all";
    EXPECT_FALSE(DecodeFittedPicture(text, sizeof text, 150, 143, kLayoutFitCentred, 0, &picture));
    EXPECT_FALSE(DecodeFittedPicture(jpeg.data(), 40, 150, 143, kLayoutFitCentred, 0, &picture));
    EXPECT_TRUE(picture.empty());
    EXPECT_TRUE(picture.bgr.empty());
}

}  // namespace
}  // namespace ui

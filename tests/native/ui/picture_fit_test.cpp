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
    const int atCapHeight = int(kMaxPicturePixels / kMaxPictureSide);
    for (auto [w, h] : {std::pair{20000, 20000}, std::pair{kMaxPictureSide + 1, 8}, std::pair{8, 65535},
                        std::pair{4096, 4096}, std::pair{kMaxPictureSide, atCapHeight + 1}}) {
        std::vector<uint8_t> bomb = Claiming(jpeg, w, h);
        EXPECT_FALSE(DecodeFittedPicture(bomb.data(), bomb.size(), 150, 143, kLayoutFitCentred, 0, &picture)) << w;
        EXPECT_TRUE(picture.empty());
    }
    // At the limit the header is believed (the missing data decodes as grey).
    std::vector<uint8_t> wide = Claiming(jpeg, kMaxPictureSide, 16);
    EXPECT_TRUE(DecodeFittedPicture(wide.data(), wide.size(), 150, 143, kLayoutFitCentred, 0, &picture));
    EXPECT_EQ(picture.width, 150);
    std::vector<uint8_t> atCap = Claiming(jpeg, kMaxPictureSide, atCapHeight);
    EXPECT_TRUE(DecodeFittedPicture(atCap.data(), atCap.size(), 150, 143, kLayoutFitCentred, 0, &picture));
    EXPECT_EQ(picture.width, 150);
}

// Where the last scan starts: its SOS marker (entropy-coded data holds 0xFF only before 0x00 or a restart marker).
size_t LastScan(const std::vector<uint8_t>& jpeg) {
    size_t at = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) at = i;
    return at;
}

size_t ScanCount(const std::vector<uint8_t>& jpeg) {
    size_t count = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i) count += jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA;
    return count;
}

// The file with its last scan (marker, header and data) repeated before the end-of-image marker.
std::vector<uint8_t> WithLastScanRepeated(std::vector<uint8_t> jpeg, size_t times) {
    std::vector<uint8_t> scan(jpeg.begin() + ptrdiff_t(LastScan(jpeg)), jpeg.end() - 2);
    for (size_t i = 0; i < times; ++i) jpeg.insert(jpeg.end() - 2, scan.begin(), scan.end());
    return jpeg;
}

// A progression of the given number of scans that codes every coefficient once: the DC of the three components,
// each chroma component's AC in one scan, and the luma AC in the scans left, one coefficient each but the last.
std::vector<jpeg_scan_info> ProgressionOf(int scans) {
    std::vector<jpeg_scan_info> script = {{3, {0, 1, 2}, 0, 0, 0, 0}, {1, {1}, 1, 63, 0, 0}, {1, {2}, 1, 63, 0, 0}};
    const int lumaScans = scans - 3;
    for (int k = 1; k <= lumaScans; ++k) script.push_back({1, {0}, k, k == lumaScans ? 63 : k, 0, 0});
    return script;
}

// libjpeg takes in every scan of a progressive file before it gives a row, and only warns about a scan that
// repeats another: a file of endless scans held the window thread for minutes.
TEST(PictureFit, JpegsOfTooManyScansAreBrokenPictures) {
    auto halves = [](int x, int) { return x < 32 ? 0xFF0000u : 0x0000FFu; };
    FittedPicture picture;
    std::vector<uint8_t> standard = testing_support::EncodeJpeg(64, 48, halves, {.progressive = true});
    ASSERT_GT(ScanCount(standard), 1u);
    ASSERT_TRUE(DecodeFittedPicture(standard.data(), standard.size(), 150, 143, kLayoutFitCentred, 0, &picture));
    EXPECT_EQ(picture.width, 64);
    EXPECT_GT(picture.bgr[size_t(20) * picture.stride + 5 * 3 + 2], 200);  // red on the left

    std::vector<uint8_t> atLimit = testing_support::EncodeJpeg(64, 48, halves, {.scans = ProgressionOf(kMaxJpegScans)});
    ASSERT_EQ(ScanCount(atLimit), size_t(kMaxJpegScans));
    ASSERT_TRUE(DecodeFittedPicture(atLimit.data(), atLimit.size(), 150, 143, kLayoutFitCentred, 0, &picture));
    EXPECT_GT(picture.bgr[size_t(20) * picture.stride + 60 * 3], 200);  // blue on the right

    std::vector<uint8_t> overLimit =
        testing_support::EncodeJpeg(64, 48, halves, {.scans = ProgressionOf(kMaxJpegScans + 1)});
    std::vector<uint8_t> endless = WithLastScanRepeated(standard, 1000);
    ASSERT_LT(endless.size(), kMaxPictureBytes);
    for (const auto* bomb : {&overLimit, &endless}) {
        EXPECT_FALSE(DecodeFittedPicture(bomb->data(), bomb->size(), 150, 143, kLayoutFitCentred, 0, &picture))
            << ScanCount(*bomb);
        EXPECT_TRUE(picture.empty());
    }
}

// The file's size bounds the data decoded, which is what a progressive file's decoding costs: bytes after the end of
// the image are never read, but they count.
TEST(PictureFit, FilesOverTheirByteLimitAreRefused) {
    auto padded = [](std::vector<uint8_t> file, size_t size) {
        file.resize(size, 0);
        return file;
    };
    FittedPicture picture;
    std::vector<uint8_t> jpeg = MakeJpeg(64, 48), gif = FrameGif(20, 10, 0x000000FF, 2);
    std::vector<uint8_t> arithmetic = testing_support::EncodeJpeg(
        64, 48, [](int x, int) { return x < 32 ? 0xFF0000u : 0x0000FFu; }, {.arithmetic = true});
    struct Case {
        const std::vector<uint8_t>& file;
        size_t limit;
    };
    for (Case c :
         {Case{jpeg, kMaxPictureBytes}, Case{gif, kMaxPictureBytes}, Case{arithmetic, kMaxArithmeticJpegBytes}}) {
        std::vector<uint8_t> atLimit = padded(c.file, c.limit), overLimit = padded(c.file, c.limit + 1);
        EXPECT_TRUE(DecodeFittedPicture(atLimit.data(), atLimit.size(), 150, 143, kLayoutFitCentred, 0, &picture))
            << c.limit;
        EXPECT_FALSE(DecodeFittedPicture(overLimit.data(), overLimit.size(), 150, 143, kLayoutFitCentred, 0, &picture))
            << c.limit;
        EXPECT_TRUE(picture.empty());
    }
}

// libjpeg meets the second scan of a baseline file only when it finishes, after every row was read, and leaves by
// its error exit: nothing the decoder holds may be left behind (a row buffer of the decoder's own was, which
// AddressSanitizer reports as a leak).
TEST(PictureFit, ABaselineJpegWithASecondScanIsABrokenPicture) {
    std::vector<uint8_t> baseline = MakeJpeg(64, 48);
    ASSERT_EQ(ScanCount(baseline), 1u);
    std::vector<uint8_t> twice = WithLastScanRepeated(baseline, 1);
    FittedPicture picture;
    EXPECT_FALSE(DecodeFittedPicture(twice.data(), twice.size(), 150, 143, kLayoutFitCentred, 0, &picture));
    EXPECT_TRUE(picture.empty());
    EXPECT_TRUE(DecodeFittedPicture(baseline.data(), baseline.size(), 150, 143, kLayoutFitCentred, 0, &picture));
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

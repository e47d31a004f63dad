// The thumbnail header check: what a cell keeps and what it drops on arrival.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/browser/thumbnail_check.h"
#include "ui/picture_fit.h"

namespace app {
namespace {

using File = std::vector<uint8_t>;

bool Kept(const File& f) { return ThumbnailWorthKeeping(f.data(), f.size()); }

void Put16(File* f, uint32_t v, bool big) {
    if (big)
        f->insert(f->end(), {uint8_t(v >> 8), uint8_t(v)});
    else
        f->insert(f->end(), {uint8_t(v), uint8_t(v >> 8)});
}
void Put32(File* f, uint32_t v, bool big) {
    if (big) {
        Put16(f, v >> 16, true);
        Put16(f, v, true);
    } else {
        Put16(f, v, false);
        Put16(f, v >> 16, false);
    }
}

// A JPEG start: SOI, an APP0 segment, a comment, then a frame header of the given marker and sides.
File Jpeg(uint32_t width, uint32_t height, uint8_t frameMarker = 0xC0) {
    File f = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    f.insert(f.end(), {0xFF, 0xFF, 0xFE, 0x00, 0x05, 'a', 'b', 'c'});  // a fill byte before a comment
    f.insert(f.end(), {0xFF, frameMarker, 0x00, 0x11, 0x08});
    Put16(&f, height, true);
    Put16(&f, width, true);
    f.insert(f.end(), {3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1, 0xFF, 0xD9});
    return f;
}

File Png(uint32_t width, uint32_t height) {
    File f = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    Put32(&f, width, true);
    Put32(&f, height, true);
    f.insert(f.end(), {8, 2, 0, 0, 0});
    return f;
}

File Gif(uint32_t width, uint32_t height) {
    File f = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(&f, width, false);
    Put16(&f, height, false);
    f.insert(f.end(), {0, 0, 0, ';'});
    return f;
}

File Bmp(int32_t width, int32_t height, uint32_t header = 40) {
    File f = {'B', 'M'};
    Put32(&f, 0, false);
    Put32(&f, 0, false);
    Put32(&f, 54, false);
    Put32(&f, header, false);
    if (header == 12) {
        Put16(&f, uint32_t(width), false);
        Put16(&f, uint32_t(height), false);
    } else {
        Put32(&f, uint32_t(width), false);
        Put32(&f, uint32_t(height), false);
    }
    f.resize(f.size() + 28);
    return f;
}

TEST(ThumbnailCheck, KeepsEachTypeAtSidesTheDecoderTakes) {
    EXPECT_TRUE(Kept(Jpeg(150, 143)));
    EXPECT_TRUE(Kept(Jpeg(640, 480)));
    EXPECT_TRUE(Kept(Jpeg(320, 240, 0xC2)));  // progressive
    EXPECT_TRUE(Kept(Jpeg(320, 240, 0xC9)));  // arithmetic
    EXPECT_TRUE(Kept(Png(150, 143)));
    EXPECT_TRUE(Kept(Gif(1, 1)));
    EXPECT_TRUE(Kept(Bmp(150, 143)));
    EXPECT_TRUE(Kept(Bmp(150, -143)));  // top-down rows
    EXPECT_TRUE(Kept(Bmp(150, 143, 12)));
    EXPECT_TRUE(Kept(Jpeg(ui::kMaxPictureSide, ui::kMaxPicturePixels / ui::kMaxPictureSide)));
}

TEST(ThumbnailCheck, DropsSidesOverTheDecodersCaps) {
    EXPECT_FALSE(Kept(Jpeg(20000, 20000)));
    EXPECT_FALSE(Kept(Jpeg(641, 480)));  // one column over the pixel cap
    EXPECT_FALSE(Kept(Jpeg(ui::kMaxPictureSide + 1, 1)));
    EXPECT_FALSE(Kept(Png(1, ui::kMaxPictureSide + 1)));
    EXPECT_FALSE(Kept(Png(0x80000000u, 1)));
    EXPECT_FALSE(Kept(Gif(65535, 65535)));
    EXPECT_FALSE(Kept(Bmp(1000, 1000)));
    EXPECT_FALSE(Kept(Bmp(100, int32_t(0x80000000u))));
    // No picture at all: sides of 0.
    EXPECT_FALSE(Kept(Jpeg(0, 10)));
    EXPECT_FALSE(Kept(Gif(10, 0)));
    EXPECT_FALSE(Kept(Bmp(-5, 10)));
}

TEST(ThumbnailCheck, DropsWhatIsNoPictureByItsFirstBytes) {
    std::string page = "<html><body>404 Not Found</body></html>";
    EXPECT_FALSE(Kept(File(page.begin(), page.end())));
    EXPECT_FALSE(Kept(File(4 << 20, 'x')));  // filler
    EXPECT_FALSE(Kept(File()));
    EXPECT_FALSE(ThumbnailWorthKeeping(nullptr, 0));
    EXPECT_FALSE(Kept(File{0xFF, 0xD8}));
    EXPECT_FALSE(Kept(File{'G', 'I', 'F', '8', '9', 'a', 10}));  // cut inside the screen's sides
    EXPECT_FALSE(Kept(File{'B', 'M', 0, 0}));
    File png = Png(10, 10);
    png[12] = 'X';  // the first chunk is not the header
    EXPECT_FALSE(Kept(png));
}

TEST(ThumbnailCheck, DropsAJpegWithoutAReadableFrameHeader) {
    File scanFirst = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x08, 1, 1, 0, 0, 0x3F, 0};
    EXPECT_FALSE(Kept(scanFirst));
    File cut = Jpeg(100, 100);
    cut.resize(30);  // inside the frame header
    EXPECT_FALSE(Kept(cut));
    File junkAfterSegment = Jpeg(100, 100);
    junkAfterSegment[20] = 0x12;  // where the next marker's 0xFF should be
    EXPECT_FALSE(Kept(junkAfterSegment));
    File zeroLength = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x00, 0xFF, 0xC0};
    EXPECT_FALSE(Kept(zeroLength));
    File endOfImage = {0xFF, 0xD8, 0xFF, 0xD9};
    EXPECT_FALSE(Kept(endOfImage));
}

TEST(ThumbnailCheck, DropsAFileLargerThanTheDecoderReads) {
    File big = Jpeg(150, 143);
    big.resize(ui::kMaxPictureBytes, 0);
    EXPECT_TRUE(Kept(big));
    big.push_back(0);
    EXPECT_FALSE(Kept(big));
}

}  // namespace
}  // namespace app

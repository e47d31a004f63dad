// Whole pictures by their end markers and, for GIF, their block structure: what a body cut by a closing
// connection is checked against.
#include <gtest/gtest.h>

#include <string>

#include "app/browser/picture_ends.h"

namespace app {
namespace {

// A GIF of one 2x2 frame: screen with a global colour table of 2 entries, a graphic control extension, the
// image with its data sub-blocks (one of them holding a 3B byte), then the trailer.
std::string SmallGif() {
    std::string gif = "GIF89a";
    gif += std::string("\x02\x00\x02\x00\x80\x00\x00", 7);  // 2x2, global table of 2 colours
    gif += std::string("\x00\x00\x00\xFF\xFF\xFF", 6);
    gif += std::string("\x21\xF9\x04\x00\x00\x00\x00\x00", 8);          // graphic control extension
    gif += std::string("\x2C\x00\x00\x00\x00\x02\x00\x02\x00\x00", 10);  // image descriptor, no local table
    gif += std::string("\x02\x03\x3B\x3B\x44\x00", 6);                  // code size 2, a block of 3 bytes, end
    return gif + ";";
}

TEST(WholePictures, EachFormatNeedsItsEndMarker) {
    std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + std::string(500, 'j') + "\xFF\xD9";
    EXPECT_TRUE(IsWholePicture(jpeg));
    EXPECT_TRUE(IsWholePicture(jpeg + std::string(3, '\0')));
    EXPECT_FALSE(IsWholePicture(jpeg.substr(0, 300)));
    EXPECT_FALSE(IsWholePicture(jpeg.substr(0, jpeg.size() - 1)));
    std::string png =
        std::string("\x89PNG\r\n\x1A\n", 8) + std::string(200, 'p') + std::string("IEND\xAE\x42\x60\x82", 8);
    EXPECT_TRUE(IsWholePicture(png));
    EXPECT_FALSE(IsWholePicture(png.substr(0, png.size() - 4)));
}

// A GIF is whole only when its blocks end with the trailer: a file cut right after a 3B byte inside an image's
// data ends with 3B too, which the last byte alone would take for the trailer.
TEST(WholePictures, GifsAreWalkedBlockByBlock) {
    std::string gif = SmallGif();
    EXPECT_TRUE(IsWholePicture(gif));
    size_t inData = gif.find("\x3B\x3B\x44");
    ASSERT_NE(inData, std::string::npos);
    EXPECT_FALSE(IsWholePicture(gif.substr(0, inData + 1)));
    EXPECT_FALSE(IsWholePicture(gif.substr(0, inData + 2)));
    for (size_t cut = 1; cut < gif.size(); ++cut) EXPECT_FALSE(IsWholePicture(gif.substr(0, cut))) << cut;
    EXPECT_FALSE(IsWholePicture(gif + "x"));                   // bytes after the trailer
    EXPECT_FALSE(IsWholePicture("GIF89a" + std::string(100, 'g') + ";"));  // no block structure
    EXPECT_FALSE(IsWholePicture("GIF87a;"));

    // The same bytes fed in pieces of every size give the same answer.
    for (size_t piece = 1; piece <= gif.size(); ++piece) {
        PictureEndCheck check;
        for (size_t at = 0; at < gif.size(); at += piece) check.Feed(std::string_view(gif).substr(at, piece));
        EXPECT_TRUE(check.Whole()) << piece;
    }
}

// WebP and BMP give their whole size in their header; TIFF and other bytes tell nothing of their end.
TEST(WholePictures, WebpAndBmpByTheSizeTheirHeaderGives) {
    std::string webp = "RIFF" + std::string("\x14\x00\x00\x00", 4) + "WEBPVP8 " + std::string(12, 'w');
    ASSERT_EQ(webp.size(), 28u);  // the RIFF size counts what follows its first 8 bytes
    EXPECT_EQ(PictureEndCheck().Verdict(), PictureEnd::kUnknown);
    PictureEndCheck whole, cut, longer;
    whole.Feed(webp);
    cut.Feed(webp.substr(0, 27));
    longer.Feed(webp + "x");
    EXPECT_EQ(whole.Verdict(), PictureEnd::kWhole);
    EXPECT_EQ(cut.Verdict(), PictureEnd::kCut);
    EXPECT_EQ(longer.Verdict(), PictureEnd::kCut);
    std::string bmp = "BM" + std::string("\x20\x00\x00\x00", 4) + std::string(26, 'b');
    EXPECT_TRUE(IsWholePicture(bmp));
    EXPECT_FALSE(IsWholePicture(bmp.substr(0, 31)));
    PictureEndCheck tiff;
    tiff.Feed(std::string("II*\0", 4) + std::string(100, 't'));
    EXPECT_EQ(tiff.Verdict(), PictureEnd::kUnknown);
}

TEST(WholePictures, OtherBytesAreNeverWhole) {
    EXPECT_FALSE(IsWholePicture(""));
    EXPECT_FALSE(IsWholePicture("<html>not found</html>"));
    EXPECT_FALSE(IsWholePicture(std::string("\xFF\xD9", 2)));  // an end marker without a start
    EXPECT_FALSE(IsWholePicture(std::string("\xFF\xD8\xFF", 3)));
    EXPECT_FALSE(IsWholePicture("RIFF....WEBPVP8 "));
    // A JPEG fed a byte at a time keeps its last bytes right.
    std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + std::string(40, 'j') + "\xFF\xD9";
    PictureEndCheck check;
    for (char c : jpeg) check.Feed(std::string_view(&c, 1));
    EXPECT_TRUE(check.Whole());
}

}  // namespace
}  // namespace app

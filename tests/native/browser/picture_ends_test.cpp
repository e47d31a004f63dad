// Whole pictures by their end markers: what a body cut by a closing connection is checked against.
#include <gtest/gtest.h>

#include <string>

#include "app/browser/picture_ends.h"

namespace app {
namespace {

bool Whole(const std::string& file) {
    return IsWholePicture(
        std::string_view(file).substr(0, kPictureHeadBytes),
        std::string_view(file).substr(file.size() > kPictureTailBytes ? file.size() - kPictureTailBytes : 0));
}

TEST(WholePictures, EachFormatNeedsItsEndMarker) {
    std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + std::string(500, 'j') + "\xFF\xD9";
    EXPECT_TRUE(Whole(jpeg));
    EXPECT_TRUE(Whole(jpeg + std::string(3, '\0')));
    EXPECT_FALSE(Whole(jpeg.substr(0, 300)));
    EXPECT_FALSE(Whole(jpeg.substr(0, jpeg.size() - 1)));
    std::string png =
        std::string("\x89PNG\r\n\x1A\n", 8) + std::string(200, 'p') + std::string("IEND\xAE\x42\x60\x82", 8);
    EXPECT_TRUE(Whole(png));
    EXPECT_FALSE(Whole(png.substr(0, png.size() - 4)));
    std::string gif = "GIF89a" + std::string(100, 'g') + ";";
    EXPECT_TRUE(Whole(gif));
    EXPECT_FALSE(Whole(gif.substr(0, 50)));
    EXPECT_TRUE(Whole("GIF87a;"));
}

TEST(WholePictures, OtherBytesAreNeverWhole) {
    EXPECT_FALSE(Whole(""));
    EXPECT_FALSE(Whole("<html>not found</html>"));
    EXPECT_FALSE(Whole(std::string("\xFF\xD9", 2)));  // an end marker without a start
    EXPECT_FALSE(Whole(std::string("\xFF\xD8\xFF", 3)));
    EXPECT_FALSE(Whole("RIFF....WEBPVP8 "));
}

}  // namespace
}  // namespace app

// Names of downloaded pictures: base names from addresses, safe names, numbered names and the folder rule.
#include <gtest/gtest.h>

#include "app/browser/download_names.h"

namespace app {
namespace {

std::string Base(const char* url) { return PictureBaseName(Text::Copy(url)).str(); }
std::string Numbered(const char* base, int32_t dup) { return NumberedName(Text::Copy(base), dup).str(); }

TEST(PictureBaseNames, LastPathComponentWithoutQueryOrFragment) {
    EXPECT_EQ(Base("http://h/pic/u/a.jpg"), "a.jpg");
    EXPECT_EQ(Base("http://h/pic/a.jpg?size=big/2"), "a.jpg");
    EXPECT_EQ(Base("http://h/pic/a.jpg#top"), "a.jpg");
    EXPECT_EQ(Base("noslash.jpg"), "noslash.jpg");
    EXPECT_EQ(Base("http://h/pic/"), "picture");
}

TEST(PictureBaseNames, ForbiddenCharactersTrailingDotsAndDevices) {
    EXPECT_EQ(Base("http://h/a:b*c\"d<e>f|g.jpg"), "a_b_c_d_e_f_g.jpg");
    EXPECT_EQ(Base("http://h/name. . "), "name");
    EXPECT_EQ(Base("http://h/CON"), "_CON");
    EXPECT_EQ(Base("http://h/con.jpg"), "_con.jpg");
    EXPECT_EQ(Base("http://h/COM1.png"), "_COM1.png");
    EXPECT_EQ(Base("http://h/COM10.png"), "COM10.png");
    EXPECT_EQ(Base("http://h/a\tb\x01.jpg"), "a_b_.jpg");
}

TEST(PictureBaseNames, GbkCharactersStayWhole) {
    // 0x95 0x5C is one GBK character whose trail byte is a backslash; it must not be replaced or split.
    EXPECT_EQ(Base("http://h/pic/\x95\x5C"
                   "a.jpg"),
              "\x95\x5C"
              "a.jpg");
    EXPECT_EQ(Base("http://h/pic/风景.jpg"), "风景.jpg");
    // A lone lead byte at the end is not a character.
    EXPECT_EQ(Base("http://h/a\xB0"), "a_");
}

TEST(PictureBaseNames, LeadByteWithoutATrailByteShieldsNothing) {
    // A lead byte used to pair with whatever followed it, keeping ':', control bytes or a final dot in the name.
    EXPECT_EQ(Base("http://h/a\xB0:b.jpg"), "a__b.jpg");
    EXPECT_EQ(Base("http://h/\xD0\x02~"), "__~");
    EXPECT_EQ(Base("http://h/a\x81."), "a_");
    EXPECT_EQ(Base("http://h/a\x81\x7F.jpg"), "a__.jpg");
    // Real trail bytes, 0x40 to 0xFE, still pair.
    EXPECT_EQ(Base("http://h/\x81\x40\xFE\xFE.jpg"), "\x81\x40\xFE\xFE.jpg");
}

TEST(NumberedNames, NumberBeforeTheFirstDotOrAtTheEnd) {
    EXPECT_EQ(Numbered("a.jpg", 0), "a.jpg");
    EXPECT_EQ(Numbered("a.jpg", 1), "a(1).jpg");
    EXPECT_EQ(Numbered("a.jpg", 2), "a(2).jpg");
    EXPECT_EQ(Numbered("a.b.jpg", 1), "a(1).b.jpg");
    EXPECT_EQ(Numbered("img", 1), "img(1)");
    EXPECT_EQ(Numbered("img", 12), "img(12)");
}

TEST(SaveFolder, OneTrailingBackslash) {
    EXPECT_EQ(FolderWithBackslash(Text::Copy("C:\\")).str(), "C:\\");
    EXPECT_EQ(FolderWithBackslash(Text::Copy("C:\\pics")).str(), "C:\\pics\\");
    // 誠 is 0xD5 0x5C: its trail byte is no separator, so the folder still gets one.
    EXPECT_EQ(FolderWithBackslash(Text::Copy("D:\\\xD5\x5C")).str(), "D:\\\xD5\x5C\\");
    EXPECT_EQ(FolderWithBackslash(Text::Copy("D:\\\xD5\x5C\\")).str(), "D:\\\xD5\x5C\\");
}

}  // namespace
}  // namespace app

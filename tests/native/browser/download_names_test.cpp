// Names of downloaded pictures: base names from addresses, safe names, numbered names and the folder rule.
#include <gtest/gtest.h>

#include <set>
#include <string>

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

TEST(PictureBaseNames, ActiveExtensionsGetAnUnderscore) {
    EXPECT_EQ(Base("http://h/x.scr"), "x.scr_");
    EXPECT_EQ(Base("http://h/photo.jpg.lnk"), "photo.jpg.lnk_");
    EXPECT_EQ(Base("http://h/setup.EXE"), "setup.EXE_");
    EXPECT_EQ(Base("http://h/a.library-ms"), "a.library-ms_");
    EXPECT_EQ(Base("http://h/wininet.dll"), "wininet.dll_");
    EXPECT_EQ(Base("http://h/x.url?y=1"), "x.url_");
    EXPECT_EQ(Base("http://h/x.exe. . "), "x.exe_");  // trimmed first, as Windows would
    EXPECT_EQ(Base("http://h/x.exe.jpg"), "x.exe.jpg");
    EXPECT_EQ(Base("http://h/exe"), "exe");
    EXPECT_EQ(Numbered("x.scr_", 1), "x(1).scr_");
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

std::string Fitting(const std::string& base, int32_t dup, size_t room) {
    return FittingName(Text::Copy(base), dup, room).str();
}

TEST(FittingNames, ShortNamesAreUnchanged) {
    EXPECT_EQ(Fitting("a.jpg", 0, 255), "a.jpg");
    EXPECT_EQ(Fitting("a.jpg", 3, 8), "a(3).jpg");
}

TEST(FittingNames, LongNamesKeepTheirExtensionAndNumber) {
    std::string base = std::string(300, 'x') + ".jpg";
    EXPECT_EQ(Fitting(base, 0, 255), std::string(251, 'x') + ".jpg");
    EXPECT_EQ(Fitting(base, 1, 255), std::string(248, 'x') + "(1).jpg");
    EXPECT_EQ(Fitting(base, 12, 20), std::string(12, 'x') + "(12).jpg");
    // Every candidate of one long base is distinct and fits.
    std::set<std::string> seen;
    for (int32_t dup = 0; dup < 200; ++dup) {
        std::string name = Fitting(base, dup, 11);
        EXPECT_LE(name.size(), 11u) << name;
        EXPECT_TRUE(seen.insert(name).second) << name;
    }
    // A name with dots in front of its extension: the number goes before the first dot, as for short names.
    EXPECT_EQ(Fitting("a.bbbbbbbbbbbbbbbbbbbbbbbbbbbb.jpg", 1, 16), "a(1).bbbbbbb.jpg");
    // A long "extension" is no extension: the name is simply cut.
    EXPECT_EQ(Fitting("x." + std::string(40, 'e'), 0, 10), "x.eeeeeeee");
}

TEST(FittingNames, CutsNeverSplitACharacterNorLeaveADotOrADevice) {
    // 啊 is B0 A1: cutting after 5 bytes would split the third one.
    std::string gbk = "\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1.jpg";
    EXPECT_EQ(Fitting(gbk, 0, 9), "\xB0\xA1\xB0\xA1.jpg");
    EXPECT_EQ(Fitting("ab. . .cdefgh.jpg", 0, 10), "ab.jpg");
    EXPECT_EQ(Fitting("CON SOLE.jpg", 0, 8), "_CON.jpg");
    EXPECT_EQ(Fitting("aux" + std::string(20, ' ') + "x", 0, 5), "_aux");
    // A cut that would end right after an active extension gives up one more byte for the "_".
    EXPECT_EQ(Fitting("a.exe" + std::string(40, 'Z'), 0, 5), "a.ex_");
    // No room for a name with its number: nothing is offered.
    EXPECT_EQ(Fitting("abc.jpg", 100, 5), "");
}

TEST(SaveFolder, RoomForNames) {
    EXPECT_EQ(NameRoom(Text::Copy("C:\\")), kMaxNameBytes);
    std::string deep = "C:\\" + std::string(240, 'd') + "\\";  // 244 bytes: 15 left of 259
    EXPECT_EQ(NameRoom(Text::Copy(deep)), 15u);
    EXPECT_TRUE(FolderTakesPictures(Text::Copy(deep)));
    std::string deeper = "C:\\" + std::string(250, 'd') + "\\";
    EXPECT_EQ(NameRoom(Text::Copy(deeper)), 5u);
    EXPECT_FALSE(FolderTakesPictures(Text::Copy(deeper)));
    EXPECT_EQ(NameRoom(Text::Copy(std::string(300, 'd'))), 0u);
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

// Names of downloaded pictures: base names from addresses, safe names, numbered names and the folder rule.
#include <gtest/gtest.h>

#include <cctype>
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

// Types that run, install, mount or carry script when opened from the folder, and the folder's settings file.
TEST(PictureBaseNames, TypesThatRunOrActWhenOpenedGetAnUnderscore) {
    for (const char* ext : {"chm",   "hta",          "wsc",  "sct",   "shb",       "shs", "xll",  "diagcab", "mht",
                            "mhtml", "htm",          "html", "svg",   "iso",       "img", "vhd",  "vhdx",    "msix",
                            "appx",  "appinstaller", "rdp",  "theme", "themepack", "one", "jnlp", "py",      "pyw"}) {
        EXPECT_EQ(Base((std::string("http://h/a.") + ext).c_str()), std::string("a.") + ext + "_");
        std::string upper = ext;
        for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(Base(("http://h/b." + upper + "?x").c_str()), "b." + upper + "_");
    }
    EXPECT_EQ(Base("http://h/desktop.ini"), "desktop.ini_");
    EXPECT_EQ(Base("http://h/Desktop.INI. "), "Desktop.INI_");
    // Only the whole name: another .ini file, or desktop.ini as a part of a name, stays as it is.
    EXPECT_EQ(Base("http://h/setup.ini"), "setup.ini");
    EXPECT_EQ(Base("http://h/mydesktop.ini"), "mydesktop.ini");
    EXPECT_EQ(Base("http://h/desktop.ini.jpg"), "desktop.ini.jpg");
    EXPECT_EQ(Base("http://h/a.svgz"), "a.svgz");
}

TEST(PictureBaseNames, EveryDeviceNameGetsALeadingUnderscore) {
    for (const char* device : {"COM0", "lpt0", "CONIN$", "conout$", "CLOCK$", "Clock$.jpg", "CONIN$ .png",
                               "conout$.a.b", "LPT0.gif", "com9.jpg"})
        EXPECT_EQ(Base((std::string("http://h/") + device).c_str()), std::string("_") + device) << device;
    for (const char* plain : {"CONIN", "CONOUT", "CLOCK", "COM00", "LPTX.jpg", "CONIN$X.jpg", "xCLOCK$"})
        EXPECT_EQ(Base((std::string("http://h/") + plain).c_str()), plain);
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

// A name cut to fit must not become what the whole name was kept from being.
TEST(FittingNames, CutsNeverExposeATypeThatActsOrADevice) {
    EXPECT_EQ(Fitting("a.html" + std::string(40, 'Z'), 0, 6), "a.htm_");
    EXPECT_EQ(Fitting("a.vhdx" + std::string(40, 'Z'), 0, 5), "a.vh_");
    EXPECT_EQ(Fitting("desktop.ini" + std::string(40, 'Z'), 0, 11), "desktop.in_");
    EXPECT_EQ(Fitting("CONIN$ and more.jpg", 0, 10), "_CONIN.jpg");
    EXPECT_EQ(Fitting("clock$ xxxxxxxx.png", 2, 13), "_clock(2).png");
    EXPECT_EQ(Fitting("com0" + std::string(30, ' ') + "z", 0, 6), "_com0");
    for (size_t room = 3; room < 60; ++room) {
        for (const std::string& base : {"x.html" + std::string(60, 'l'), "desktop.ini" + std::string(60, 'i'),
                                        "lpt0 " + std::string(60, 'p') + ".jpg"}) {
            // A safe name of no active type and no device is its own base name.
            std::string name = Fitting(base, 0, room);
            EXPECT_EQ(Base(("http://h/" + name).c_str()), name) << room;
        }
    }
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

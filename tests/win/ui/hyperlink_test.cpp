// Hyperlinks open their address with the shell: Wine's browser launcher, pointed at a command that records it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/win/support/browser_recorder.h"
#include "tests/win/ui/ui_test_form.h"

namespace uitest {
namespace {

// Clicks on the test window's hyperlink, with Wine's browser launcher recording what it is asked to open.
class Hyperlink : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(browser.ready());
        window = LoadTestWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { UnloadTestWindow(); }
    std::string Opened() { return browser.Opened(); }

    testing_support::BrowserRecorder browser;
    HWND window = nullptr;
};

TEST_F(Hyperlink, AClickOpensItsAddressWithoutAnyHandler) {
    HWND link = ControlWindow(kLink);
    ASSERT_NE(link, nullptr);
    fired.clear();
    SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
    SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
    EXPECT_EQ(Opened(), "http://127.0.0.1:9/");
    for (const Fired& f : fired) EXPECT_NE(f.event, 0) << "the link has no click event of its own";
    // Pressed outside and released over it is no click.
    browser.Clear();
    SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
    EXPECT_EQ(browser.Opened(1000), "");
}

// The ink the link shows now: counts of bluish and of black pixels (the caption is drawn smoothed or not).
struct Ink {
    int blue = 0, black = 0, middle = 0;
};
Ink InkOf(HWND link) {
    ShowWindow(GetAncestor(link, GA_ROOT), SW_SHOW);
    InvalidateRect(link, nullptr, TRUE);
    UpdateWindow(link);
    RECT r;
    GetClientRect(link, &r);
    Ink ink;
    HDC dc = GetDC(link);
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            bool blue = GetBValue(c) > 150 && GetRValue(c) < 100 && GetGValue(c) < 100;
            bool black = GetBValue(c) < 60 && GetRValue(c) < 60 && GetGValue(c) < 60;
            ink.blue += blue;
            ink.black += black;
            if ((blue || black) && x > r.right / 3 && x < r.right * 2 / 3) ++ink.middle;
        }
    ReleaseDC(link, dc);
    return ink;
}

void Click(HWND link) {
    SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
    SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
}

// A caption wider than the link is centred: one W between 30 spaces on each side lands in its middle, where
// a left-aligned caption would put it far beyond the right edge.
TEST_F(Hyperlink, AWideCaptionIsCentred) {
    WriteText(kLink, 8, (std::string(30, ' ') + "W" + std::string(30, ' ')).c_str());
    Ink ink = InkOf(ControlWindow(kLink));
    WriteText(kLink, 8, "链接");
    EXPECT_GT(ink.middle, 0);
}

// Black says the page was opened: an address that neither the shell nor the ".htm" command can open leaves the
// link blue; one that opens turns it black.
TEST_F(Hyperlink, TurnsBlackOnlyWhenOpeningSucceeded) {
    HWND link = ControlWindow(kLink);
    ASSERT_GT(InkOf(link).blue, 0);
    HKEY htm = nullptr;  // ".htm" as a type without an open command, for this test only
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\.htm", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &htm, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(htm, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("PexoTestNoCommand"), 18);
    WriteText(kLink, 9, "pexo-no-such-scheme:page");
    Click(link);
    Ink failed = InkOf(link);
    RegCloseKey(htm);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Classes\\.htm");
    EXPECT_GT(failed.blue, 0);
    EXPECT_EQ(failed.black, 0);

    WriteText(kLink, 9, "http://127.0.0.1:9/");
    Click(link);
    EXPECT_EQ(Opened(), "http://127.0.0.1:9/");
    Ink opened = InkOf(link);
    EXPECT_GT(opened.black, 0);
    EXPECT_EQ(opened.blue, 0);
}

TEST_F(Hyperlink, AddressIsAProperty) {
    EXPECT_EQ(ReadText(kLink, 9), "http://127.0.0.1:9/");
    WriteText(kLink, 9, "http://127.0.0.1:9/other");
    HWND link = ControlWindow(kLink);
    SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
    SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
    EXPECT_EQ(Opened(), "http://127.0.0.1:9/other");
}

}  // namespace
}  // namespace uitest

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

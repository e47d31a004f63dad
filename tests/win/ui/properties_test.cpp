// Properties through the runtime's entries: live geometry and state, each type's own properties, menus.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "tests/win/ui/ui_test_form.h"

namespace uitest {
namespace {

class Properties : public ::testing::Test {
protected:
    void SetUp() override {
        window = LoadTestWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { UnloadTestWindow(); }
    HWND window = nullptr;
};

TEST_F(Properties, ControlsAreWindowsWithTheLowBitsOfTheirIdsAndStoredCaptions) {
    HWND button = ControlWindow(kButton);
    ASSERT_NE(button, nullptr);
    char cls[32], text[64];
    GetClassNameA(button, cls, sizeof cls);
    GetWindowTextA(button, text, sizeof text);
    EXPECT_STREQ(cls, "Button");
    EXPECT_STREQ(text, "按我");
    EXPECT_EQ(GetDlgCtrlID(ControlWindow(kCombo)), 0x0105);
    EXPECT_EQ(ReadInt(kWindow, 5), 0) << "the test window is stored hidden (showing costs time under Wine)";
    EXPECT_EQ(ReadText(kWindow, 8), "界面测试窗口");
    EXPECT_EQ(ReadText(kCheck, 11), "勾选");
    EXPECT_EQ(ReadText(kLabel, 8), "标签文字");
    EXPECT_EQ(ReadText(kHiddenLabel, 8), "V1.0");
    EXPECT_EQ(ReadInt(kProgress, 12), 100);
    EXPECT_EQ(ReadInt(kScroll, 9), 50);
    // Stored state flags: Tab, disabled, hidden.
    EXPECT_TRUE(GetWindowLongA(button, GWL_STYLE) & WS_TABSTOP);
    EXPECT_FALSE(IsWindowEnabled(ControlWindow(kScroll)));
    EXPECT_FALSE(GetWindowLongA(ControlWindow(kHiddenLabel), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongA(ControlWindow(kLabel), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(Properties, GeometryIsReadFromTheLiveWindow) {
    EXPECT_EQ(ReadInt(kButton, 0), 10);
    EXPECT_EQ(ReadInt(kButton, 1), 20);
    EXPECT_EQ(ReadInt(kButton, 2), 80);
    EXPECT_EQ(ReadInt(kButton, 3), 26);
    SetWindowPos(ControlWindow(kButton), nullptr, 33, 44, 91, 29, SWP_NOZORDER);
    EXPECT_EQ(ReadInt(kButton, 0), 33);
    EXPECT_EQ(ReadInt(kButton, 1), 44);
    EXPECT_EQ(ReadInt(kButton, 2), 91);
    EXPECT_EQ(ReadInt(kButton, 3), 29);
    WriteInt(kButton, 0, 5);
    WriteInt(kButton, 3, 40);
    RECT r;
    GetWindowRect(ControlWindow(kButton), &r);
    MapWindowPoints(nullptr, ControlWindow(kGroup), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 44);
    EXPECT_EQ(r.bottom - r.top, 40);
    // A combo box's height is its closed height, though its window also holds the dropped list.
    EXPECT_EQ(ReadInt(kCombo, 3), 20) << "closed height";
    // The window's own position and size are the outer ones.
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(ReadInt(kWindow, 0), outer.left);
    EXPECT_EQ(ReadInt(kWindow, 2), outer.right - outer.left);
    EXPECT_EQ(ReadInt(kWindow, 3), outer.bottom - outer.top);
}

TEST_F(Properties, VisibleAndDisabledFollowTheWindow) {
    EXPECT_EQ(ReadInt(kHiddenLabel, 5), 0);
    EXPECT_EQ(ReadInt(kLabel, 5), 1);
    WriteInt(kHiddenLabel, 5, 1);
    EXPECT_TRUE(GetWindowLongA(ControlWindow(kHiddenLabel), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(ReadInt(kHiddenLabel, 5), 1);
    ShowWindow(ControlWindow(kLabel), SW_HIDE);
    EXPECT_EQ(ReadInt(kLabel, 5), 0);
    // A control inside a hidden container still reads its own visibility.
    WriteInt(kGroup, 5, 0);
    EXPECT_EQ(ReadInt(kButton, 5), 1);
    EXPECT_EQ(ReadInt(kScroll, 6), 1);
    WriteInt(kScroll, 6, 0);
    EXPECT_TRUE(IsWindowEnabled(ControlWindow(kScroll)));
    EXPECT_EQ(ReadInt(kScroll, 6), 0);
}

TEST_F(Properties, OwnPropertiesOfEachType) {
    WriteText(kEdit, 8, "张三abc");
    char text[64];
    GetWindowTextA(ControlWindow(kEdit), text, sizeof text);
    EXPECT_STREQ(text, "张三abc");
    SetWindowTextA(ControlWindow(kEdit), "typed");
    EXPECT_EQ(ReadText(kEdit, 8), "typed");

    WriteInt(kCheck, 18, 1);
    EXPECT_EQ(SendMessageA(ControlWindow(kCheck), BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageA(ControlWindow(kCheck), BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_EQ(ReadInt(kCheck, 18), 0);
    WriteText(kCheck, 11, "(7)a.jpg");
    EXPECT_EQ(ReadText(kCheck, 11), "(7)a.jpg");

    WriteInt(kScroll, 9, 20);
    WriteInt(kScroll, 12, 30);  // beyond the maximum: kept within the range
    EXPECT_EQ(ReadInt(kScroll, 12), 20);
    EXPECT_EQ(GetScrollPos(ControlWindow(kScroll), SB_CTL), 20);

    WriteInt(kProgress, 13, 42);
    EXPECT_EQ(SendMessageA(ControlWindow(kProgress), PBM_GETPOS, 0, 0), 42);
    EXPECT_EQ(ReadInt(kProgress, 13), 42);

    WriteText(kLabel, 8, "");
    EXPECT_EQ(ReadText(kLabel, 8), "");
    WriteText(kWindow, 8, "新标题");
    GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ(text, "新标题");
    WriteText(kWindow, 8, "界面测试窗口");
}

std::vector<std::string> BarCaptions(HWND window) {
    std::vector<std::string> captions;
    HMENU bar = GetMenu(window);
    for (int i = 0; bar && i < GetMenuItemCount(bar); ++i) {
        char text[64] = {};
        GetMenuStringA(bar, UINT(i), text, sizeof text, MF_BYPOSITION);
        captions.push_back(text);
    }
    return captions;
}

// A listing steps the bar once per picture: steps written in quick succession are shown together once the
// window thread pumps its messages again; the property itself always reads the last value written, and the
// ends of the range show at once.
TEST_F(Properties, ProgressStepsInQuickSuccessionShowTogether) {
    HWND bar = ControlWindow(kProgress);
    WriteInt(kProgress, 12, 1000);
    WriteInt(kProgress, 13, 1);
    for (int position = 2; position <= 400; ++position) WriteInt(kProgress, 13, position);
    EXPECT_EQ(ReadInt(kProgress, 13), 400);
    EXPECT_LT(SendMessageA(bar, PBM_GETPOS, 0, 0), 400) << "every step repainted at once";
    ULONGLONG until = GetTickCount64() + 200;
    MSG msg;
    while (SendMessageA(bar, PBM_GETPOS, 0, 0) != 400 && GetTickCount64() < until) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 400);

    WriteInt(kProgress, 13, 401);
    WriteInt(kProgress, 13, 1000);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 1000) << "the end of the range waited";
    WriteInt(kProgress, 13, 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0) << "a reset waited";
}

TEST_F(Properties, MenuBarShowsOnlyVisibleTopLevelMenusAndFollowsItemVisibility) {
    EXPECT_EQ(BarCaptions(window), std::vector<std::string>{"菜单"});
    HMENU items = GetSubMenu(GetMenu(window), 0);
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(GetMenuItemCount(items), 1);
    EXPECT_EQ(GetMenuItemID(items, 0), 0x0206u);
    EXPECT_EQ(ReadInt(kMenuBarItem, 3), 1);
    WriteInt(kMenuBarItem, 3, 0);
    EXPECT_EQ(ReadInt(kMenuBarItem, 3), 0);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(GetMenu(window), 0)), 0);
    WriteInt(kMenuBarItem, 3, 1);
    WriteInt(kMenuPopup, 3, 1);
    EXPECT_EQ(BarCaptions(window), (std::vector<std::string>{"弹出", "菜单"}));
    EXPECT_EQ(ReadText(kMenuFirst, 0), "第一项");
}

}  // namespace
}  // namespace uitest

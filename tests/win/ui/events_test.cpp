// Events from real input messages: mouse, keys, wheel and clicks reach the bound handlers with their arguments,
// the source named by GetEventControl; the close query decides whether the window closes.
#include <windows.h>

#include <gtest/gtest.h>

#include "runtime/application.h"
#include "runtime/call.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "tests/win/child_process.h"
#include "tests/win/ui/ui_test_form.h"
#include "ui/form.h"
#include "ui/window_layer.h"

namespace uitest {
namespace {

class Events : public ::testing::Test {
protected:
    void SetUp() override {
        window = LoadTestWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { UnloadTestWindow(); }

    std::vector<Fired> Of(uint32_t control) {
        std::vector<Fired> out;
        for (const Fired& f : fired)
            if (f.source.control == control) out.push_back(f);
        return out;
    }
    HWND window = nullptr;
};

TEST_F(Events, CreationEventRanBeforeLoadReturned) {
    ASSERT_FALSE(fired.empty());
    EXPECT_EQ(fired[0].event, 0);
    EXPECT_EQ(fired[0].source.control, kWindow);
    EXPECT_EQ(fired[0].tag, rt::kTagWindow);
}

TEST_F(Events, MouseButtonsCarryPositionAndKeyState) {
    fired.clear();
    HWND button = ControlWindow(kButton);
    SendMessageA(button, WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL | MK_SHIFT, MAKELPARAM(7, 9));
    SendMessageA(button, WM_RBUTTONUP, MK_CONTROL, MAKELPARAM(8, 10));
    SendMessageA(ControlWindow(kEdit), WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
    auto b = Of(kButton);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0].event, -4);
    EXPECT_EQ(b[0].args, (std::vector<int32_t>{7, 9, 1 | 2}));
    EXPECT_EQ(b[1].event, -5);
    EXPECT_EQ(b[1].args, (std::vector<int32_t>{8, 10, 1}));
    EXPECT_EQ(b[0].tag, rt::kTagButton);
    EXPECT_EQ(b[0].source.window, kWindowId);
    auto e = Of(kEdit);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].event, -6);
    EXPECT_EQ(e[0].tag, rt::kTagEditBox);
}

TEST_F(Events, ButtonClickRaisesDownUpAndClicked) {
    fired.clear();
    HWND button = ControlWindow(kButton);
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Pump();
    std::vector<int32_t> events;
    for (const Fired& f : Of(kButton)) events.push_back(f.event);
    EXPECT_EQ(events, (std::vector<int32_t>{-1, -2, 0}));
}

TEST_F(Events, KeysReachTheFocusedControl) {
    fired.clear();
    HWND edit = ControlWindow(kEdit);
    SendMessageA(edit, WM_KEYDOWN, 'A', 0x001E0001);
    SendMessageA(edit, WM_CHAR, 'a', 0x001E0001);
    SendMessageA(edit, WM_KEYUP, VK_RETURN, 0xC01C0001);
    auto e = Of(kEdit);
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].event, -9);
    EXPECT_EQ(e[0].args[0], 'A');
    EXPECT_EQ(e[1].event, -11);
    EXPECT_EQ(e[1].args[0], 'a');
    EXPECT_EQ(e[2].event, -10);
    EXPECT_EQ(e[2].args[0], 13);
}

TEST_F(Events, WheelDistanceIsTruncatedNotchesPositiveAwayFromTheUser) {
    fired.clear();
    HWND scroll = ControlWindow(kScroll);
    for (short delta : {240, -120, 60, -359}) SendMessageA(scroll, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), 0);
    auto s = Of(kScroll);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].event, -12);
    EXPECT_EQ(s[0].args[0], 2);
    EXPECT_EQ(s[1].args[0], -1);
    EXPECT_EQ(s[2].args[0], 0);
    EXPECT_EQ(s[3].args[0], -2);
}

TEST_F(Events, ScrollBarMovesByItsStepsAndReportsEachChange) {
    WriteInt(kScroll, 6, 0);
    WriteInt(kScroll, 10, 7);  // page step
    WriteInt(kScroll, 11, 2);  // line step
    fired.clear();
    HWND scroll = ControlWindow(kScroll);
    HWND parent = GetParent(scroll);
    SendMessageA(parent, WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(scroll));
    SendMessageA(parent, WM_VSCROLL, SB_PAGEDOWN, reinterpret_cast<LPARAM>(scroll));
    SendMessageA(parent, WM_VSCROLL, SB_LINEUP, reinterpret_cast<LPARAM>(scroll));
    SendMessageA(parent, WM_VSCROLL, SB_TOP, reinterpret_cast<LPARAM>(scroll));
    SendMessageA(parent, WM_VSCROLL, SB_TOP, reinterpret_cast<LPARAM>(scroll));  // no change: no event
    auto s = Of(kScroll);
    ASSERT_EQ(s.size(), 4u);
    for (const Fired& f : s) EXPECT_EQ(f.event, 0);
    EXPECT_EQ(ReadInt(kScroll, 12), 0);
    SendMessageA(parent, WM_VSCROLL, SB_BOTTOM, reinterpret_cast<LPARAM>(scroll));
    EXPECT_EQ(ReadInt(kScroll, 12), 50);
}

TEST_F(Events, CheckBoxClickTogglesAndRaisesClicked) {
    fired.clear();
    HWND check = ControlWindow(kCheck);
    SendMessageA(check, BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(ReadInt(kCheck, 18), 1);
    bool clicked = false;
    for (const Fired& f : Of(kCheck)) clicked |= f.event == 0 && f.tag == rt::kTagCheckBox;
    EXPECT_TRUE(clicked);
}

TEST_F(Events, MenuCommandRunsTheItemsClickHandler) {
    fired.clear();
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(0x0206, 0), 0);
    auto m = Of(kMenuBarItem);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].event, 0);
    EXPECT_EQ(m[0].tag, rt::kTagMenu);
}

TEST_F(Events, TabMovesTheFocusInDescriptionOrder) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(ControlWindow(kButton));
    MSG tab = {GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001, 0, {}};
    ui::DispatchMessageLikeLoop(&tab);
    EXPECT_EQ(GetFocus(), ControlWindow(kEdit));
    tab.hwnd = GetFocus();
    ui::DispatchMessageLikeLoop(&tab);
    EXPECT_EQ(GetFocus(), ControlWindow(kCheck));
}

TEST_F(Events, CloseQueryKeepsOrClosesTheWindow) {
    closeAnswer = false;
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(fired.back().event, 1);
    closeAnswer = true;
    fired.clear();
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    ASSERT_GE(fired.size(), 2u);
    EXPECT_EQ(fired[0].event, 1);
    EXPECT_EQ(fired[1].event, 2) << "the destroy event follows";
    EXPECT_EQ(ui::Form::Loaded(kWindowId), nullptr);
}

TEST_F(Events, DestroyUnitOfTheWindowClosesAfterTheHandlerReturns) {
    closeAnswer = false;
    onEvent = [](const Fired& f) {
        if (f.event == 1) rt::CallKernel(rt::kDestroyUnit, Ref(kWindow, rt::kTagWindow));
    };
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window)) << "still open while the handler runs and right after";
    Pump();
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(Events, GetEventControlOutsideAHandlerIsFatal) {
    rt::ChildResult r = rt::RunChild("get-event-control-outside");
    EXPECT_EQ(r.exitCode, DWORD(-1));
    EXPECT_NE(r.output.find("“取事件组件”命令只能在事件处理子程序中使用"), std::string::npos) << r.output;
}

CHILD_SCENARIO("get-event-control-outside") {
    rt::SetErrorHook(&uitest::PrintFatal);
    rt::CallKernel(rt::kGetEventControl);
}

CHILD_SCENARIO("event-unknown-window") {
    rt::SetErrorHook(&uitest::PrintFatal);
    LoadTestWindow();
    ui::DispatchEvent(0x52019999, kButton, 0, 0, nullptr);
}

CHILD_SCENARIO("event-unknown-control") {
    rt::SetErrorHook(&uitest::PrintFatal);
    LoadTestWindow();
    ui::DispatchEvent(kWindowId, 0x16019999, 0, 0, nullptr);
}

TEST_F(Events, EventsFromUnknownWindowsOrControlsAreFatal) {
    rt::ChildResult window = rt::RunChild("event-unknown-window");
    EXPECT_EQ(window.exitCode, DWORD(-1));
    EXPECT_NE(window.output.find("fatal:未找到引发事件的窗口"), std::string::npos) << window.output;
    rt::ChildResult control = rt::RunChild("event-unknown-control");
    EXPECT_NE(control.output.find("fatal:未找到引发事件的窗口组件"), std::string::npos) << control.output;
}

}  // namespace
}  // namespace uitest

namespace uitest {
namespace {

TEST_F(Events, PictureButtonIsShapedByItsImageAndClicks) {
    HWND picture = ControlWindow(kPicBtn);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(picture, region), ERROR);
    EXPECT_TRUE(PtInRegion(region, 2, 2)) << "the frame belongs to the button";
    EXPECT_FALSE(PtInRegion(region, 81, 87)) << "its transparent inside does not";
    DeleteObject(region);
    fired.clear();
    SendMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(picture, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_EQ(fired[2].event, 0);
    EXPECT_EQ(fired[2].tag, rt::kTagPicBtn);
    // The stored images come back as the GIF files they are.
    rt::PropertyValue v = rt::ReadProperty(kWindowId, kPicBtn, 8, -1);
    void* block = reinterpret_cast<void*>(uintptr_t(uint64_t(v.high) << 32 | v.low));
    ASSERT_GT(rt::BytesLengthOf(block), 6);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rt::BytesDataOf(block)), 6), "GIF89a");
    rt::MemFree(block);
}

CHILD_SCENARIO("load-unknown-window") {
    rt::SetErrorHook(&PrintFatal);
    LoadTestWindow();
    rt::LoadStartWindow(0x52010404);
}

CHILD_SCENARIO("load-corrupt-description") {
    rt::SetErrorHook(&PrintFatal);
    static const uint8_t corrupt[] = {1, 0, 0, 0, 12, 0, 0, 0, 8, 0, 0, 0, 0x77, 0x00, 0x01, 0x52, 0, 0, 0, 0};
    rt::SetApplicationImage({corrupt, nullptr, 0});
    rt::LoadStartWindow(kWindowId);
}

TEST(LoadStartWindow, AWindowThatCannotBeLoadedIsFatal) {
    for (const char* scenario : {"load-unknown-window", "load-corrupt-description"}) {
        rt::ChildResult r = rt::RunChild(scenario);
        EXPECT_EQ(r.exitCode, DWORD(-1)) << scenario;
        EXPECT_NE(r.output.find("fatal:载入启动窗口失败"), std::string::npos) << scenario << ": " << r.output;
    }
}

}  // namespace
}  // namespace uitest

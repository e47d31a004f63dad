// The main window built from its stored description: every control a window with its child id, class and
// caption, the menu bar with 菜单 only, and each event reaching the handler slot the description binds it to.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>

#include "app/shell/handler_table.h"
#include "app/shell/main_window.h"
#include "runtime/application.h"
#include "runtime/call.h"
#include "runtime/program.h"
#include "tests/win/child_process.h"
#include "tests/win/ui/ui_test_form.h"
#include "ui/window_layer.h"

namespace app {
namespace {

// Which slots ran, with the source GetEventControl named.
struct Ran {
    uint32_t slot;
    uint32_t control;
    std::vector<int32_t> args;
};
std::vector<Ran> ran;

template <uint32_t Slot>
rt::Value RecordSlot(int32_t argc, rt::Value* args) {
    rt::Value source = rt::CallKernel(rt::kGetEventControl);
    Ran r{Slot, source.high, {}};
    for (int32_t i = 0; i < argc; ++i) r.args.push_back(args[i].AsInt());
    ran.push_back(r);
    return rt::Value::Bool(false);  // the close query keeps the window
}

template <uint32_t... Slots>
constexpr std::array<rt::EventHandler, kHandlerSlotCount> MakeRecorders(std::integer_sequence<uint32_t, Slots...>) {
    return {nullptr, &RecordSlot<Slots + 1>...};
}
const auto kRecorders = MakeRecorders(std::make_integer_sequence<uint32_t, kHandlerSlotCount - 1>{});

HWND LoadMainWindow() {
    RegisterMainWindowForm();
    rt::SetApplicationImage({MainWindowForm(), kRecorders.data(), kHandlerSlotCount});
    ran.clear();
    rt::LoadStartWindow(kMainWindowId);
    return FindWindowA("PexoWindow", "Quen - Pexo相册图片批量下载");
}

HWND ControlWindow(HWND main, uint32_t id) { return uitest::ChildById(main, id); }

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        main = LoadMainWindow();
        ASSERT_NE(main, nullptr);
    }
    void TearDown() override {
        DestroyWindow(main);
        uitest::Pump();
    }
    HWND main = nullptr;
};

TEST_F(MainWindow, EveryControlIsAWindowOfItsKindWithItsCaption) {
    struct Expect {
        uint32_t id;
        const char* cls;
        const char* caption;
    };
    const Expect expected[] = {
        {form::按钮1, "Button", "列出相册"},
        {form::按钮2, "Button", "列出图片"},
        {form::按钮3, "Button", "下载选中图片"},
        {form::按钮4, "Button", "下载该相册所有图片"},
        {form::按钮6, "Button", "退出"},
        {form::编辑框1, "Edit", ""},
        {form::组合框1, "ComboBox", ""},
        {form::透明标签1, "Static", "输入Pexo用户名    ↓"},
        {form::透明标签2, "Static", "选择该用户相册名称        ↓"},
        {form::本地, "Static", "V1.0"},
        {form::服务器, "Static", ""},
        {form::纵向滚动条1, "ScrollBar", ""},
        {form::进度条1, "msctls_progress32", ""},
        {form::分组框1, "Button", ""},
        {form::外形框1, "PexoShapeBox", ""},
        {form::外形框2, "PexoShapeBox", ""},
        {form::外形框3, "PexoShapeBox", ""},
        {form::画板1, "PexoDrawPanel", ""},
        {form::选择框1, "Button", "横五纵三隔四"},
        {form::图形按钮1, "PexoPicBtn", ""},
        {form::超级链接框1, "PexoHyperLinker", ""},
        {form::超级链接框6, "PexoHyperLinker", ""},
    };
    for (const Expect& e : expected) {
        HWND hwnd = ControlWindow(main, e.id);
        ASSERT_NE(hwnd, nullptr) << std::hex << e.id;
        char cls[64] = {}, text[128] = {};
        GetClassNameA(hwnd, cls, sizeof cls);
        GetWindowTextA(hwnd, text, sizeof text);
        EXPECT_STREQ(cls, e.cls) << std::hex << e.id;
        EXPECT_STREQ(text, e.caption) << std::hex << e.id;
    }
    // The three hyperlinks of the window lie above the group box; the others inside it.
    EXPECT_EQ(GetParent(ControlWindow(main, form::超级链接框2)), main);
    EXPECT_EQ(GetParent(ControlWindow(main, form::超级链接框1)), ControlWindow(main, form::分组框1));
    EXPECT_EQ(GetParent(ControlWindow(main, form::外形框3)), ControlWindow(main, form::外形框2));
    // Placement inside the parents (the outer size of a top-level window is the window system's to adjust).
    RECT r;
    GetWindowRect(ControlWindow(main, form::外形框1), &r);
    MapWindowPoints(nullptr, ControlWindow(main, form::分组框1), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 16);
    EXPECT_EQ(r.top, 69);
    EXPECT_EQ(r.right - r.left, 855);
    EXPECT_EQ(r.bottom - r.top, 523);
    EXPECT_FALSE(IsWindowEnabled(ControlWindow(main, form::按钮2)));
    EXPECT_FALSE(GetWindowLongA(ControlWindow(main, form::画板1), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(MainWindow, MenuBarShowsOnlyTheMenuEntry) {
    HMENU bar = GetMenu(main);
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 1);
    char text[64] = {};
    GetMenuStringA(bar, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "菜单");
    HMENU items = GetSubMenu(bar, 0);
    EXPECT_EQ(GetMenuItemCount(items), 4);
    GetMenuStringA(items, 3, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "将Quen推荐的导航网站设为首页");
}

TEST_F(MainWindow, EventsReachTheirHandlerSlots) {
    ASSERT_EQ(ran.size(), 1u);
    EXPECT_EQ(ran[0].slot, kCreated);
    ran.clear();
    SendMessageA(ControlWindow(main, form::按钮6), BM_CLICK, 0, 0);
    SendMessageA(ControlWindow(main, form::编辑框1), WM_KEYUP, VK_RETURN, 0xC01C0001);
    SendMessageA(ControlWindow(main, form::纵向滚动条1), WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    SendMessageA(ControlWindow(main, form::外形框3), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 300));
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(form::在线更新 & 0xFFFF, 0), 0);
    SendMessageA(main, WM_CLOSE, 0, 0);
    uitest::Pump();
    std::map<uint32_t, Ran> bySlot;
    for (const Ran& r : ran) bySlot.emplace(r.slot, r);
    ASSERT_TRUE(bySlot.count(kCloseQuery));
    EXPECT_EQ(bySlot[kUserNameKeyUp].control, form::编辑框1);
    EXPECT_EQ(bySlot[kUserNameKeyUp].args[0], 13);
    EXPECT_EQ(bySlot[kScrollWheel].args[0], -1);
    EXPECT_EQ(bySlot[kGridLeftDown].control, form::外形框3);
    EXPECT_EQ(bySlot[kCheckForUpdate].control, form::在线更新);
    int closeQueries = 0;
    for (const Ran& r : ran) closeQueries += r.slot == kCloseQuery;
    EXPECT_EQ(closeQueries, 2) << "按钮6 and the close box run the same guard";
    EXPECT_TRUE(IsWindow(main)) << "the recording guard answered false";
}

// Shows the main window for a screenshot and runs until it is closed or the process is ended.
CHILD_SCENARIO("show-main-window") {
    rt::InitRuntime();
    HWND main = LoadMainWindow();
    rt::WriteProperty(kMainWindowId, form::删除桌面图标, 3, -1, 0, 0);
    SetForegroundWindow(main);
    std::printf("shown\n");
    std::fflush(stdout);
    rt::RunMessageLoop();
}

}  // namespace
}  // namespace app

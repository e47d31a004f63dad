// Copies as the thumbnail grid makes them: cells of draw panels and check boxes inside shape-box containers,
// their properties, their events under the template's handlers, re-parenting and destroying.
#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include "runtime/call.h"
#include "runtime/errors.h"
#include "tests/jpeg_writer.h"
#include "tests/win/child_process.h"
#include "tests/win/ui/ui_test_form.h"
#include "ui/form.h"

namespace uitest {
namespace {

// A copy of the template into a fresh control variable, as the application does.
rt::ControlRef Copy(uint32_t source, uint32_t tag) {
    rt::ControlRef variable{0, 0};
    rt::Value ok = rt::CallKernel(rt::kCopyControl, Ref(source, tag), rt::Ref{&variable, tag});
    EXPECT_EQ(ok.low, 1u);
    EXPECT_EQ(ok.tag, rt::kTagBool);
    return variable;
}

void Place(rt::ControlRef c, int left, int top) {
    rt::WriteProperty(c.window, c.control, 0, -1, uint32_t(left), 0);
    rt::WriteProperty(c.window, c.control, 1, -1, uint32_t(top), 0);
    rt::WriteProperty(c.window, c.control, 5, -1, 1, 0);
}

void Click(HWND hwnd, UINT down, UINT up, int x, int y) {
    SendMessageA(hwnd, down, down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, MAKELPARAM(x, y));
    SendMessageA(hwnd, up, 0, MAKELPARAM(x, y));
}

class Copies : public ::testing::Test {
protected:
    void SetUp() override {
        window = LoadTestWindow();
        ASSERT_NE(window, nullptr);
        container = ControlWindow(kContainer);
    }
    void TearDown() override { UnloadTestWindow(); }
    HWND window = nullptr;
    HWND container = nullptr;
};

TEST_F(Copies, CellsAreNotWindowsButKeepEveryProperty) {
    int childrenBefore = 0;
    for (HWND h = GetWindow(container, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) ++childrenBefore;
    rt::ControlRef panel = Copy(kPanel, rt::kTagDrawPanel);
    rt::ControlRef check = Copy(kCellCheck, rt::kTagCheckBox);
    EXPECT_EQ(panel.window, kWindowId);
    EXPECT_NE(panel.control, kPanel);
    EXPECT_NE(panel.control, check.control);
    EXPECT_EQ(panel.control >> 28, 1u) << "a control id";
    int childrenAfter = 0;
    for (HWND h = GetWindow(container, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) ++childrenAfter;
    EXPECT_EQ(childrenAfter, childrenBefore);

    // The copy starts as its template: position, size, hidden, caption, colour.
    EXPECT_EQ(ReadInt(check.control, 0), 8);
    EXPECT_EQ(ReadInt(check.control, 1), 164);
    EXPECT_EQ(ReadInt(check.control, 2), 150);
    EXPECT_EQ(ReadInt(check.control, 5), 0);
    EXPECT_EQ(ReadText(check.control, 11), "模板");
    EXPECT_EQ(ReadInt(check.control, 8), int32_t(0x606060));
    EXPECT_EQ(ReadInt(panel.control, 3), kPanelHeight);

    Place(check, 12, 155);
    WriteText(check.control, 11, "(1)a.jpg");
    WriteInt(check.control, 18, 1);
    EXPECT_EQ(ReadInt(check.control, 0), 12);
    EXPECT_EQ(ReadInt(check.control, 1), 155);
    EXPECT_EQ(ReadInt(check.control, 5), 1);
    EXPECT_EQ(ReadText(check.control, 11), "(1)a.jpg");
    EXPECT_EQ(ReadInt(check.control, 18), 1);
    WriteInt(panel.control, 11, 2);
    EXPECT_EQ(ReadInt(panel.control, 11), 2);
    // The template is untouched.
    EXPECT_EQ(ReadText(kCellCheck, 11), "模板");
    EXPECT_EQ(ReadInt(kCellCheck, 18), 0);
    EXPECT_EQ(ui::Form::Loaded(kWindowId)->CopyCount(), 2u);
}

TEST_F(Copies, CopyNeedsMatchingTypesAndACopyableSource) {
    rt::ControlRef variable{0, 0};
    rt::Value wrongTag =
        rt::CallKernel(rt::kCopyControl, Ref(kPanel, rt::kTagDrawPanel), rt::Ref{&variable, rt::kTagCheckBox});
    EXPECT_EQ(wrongTag.low, 0u);
    rt::Value wrongSourceTag =
        rt::CallKernel(rt::kCopyControl, Ref(kPanel, rt::kTagCheckBox), rt::Ref{&variable, rt::kTagCheckBox});
    EXPECT_EQ(wrongSourceTag.low, 0u);
    rt::Value menu = rt::CallKernel(rt::kCopyControl, Ref(kMenuFirst, rt::kTagMenu), rt::Ref{&variable, rt::kTagMenu});
    EXPECT_EQ(menu.low, 0u);
    EXPECT_EQ(variable.control, 0u) << "nothing stored on failure";
}

TEST_F(Copies, CellEventsRunTheTemplatesHandlersNamingTheCopy) {
    rt::ControlRef a = Copy(kPanel, rt::kTagDrawPanel);
    rt::ControlRef b = Copy(kPanel, rt::kTagDrawPanel);
    Place(a, 12, 12);
    Place(b, 178, 12);
    fired.clear();
    Click(container, WM_LBUTTONDOWN, WM_LBUTTONUP, 178 + 20, 12 + 30);
    Click(container, WM_RBUTTONDOWN, WM_RBUTTONUP, 12 + 1, 12 + 2);
    ASSERT_EQ(fired.size(), 4u);
    EXPECT_EQ(fired[0].event, -1);
    EXPECT_EQ(fired[0].source.control, b.control);
    EXPECT_EQ(fired[0].tag, rt::kTagDrawPanel);
    EXPECT_EQ(fired[0].args, (std::vector<int32_t>{20, 30, 0})) << "cell coordinates";
    EXPECT_EQ(fired[1].event, -2);
    EXPECT_EQ(fired[3].event, -5);
    EXPECT_EQ(fired[3].source.control, a.control);
    // Outside every cell the container itself raises the event.
    fired.clear();
    Click(container, WM_LBUTTONDOWN, WM_LBUTTONUP, 600, 380);
    ASSERT_FALSE(fired.empty());
    EXPECT_EQ(fired[0].source.control, kContainer);
    EXPECT_EQ(fired[0].tag, rt::kTagShapeBox);
    // A hidden cell is not hit.
    WriteInt(a.control, 5, 0);
    fired.clear();
    Click(container, WM_LBUTTONDOWN, WM_LBUTTONUP, 13, 14);
    EXPECT_EQ(fired[0].source.control, kContainer);
}

TEST_F(Copies, CheckBoxCellsToggleOnAClickInsideThem) {
    rt::ControlRef check = Copy(kCellCheck, rt::kTagCheckBox);
    Place(check, 12, 155);
    fired.clear();
    Click(container, WM_LBUTTONDOWN, WM_LBUTTONUP, 20, 160);
    EXPECT_EQ(ReadInt(check.control, 18), 1);
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_EQ(fired[2].event, 0);
    EXPECT_EQ(fired[2].source.control, check.control);
    EXPECT_EQ(fired[2].tag, rt::kTagCheckBox);
    // Pressed inside, released outside: no toggle, no click; the release still belongs to the cell.
    fired.clear();
    SendMessageA(container, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 160));
    SendMessageA(container, WM_LBUTTONUP, 0, MAKELPARAM(400, 300));
    EXPECT_EQ(ReadInt(check.control, 18), 1);
    ASSERT_EQ(fired.size(), 2u);
    EXPECT_EQ(fired[1].event, -2);
    EXPECT_EQ(fired[1].source.control, check.control);
    // A disabled cell ignores the mouse.
    WriteInt(check.control, 6, 1);
    fired.clear();
    Click(container, WM_LBUTTONDOWN, WM_LBUTTONUP, 20, 160);
    EXPECT_EQ(ReadInt(check.control, 18), 1);
    EXPECT_TRUE(fired.empty());
}

TEST_F(Copies, ContainerCopiesAreWindowsAndTakeCellsWhenReparented) {
    rt::ControlRef extra = Copy(kContainer, rt::kTagShapeBox);
    HWND extraWindow = nullptr;
    for (HWND h = GetWindow(GetParent(container), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        if (h != container && GetDlgCtrlID(h) == int(extra.control & 0xFFFF)) extraWindow = h;
    ASSERT_NE(extraWindow, nullptr) << "the container copy is a window beside its source";
    EXPECT_EQ(GetWindow(container, GW_HWNDNEXT), extraWindow) << "directly behind its source";
    rt::WriteProperty(kWindowId, extra.control, 1, -1, 300, 0);
    EXPECT_EQ(ReadInt(extra.control, 1), 300);

    rt::ControlRef cell = Copy(kPanel, rt::kTagDrawPanel);
    Place(cell, 12, 12);
    rt::CallKernel(rt::kSetParentControl, Ref(cell.control, rt::kTagDrawPanel), Ref(extra.control, rt::kTagShapeBox));
    fired.clear();
    Click(container, WM_LBUTTONDOWN, WM_LBUTTONUP, 20, 20);
    EXPECT_EQ(fired[0].source.control, kContainer) << "gone from the first container";
    fired.clear();
    Click(extraWindow, WM_LBUTTONDOWN, WM_LBUTTONUP, 20, 20);
    EXPECT_EQ(fired[0].source.control, cell.control) << "same coordinates, now in the copy";

    // A real window moves into the container copy.
    HWND picture = ControlWindow(kPicBtn);
    rt::CallKernel(rt::kSetParentControl, Ref(kPicBtn, rt::kTagPicBtn), Ref(extra.control, rt::kTagShapeBox));
    EXPECT_EQ(GetParent(picture), extraWindow);
    // A container never goes into itself or what it holds; a non-container takes nothing.
    rt::CallKernel(rt::kSetParentControl, Ref(kContainer, rt::kTagShapeBox), Ref(kContainer, rt::kTagShapeBox));
    rt::CallKernel(rt::kSetParentControl, Ref(kGroup, rt::kTagGroupBox), Ref(kContainer, rt::kTagShapeBox));
    rt::CallKernel(rt::kSetParentControl, Ref(kLabel, rt::kTagLabel), Ref(kButton, rt::kTagButton));
    EXPECT_EQ(GetParent(container), ControlWindow(kGroup));
    EXPECT_EQ(GetParent(ControlWindow(kLabel)), ControlWindow(kGroup));
}

TEST_F(Copies, DestroyedCopiesAreGoneAndDestroyingAContainerTakesItsCells) {
    rt::ControlRef cell = Copy(kPanel, rt::kTagDrawPanel);
    Place(cell, 12, 12);
    rt::CallKernel(rt::kDestroyUnit, Ref(cell.control, rt::kTagDrawPanel));
    fired.clear();
    Click(container, WM_LBUTTONDOWN, WM_LBUTTONUP, 20, 20);
    EXPECT_EQ(fired[0].source.control, kContainer);
    ui::Form* form = ui::Form::Loaded(kWindowId);
    EXPECT_EQ(form->Find(cell.control), nullptr);

    rt::ControlRef extra = Copy(kContainer, rt::kTagShapeBox);
    rt::ControlRef inner = Copy(kCellCheck, rt::kTagCheckBox);
    rt::CallKernel(rt::kSetParentControl, Ref(inner.control, rt::kTagCheckBox), Ref(extra.control, rt::kTagShapeBox));
    EXPECT_EQ(form->CopyCount(), 2u);
    rt::CallKernel(rt::kDestroyUnit, Ref(extra.control, rt::kTagShapeBox));
    EXPECT_EQ(form->CopyCount(), 0u);
    EXPECT_EQ(form->Find(inner.control), nullptr);
}

TEST_F(Copies, AHandlerMayDestroyTheCellThatRaisedItsEvent) {
    rt::ControlRef cell = Copy(kCellCheck, rt::kTagCheckBox);
    Place(cell, 12, 155);
    onEvent = [](const Fired& f) {
        if (f.event == -1) rt::CallKernel(rt::kDestroyUnit, Ref(f.source.control, f.tag));
    };
    Click(container, WM_LBUTTONDOWN, WM_LBUTTONUP, 20, 160);
    EXPECT_EQ(ui::Form::Loaded(kWindowId)->Find(cell.control), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
}

// The process's committed memory (Wine leaves PrivateUsage at 0 and fills PagefileUsage).
size_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

// A relisting destroys the old grid and builds the new one inside one handler; the old cells' pictures must
// not stay until that handler returns. A cell holds its picture's file (pixels only while drawn), so the files
// here are noise, over a megabyte each: blocks that size go back to the system when freed.
TEST_F(Copies, DestroyedCellsGiveBackTheirPicturesInsideTheHandler) {
    constexpr int kCells = 24, kSide = 1280;
    std::vector<uint8_t> jpeg = testing_support::EncodeJpeg(
        kSide, kSide, [](int x, int y) { return (uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u) & 0xFFFFFFu; });
    ui::MessageDepth insideAHandler;
    std::vector<rt::ControlRef> cells;
    size_t before = PrivateBytes();
    for (int i = 0; i < kCells; ++i) {
        rt::ControlRef cell = Copy(kPanel, rt::kTagDrawPanel);
        rt::WriteProperty(cell.window, cell.control, 2, -1, uint32_t(kSide), 0);
        rt::WriteProperty(cell.window, cell.control, 3, -1, uint32_t(kSide), 0);
        WriteBytes(cell.control, 10, jpeg);
        cells.push_back(cell);
    }
    size_t pictures = size_t(kCells) * jpeg.size();
    ASSERT_GT(jpeg.size(), 1000000u);
    size_t built = PrivateBytes();
    ASSERT_GT(built, before + pictures / 2) << "the pictures are held while the cells live";
    for (const rt::ControlRef& cell : cells) rt::CallKernel(rt::kDestroyUnit, Ref(cell.control, rt::kTagDrawPanel));
    EXPECT_EQ(ui::Form::Loaded(kWindowId)->CopyCount(), 0u);
    EXPECT_LT(PrivateBytes(), built - pictures / 2) << "destroyed cells still hold their pictures";
}

CHILD_SCENARIO("read-destroyed-copy") {
    rt::SetErrorHook(&uitest::PrintFatal);
    LoadTestWindow();
    rt::ControlRef cell = Copy(kPanel, rt::kTagDrawPanel);
    rt::CallKernel(rt::kDestroyUnit, Ref(cell.control, rt::kTagDrawPanel));
    ReadInt(cell.control, 0);
}

CHILD_SCENARIO("read-window-not-loaded") {
    rt::SetErrorHook(&uitest::PrintFatal);
    ReadInt(kButton, 0);
}

TEST_F(Copies, UnknownControlsAndWindowsAreFatal) {
    rt::ChildResult copy = rt::RunChild("read-destroyed-copy");
    EXPECT_EQ(copy.exitCode, DWORD(-1));
    EXPECT_NE(copy.output.find("fatal:指定窗口或窗口组件不存在或尚未载入"), std::string::npos) << copy.output;
    rt::ChildResult window = rt::RunChild("read-window-not-loaded");
    EXPECT_NE(window.output.find("fatal:未载入欲访问窗口组件所在的窗口"), std::string::npos) << window.output;
}

}  // namespace
}  // namespace uitest

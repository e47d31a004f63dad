// Window commands: combo-box items and values, pop-up menus picked by a second thread, focus; and property
// writes from worker threads while the window thread waits as a responsive delay does.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "runtime/call.h"
#include "runtime/errors.h"
#include "tests/win/ui/ui_test_form.h"
#include "ui/window_layer.h"

namespace uitest {
namespace {

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        window = LoadTestWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { UnloadTestWindow(); }
    HWND window = nullptr;
};

int32_t Call(rt::KernelIndex index, uint32_t control, uint32_t tag, int32_t argument) {
    return rt::CallKernel(index, Ref(control, tag), argument).AsInt();
}

TEST_F(Commands, ComboItemsKeepInsertionOrderAndTheirValues) {
    const rt::Value combo = Ref(kCombo, rt::kTagComboBox);
    EXPECT_EQ(rt::CallKernel(rt::kComboAddItem, combo, "乙册(12)", 12).AsInt(), 0);
    EXPECT_EQ(rt::CallKernel(rt::kComboAddItem, combo, "甲册(3)", 3).AsInt(), 1);
    EXPECT_EQ(rt::CallKernel(rt::kComboAddItem, combo, "无值", rt::Omit{}).AsInt(), 2);
    EXPECT_EQ(rt::CallKernel(rt::kComboItemCount, combo).AsInt(), 3);
    EXPECT_EQ(Call(rt::kComboItemData, kCombo, rt::kTagComboBox, 0), 12);
    EXPECT_EQ(Call(rt::kComboItemData, kCombo, rt::kTagComboBox, 1), 3);
    EXPECT_EQ(Call(rt::kComboItemData, kCombo, rt::kTagComboBox, 2), 0) << "omitted value stores 0";
    EXPECT_EQ(Call(rt::kComboItemData, kCombo, rt::kTagComboBox, -1), -1);
    EXPECT_EQ(Call(rt::kComboItemData, kCombo, rt::kTagComboBox, 3), -1);
    char text[64] = {};
    SendMessageA(ControlWindow(kCombo), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "乙册(12)");
    EXPECT_EQ(ReadInt(kCombo, 19), -1) << "nothing selected";
    WriteInt(kCombo, 19, 1);
    EXPECT_EQ(ReadInt(kCombo, 19), 1);
    SendMessageA(ControlWindow(kCombo), CB_SETCURSEL, 2, 0);
    EXPECT_EQ(ReadInt(kCombo, 19), 2);
    rt::CallKernel(rt::kComboClear, combo);
    EXPECT_EQ(rt::CallKernel(rt::kComboItemCount, combo).AsInt(), 0);
    EXPECT_EQ(Call(rt::kComboItemData, kCombo, rt::kTagComboBox, 0), -1);
}

std::vector<Fired> MenuClicks() {
    std::vector<Fired> clicks;
    for (const Fired& f : fired)
        if (f.tag == rt::kTagMenu) clicks.push_back(f);
    return clicks;
}

// Waits for the pop-up menu of this process to appear, then presses keys into the menu's modal loop.
std::thread PickFromMenu(HWND owner, int downs, std::atomic<bool>* seen) {
    return std::thread([=] {
        for (int i = 0; i < 200; ++i) {
            HWND menu = FindWindowA("#32768", nullptr);
            if (menu && IsWindowVisible(menu)) {
                *seen = true;
                for (int k = 0; k < downs; ++k) PostMessageA(owner, WM_KEYDOWN, VK_DOWN, 0);
                PostMessageA(owner, WM_KEYDOWN, VK_RETURN, 0);
                return;
            }
            Sleep(25);
        }
    });
}

TEST_F(Commands, PopupMenuShowsTheVisibleItemsAndRunsTheChosenOne) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    fired.clear();
    std::atomic<bool> seen{false};
    // Items: 第一项, (隐藏项 hidden), 第二项: two steps down from the top reach 第二项.
    std::thread picker = PickFromMenu(window, 2, &seen);
    rt::CallKernel(rt::kPopupMenu, Ref(kWindow, rt::kTagWindow), Ref(kMenuPopup, rt::kTagMenu), 100, 100);
    picker.join();
    ASSERT_TRUE(seen);
    Pump();
    std::vector<Fired> clicks = MenuClicks();
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].source.control, kMenuSecond);
    EXPECT_EQ(clicks[0].event, 0);

    // After showing the hidden item, the same keys pick it instead.
    WriteInt(kMenuHiddenItem, 3, 1);
    fired.clear();
    picker = PickFromMenu(window, 2, &seen);
    rt::CallKernel(rt::kPopupMenu, Ref(kWindow, rt::kTagWindow), Ref(kMenuPopup, rt::kTagMenu), 100, 100);
    picker.join();
    Pump();
    clicks = MenuClicks();
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].source.control, kMenuHiddenItem);
}

TEST_F(Commands, FocusControlFocusesTheControlsWindow) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    WriteInt(kScroll, 6, 0);  // stored disabled; a disabled window takes no focus
    rt::CallKernel(rt::kFocusControl, Ref(kScroll, rt::kTagVScrollBar));
    EXPECT_EQ(GetFocus(), ControlWindow(kScroll));
    rt::CallKernel(rt::kFocusControl, Ref(kEdit, rt::kTagEditBox));
    EXPECT_EQ(GetFocus(), ControlWindow(kEdit));
}

// The window thread waits as the responsive delay does: a waitable timer, MsgWaitForMultipleObjects with wake
// mask 0xFF, and the message pump whenever a message (a sent one included) arrives.
void ResponsiveWait(HANDLE until) {
    HANDLE handles[1] = {until};
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, handles, FALSE, 10000, 0xFF);
        if (r == WAIT_OBJECT_0 || r == WAIT_TIMEOUT) return;
        Pump();
    }
}

TEST_F(Commands, WorkersWritePropertiesWhileTheWindowThreadWaits) {
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < 25; ++i) {
                int32_t position = ReadInt(kProgress, 13);  // read, add one, write, as the workers do
                WriteInt(kProgress, 13, position + 1);
            }
            std::string caption = "worker " + std::to_string(w);
            WriteText(kLabel, 8, caption.c_str());
            if (++finished == 4) SetEvent(done);
        });
    }
    ResponsiveWait(done);
    for (auto& t : workers) t.join();
    CloseHandle(done);
    EXPECT_EQ(finished, 4);
    EXPECT_GT(ReadInt(kProgress, 13), 0);
    EXPECT_LE(ReadInt(kProgress, 13), 100);
    EXPECT_EQ(ReadText(kLabel, 8).rfind("worker ", 0), 0u);
}

TEST_F(Commands, PictureWrittenByAWorkerIsDecodedThereAndDrawnFitted) {
    ShowWindow(window, SW_SHOW);
    rt::ControlRef cell{0, 0};
    rt::CallKernel(rt::kCopyControl, Ref(kPanel, rt::kTagDrawPanel), rt::Ref{&cell, rt::kTagDrawPanel});
    rt::WriteProperty(kWindowId, cell.control, 0, -1, 12, 0);
    rt::WriteProperty(kWindowId, cell.control, 1, -1, 12, 0);
    rt::WriteProperty(kWindowId, cell.control, 5, -1, 1, 0);
    // 600 x 100: fitted to 150 x 25, centred at top 59.
    std::vector<uint8_t> jpeg = SolidJpeg(600, 100, 0xFF0000);
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD decodingThread = 0;
    std::thread worker([&] {
        decodingThread = GetCurrentThreadId();
        rt::WriteProperty(kWindowId, cell.control, 11, -1, 2, 0);
        void* block = rt::NewBytes(jpeg.data(), jpeg.size());
        uint64_t p = uint64_t(reinterpret_cast<uintptr_t>(block));
        rt::WriteProperty(kWindowId, cell.control, 10, -1, uint32_t(p), uint32_t(p >> 32));
        rt::MemFree(block);
        SetEvent(done);
    });
    ResponsiveWait(done);
    worker.join();
    CloseHandle(done);
    HWND container = ControlWindow(kContainer);
    Pump();
    UpdateWindow(container);
    HDC dc = GetDC(container);
    COLORREF inside = GetPixel(dc, 12 + 75, 12 + 71);
    COLORREF above = GetPixel(dc, 12 + 75, 12 + 40);
    ReleaseDC(container, dc);
    EXPECT_GT(GetRValue(inside), 200);
    EXPECT_LT(GetBValue(inside), 60);
    EXPECT_EQ(above, RGB(247, 249, 247)) << "the panel's background around the shrunk picture";
    // An empty byte set clears the picture.
    WriteBytes(cell.control, 10, {});
    Pump();
    UpdateWindow(container);
    dc = GetDC(container);
    inside = GetPixel(dc, 12 + 75, 12 + 71);
    ReleaseDC(container, dc);
    EXPECT_EQ(inside, RGB(247, 249, 247));
    // Written on the window thread, a picture is kept as its file and decoded when the cell is drawn.
    WriteBytes(cell.control, 10, SolidJpeg(600, 100, 0x0000FF));
    Pump();
    UpdateWindow(container);
    dc = GetDC(container);
    inside = GetPixel(dc, 12 + 75, 12 + 71);
    above = GetPixel(dc, 12 + 75, 12 + 40);
    ReleaseDC(container, dc);
    EXPECT_GT(GetBValue(inside), 200);
    EXPECT_LT(GetRValue(inside), 60);
    EXPECT_EQ(above, RGB(247, 249, 247));
}

}  // namespace
}  // namespace uitest

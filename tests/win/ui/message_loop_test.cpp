// The message loop: idle callbacks while their window exists, the end of the loop with the last window, and no
// loop at all without one.
#include <windows.h>

#include <gtest/gtest.h>

#include "runtime/frame.h"
#include "tests/win/ui/ui_test_form.h"
#include "ui/window_layer.h"

namespace uitest {
namespace {

int idleCalls = 0;

// The first idle pass closes the window; the loop ends when it is gone.
void CloseOnIdle() {
    if (++idleCalls == 1) PostMessageA(FindWindowA("PexoWindow", "界面测试窗口"), WM_CLOSE, 0, 0);
}

TEST(MessageLoop, RunsIdleCallbacksAndEndsWithTheLastWindow) {
    LoadTestWindow();
    idleCalls = 0;
    ui::AddIdleCallback(kWindowId, &CloseOnIdle);
    rt::RunMessageLoop();
    EXPECT_GE(idleCalls, 1);
    EXPECT_EQ(FindWindowA("PexoWindow", "界面测试窗口"), nullptr);
    // Without a window the loop returns at once, and a callback of a window that is gone is dropped.
    int before = idleCalls;
    rt::RunMessageLoop();
    LoadTestWindow();
    PostMessageA(FindWindowA("PexoWindow", "界面测试窗口"), WM_CLOSE, 0, 0);
    rt::RunMessageLoop();
    EXPECT_EQ(idleCalls, before) << "the callback belonged to the window that was closed before";
}

}  // namespace
}  // namespace uitest

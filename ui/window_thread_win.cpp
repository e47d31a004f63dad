// Work for the window thread from other threads: one hidden message window of the window thread runs each
// request sent to it, while the sender waits.
#include <windows.h>

#include "runtime/errors.h"
#include "ui/window_layer.h"

namespace ui {

namespace {

constexpr UINT kRunTask = WM_APP + 0x71;
DWORD windowThreadId = 0;
HWND taskWindow = nullptr;

LRESULT CALLBACK TaskWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kRunTask) {
        rt::GuardEntry("窗口组件处理消息时出错", [lparam] { (*reinterpret_cast<const std::function<void()>*>(lparam))(); });
        return 0;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

}  // namespace

// Called on the thread that loads the first window: from then on that thread owns the windows.
void EnsureWindowThread() {
    if (taskWindow) return;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TaskWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PexoWindowTasks";
    RegisterClassA(&wc);
    taskWindow = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    windowThreadId = GetCurrentThreadId();
}

bool OnWindowThread() { return !taskWindow || GetCurrentThreadId() == windowThreadId; }

void RunOnWindowThread(const std::function<void()>& task) {
    if (OnWindowThread()) {
        task();
        return;
    }
    // SendMessage waits until the window thread has run it; the window thread takes sent messages whenever it
    // looks at its queue, including inside MsgWaitForMultipleObjects (whose wake mask 0xFF covers sent messages).
    SendMessageA(taskWindow, kRunTask, 0, reinterpret_cast<LPARAM>(&task));
}

}  // namespace ui

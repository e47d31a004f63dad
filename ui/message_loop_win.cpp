// The message loop: idle callbacks when the queue runs empty, Tab between the controls of our windows, and the
// dispatch shared with DoEvents.
#include <algorithm>
#include <vector>

#include "runtime/frame.h"
#include "ui/form.h"
#include "ui/window_layer.h"

namespace ui {

namespace {

struct IdleCallback {
    uint32_t windowId;
    void (*callback)();
};

std::vector<IdleCallback>& IdleCallbacks() {
    static std::vector<IdleCallback> callbacks;
    return callbacks;
}

// Calls each callback whose window still exists (a window's callbacks go when it unloads).
void RunIdlePass() {
    std::vector<IdleCallback> now = IdleCallbacks();
    for (const IdleCallback& c : now)
        if (Form::Loaded(c.windowId)) c.callback();
}

// The loaded window that a native window belongs to.
Form* FormOf(HWND hwnd) {
    for (HWND h = hwnd; h; h = GetParent(h))
        if (Control* c = ControlFromWindow(h)) return c->form();
    return nullptr;
}

}  // namespace

void AddIdleCallback(uint32_t windowId, void (*callback)()) { IdleCallbacks().push_back({windowId, callback}); }

void DropIdleCallbacks(uint32_t windowId) {
    auto& callbacks = IdleCallbacks();
    callbacks.erase(std::remove_if(callbacks.begin(), callbacks.end(),
                                   [&](const IdleCallback& c) { return c.windowId == windowId; }),
                    callbacks.end());
}

void DispatchMessageLikeLoop(MSG* message) {
    if (message->message == WM_KEYDOWN && message->wParam == VK_TAB && message->hwnd) {
        Form* form = FormOf(message->hwnd);
        LRESULT code = SendMessageA(message->hwnd, WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(message));
        if (form && !(code & (DLGC_WANTTAB | DLGC_WANTALLKEYS))) {
            form->MoveFocus(message->hwnd, GetKeyState(VK_SHIFT) < 0);
            return;
        }
    }
    TranslateMessage(message);
    DispatchMessageA(message);
}

}  // namespace ui

namespace rt {

void RunMessageLoop() {
    if (!ui::Form::AnyLive()) return;
    MSG message;
    bool idleDue = true;
    for (;;) {
        if (idleDue && !PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            ui::RunIdlePass();
            idleDue = false;
        }
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got <= 0) return;
        ui::DispatchMessageLikeLoop(&message);
        idleDue = true;
    }
}

}  // namespace rt

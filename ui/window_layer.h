// The window layer's entries for the runtime: loading, the message loop, events, the window thread, and the
// window and control commands. The runtime calls down into these; nothing here calls the application except
// through its event handlers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "runtime/value.h"

namespace ui {

// Raises an event: finds the window and the control's element (a copy through its template), runs the bound
// handler with the arguments and the source recorded, and gives its result (zero when nothing ran).
rt::Value DispatchEvent(uint32_t windowId, uint32_t controlId, int32_t event, int32_t argc, rt::Value* args,
                        bool* handled = nullptr);
// The control whose event is being handled; false outside any handler.
bool CurrentEventSource(rt::ControlRef* source, uint32_t* typeTag);

// The thread that owns the windows: the one that loaded the first window.
bool OnWindowThread();
// Runs the task on the window thread and waits for it. A worker's request is sent to a hidden window of the
// window thread, which carries it out whenever it processes messages: in the message loop, in DoEvents, while
// waiting in a responsive delay or a pumping HTTP wait, or inside a modal loop (message box, menu).
void RunOnWindowThread(const std::function<void()>& task);

// Translates and dispatches one message the way the message loop does (Tab moves the focus in our windows).
void DispatchMessageLikeLoop(MSG* message);

// Idle callbacks run when the message loop's queue is empty, while their window exists.
void AddIdleCallback(uint32_t windowId, void (*callback)());
// Forgets a window's idle callbacks (when the window unloads).
void DropIdleCallbacks(uint32_t windowId);

// Window and control commands; references are (window id, control id) with the value's type tag.
void FocusControl(rt::ControlRef control);
void ComboClear(rt::ControlRef combo);
int32_t ComboAddItem(rt::ControlRef combo, const char* text, int32_t value);
int32_t ComboItemCount(rt::ControlRef combo);
int32_t ComboItemData(rt::ControlRef combo, int32_t index);
void PopupMenu(rt::ControlRef window, rt::ControlRef menu, bool hasX, int32_t x, bool hasY, int32_t y);
bool CopyControl(rt::ControlRef source, uint32_t sourceTag, uint32_t destinationTag, rt::ControlRef* destination);
void SetParentControl(rt::ControlRef control, rt::ControlRef container);
void DestroyUnit(rt::ControlRef unit, bool immediately);

}  // namespace ui

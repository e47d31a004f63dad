// A loaded window: its description, its control objects by id (menu items and copies included), its menu bar.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "ui/control.h"
#include "ui/form_description.h"

namespace ui {

class Form {
public:
    // Builds the window with the given id from the application's stored descriptions, shows it and raises its
    // creation event; false when there is no such description or it cannot be built.
    static bool Load(uint32_t windowId);
    static Form* Loaded(uint32_t windowId);
    // True while at least one loaded window has its native window.
    static bool AnyLive();

    ~Form();

    uint32_t windowId() const { return description_.windowId; }
    Control* window() const { return window_; }
    HWND hwnd() const { return window_ ? window_->hwnd() : nullptr; }
    const FormDescription& description() const { return description_; }

    // A control, menu item or the window itself (kWindowElementId) by id; null when there is none.
    Control* Find(uint32_t controlId) const;
    // The menu item whose command id (low 16 bits of its id) this is.
    Control* MenuByCommand(uint32_t command) const;
    // A copy of the source control (copies of cells stay cells); null when the type cannot be copied.
    Control* Copy(Control* source);
    // Forgets a copy: its id is no longer valid; the object is freed once no message handler runs.
    void Drop(Control* control);
    // Number of copies alive (for tests and measurements).
    size_t CopyCount() const { return copies_; }

    // Menus: the bar shows every top-level item that is not hidden; a pop-up shows the visible items of one.
    void RebuildMenuBar();
    HMENU BuildMenu(Control* topItem) const;
    // Tab order: the tab-stop controls in description order.
    void MoveFocus(HWND from, bool backwards);

    bool closing = false;
    // True once the window and all its controls exist; a window that failed to build raises no events.
    bool built() const { return built_; }

    // Called when the window's native window is gone: the form unloads.
    void OnWindowGone();

private:
    explicit Form(FormDescription description);
    bool Build();
    uint32_t NewCopyId() { return nextCopyId_++; }

    FormDescription description_;
    std::unordered_map<uint32_t, std::unique_ptr<Control>> controls_;
    std::vector<Control*> ordered_;  // the description's elements in order (no copies)
    Control* window_ = nullptr;
    HMENU menuBar_ = nullptr;
    uint32_t nextCopyId_ = 0x18000001;  // copies: control ids the description never uses
    size_t copies_ = 0;
    bool built_ = false;
};

// Objects whose native window went away inside a message are freed once the outermost message returns.
void DeferDelete(std::unique_ptr<Control> control);
void DeferDelete(std::unique_ptr<Form> form);
struct MessageDepth {
    MessageDepth();
    ~MessageDepth();
};

}  // namespace ui

// The control object behind every element of a loaded window: its stored state, its native window (or, for a
// windowless cell, the container that draws it), the one window procedure, events and common properties.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "runtime/frame.h"
#include "runtime/value.h"
#include "ui/form_description.h"
#include "ui/panel_picture.h"

namespace ui {

struct FittedPicture;
class Form;
class ShapeBox;

// Property values as the property entries pass them: two words; texts and byte sets are pointers.
inline rt::PropertyValue IntProperty(int32_t v) { return rt::PropertyValue{uint32_t(v), 0}; }
inline rt::PropertyValue PointerProperty(const void* p) {
    uint64_t bits = uint64_t(reinterpret_cast<uintptr_t>(p));
    return rt::PropertyValue{uint32_t(bits), uint32_t(bits >> 32)};
}
inline int32_t PropertyInt(rt::PropertyValue v) { return int32_t(v.low); }
inline bool PropertyBool(rt::PropertyValue v) { return v.low != 0; }
inline const void* PropertyPointer(rt::PropertyValue v) {
    return reinterpret_cast<const void*>(uintptr_t(uint64_t(v.high) << 32 | v.low));
}
inline std::string PropertyText(rt::PropertyValue v) {
    const char* t = static_cast<const char*>(PropertyPointer(v));
    return t ? t : "";
}
// A new text owned by the reader.
rt::PropertyValue NewTextProperty(const std::string& s);

// Common property indices.
enum CommonProperty : int32_t {
    kPropLeft = 0,
    kPropTop = 1,
    kPropWidth = 2,
    kPropHeight = 3,
    kPropTag = 4,
    kPropVisible = 5,
    kPropDisabled = 6,
    kPropCursor = 7,
};

// How a control type's native window is made.
struct WindowClassAndStyle {
    const char* className;  // one of ours (registered with the common procedure) or a standard class
    DWORD style;
    DWORD exStyle;
    bool ownClass;  // false: a standard class, subclassed after creation
};

class Control {
public:
    Control(Form* form, const FormElement* element, uint32_t id);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    uint32_t id() const { return id_; }
    uint32_t unitType() const { return element_->unitType; }
    const FormElement& element() const { return *element_; }
    Form* form() const { return form_; }
    HWND hwnd() const { return hwnd_; }
    bool isCopy() const { return isCopy_; }
    bool alive() const { return alive_; }
    // A windowless cell drawn and hit-tested by its container.
    ShapeBox* host() const { return host_; }
    bool IsCell() const { return host_ != nullptr; }
    // The control's native presence: a window or a cell (menu items override).
    virtual bool Exists() const { return hwnd_ || host_; }

    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool visible() const { return visible_; }
    bool disabled() const { return disabled_; }
    RECT Bounds() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }

    // The container control the control lives in; null for the window itself. Containers are the window, group
    // boxes and shape boxes.
    Control* parent() const { return parent_; }
    void set_parent(Control* parent) { parent_ = parent; }
    virtual bool IsContainer() const { return false; }
    HWND ParentWindow() const;

    // Takes the stored state of the element (position, size, state flags, the unit's own values); false when the
    // element holds a value this type does not declare.
    bool LoadStored();
    // Takes the current state of another control of the same type (a copy's start).
    virtual void CopyStateFrom(const Control& source);

    // Creates the native window inside the parent window; false on failure.
    bool CreateNativeWindow(HWND parentWindow, HWND insertAfter);
    // Turns the control into a cell of the container, or moves it to another one.
    void AttachToHost(ShapeBox* host);
    void DetachFromHost();
    // The host went away with its window: the cell has none any more.
    void ForgetHost() { host_ = nullptr; }
    // Destroys the native window or leaves the host; the object itself goes when the form drops it.
    void Destroy();

    // Takes position and size from the live window, when there is one.
    virtual void SyncGeometry();
    // Properties by index; common indices 0..7 here, the type's own from 8 on.
    virtual rt::PropertyValue Read(int32_t index);
    virtual void Write(int32_t index, rt::PropertyValue value);

    // Raises an event of this control into the application; the result of a handler that answers.
    rt::Value Raise(int32_t event, std::initializer_list<rt::Value> args = {});

    // The window procedure's work for this control.
    virtual LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
    // Notifications a child control sent to its container, handed back to the child.
    virtual bool OnReflected(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
    LRESULT CallDefault(UINT message, WPARAM wparam, LPARAM lparam);

    // The brush children use for their background; null when the container paints the system default.
    virtual HBRUSH BackgroundBrush() const;

    // Pictures decoded on a worker thread: the box the picture is fitted into; false for other properties.
    struct PictureBox {
        int width = 0, height = 0;
        int32_t layout = 0;
        uint32_t background = 0;
    };
    virtual bool DecodesOnCallingThread(int32_t index, PictureBox* box) const { return false; }
    virtual void TakeDecodedPicture(int32_t index, PictureFile file, FittedPicture&& picture) {}
    // Gives back what the control holds for drawing (pictures); called when a copy is destroyed, since its
    // object may live on until the handler that destroyed it returns.
    virtual void ReleaseContent() {}

    // Cells: painting at the origin of the cell, and mouse input in cell coordinates.
    virtual bool CanBeCell() const { return false; }
    virtual void PaintCell(HDC dc) {}
    virtual void OnCellMouse(UINT message, int x, int y, WPARAM keys);

    // Called by the window procedure once the native window is gone.
    virtual void OnNativeWindowGone();
    void MarkDead() { alive_ = false; }

    static void RegisterClasses();

protected:
    virtual WindowClassAndStyle ClassAndStyle() const = 0;
    // Applies one stored value of the type's own properties; false when the type has no such property.
    virtual bool ApplyStored(const UnitValue& value) { return false; }
    // Height added to the native window beyond the control's own (a combo box's dropped list).
    virtual int ExtraNativeHeight() const { return 0; }
    // Pushes the type's own state into a newly created window.
    virtual void OnCreated() {}
    virtual rt::PropertyValue ReadOwn(int32_t index);
    virtual void WriteOwn(int32_t index, rt::PropertyValue value);
    // Fatal unless the control has a window or is a cell: the type-specific properties need one.
    void RequireNative() const;
    // Repaints the control (its window, or its area in the host).
    void Repaint();
    // The text shown by a standard window (set into the window when it exists).
    void SetWindowCaption(const std::string& text);

    // Common events from mouse and keyboard messages; false when the control died in the handler.
    bool RaiseMouse(int32_t event, int x, int y, WPARAM keys);
    static int32_t KeyState(WPARAM mouseKeys);
    static int32_t CurrentKeyState();

    Form* form_;
    const FormElement* element_;
    uint32_t id_;
    bool isCopy_ = false;
    HWND hwnd_ = nullptr;
    WNDPROC original_ = nullptr;
    ShapeBox* host_ = nullptr;
    Control* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = false;
    bool disabled_ = false;
    bool tabStop_ = false;
    bool alive_ = true;
    std::string tag_;
    std::vector<uint8_t> cursor_;

    friend class Form;
    friend LRESULT CALLBACK ControlWindowProc(HWND, UINT, WPARAM, LPARAM);
};

// The one window procedure of every control window (our classes and subclassed standard ones).
LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// The control object a native window belongs to, or null.
Control* ControlFromWindow(HWND hwnd);

// The text of a native window.
std::string WindowText(HWND hwnd);

// The default GUI font every control uses unless it has its own.
HFONT DefaultFont();
// A solid brush for a colour, cached for the life of the process; null for the system default colour.
HBRUSH ColorBrush(uint32_t color);

// Creates the control object for a unit type; null for a type this layer does not know.
std::unique_ptr<Control> MakeControl(Form* form, const FormElement* element, uint32_t id);

}  // namespace ui

// The control base: the one window procedure, common events from mouse and keyboard messages, notifications
// reflected to the child that sent them, common properties (from the live window when there is one), cells.
#include "ui/control.h"

#include <commctrl.h>

#include <map>
#include <mutex>

#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/system_functions_win.h"
#include "ui/form.h"
#include "ui/shape_box.h"
#include "ui/window_layer.h"

namespace ui {

namespace {
constexpr char kControlProperty[] = "PexoControl";
}  // namespace

rt::PropertyValue NewTextProperty(const std::string& s) { return PointerProperty(rt::NewText(s.data(), s.size())); }

std::string WindowText(HWND hwnd) {
    int length = GetWindowTextLengthA(hwnd);
    std::string text(size_t(length) + 1, '\0');
    text.resize(size_t(GetWindowTextA(hwnd, text.data(), length + 1)));
    return text;
}

HFONT DefaultFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

HBRUSH ColorBrush(uint32_t color) {
    if (color == kDefaultColor) return nullptr;
    static std::mutex lock;
    static std::map<uint32_t, HBRUSH> brushes;
    std::lock_guard<std::mutex> guard(lock);
    HBRUSH& brush = brushes[color];
    if (!brush) brush = CreateSolidBrush(color);
    return brush;
}

Control* ControlFromWindow(HWND hwnd) { return static_cast<Control*>(GetPropA(hwnd, kControlProperty)); }

LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* control = static_cast<Control*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
        if (control) {
            SetPropA(hwnd, kControlProperty, control);
            control->hwnd_ = hwnd;
        }
    }
    Control* control = ControlFromWindow(hwnd);
    if (!control) return DefWindowProcA(hwnd, message, wparam, lparam);
    MessageDepth depth;
    LRESULT result = 0;
    // No exception may cross a window procedure: report it as the runtime's fatal error.
    result = rt::GuardEntry("窗口组件处理消息时出错", [&] { return control->OnMessage(message, wparam, lparam); });
    if (message == WM_NCDESTROY) {
        RemovePropA(hwnd, kControlProperty);
        control->OnNativeWindowGone();
    }
    return result;
}

void Control::RegisterClasses() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    INITCOMMONCONTROLSEX common = {sizeof common, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    rt::sys::InitCommonControlsEx(&common);
    // Windows show the program's icon (resource 1) in their caption, the task bar and Alt+Tab; a program
    // without one gets the system's.
    HINSTANCE program = GetModuleHandleA(nullptr);
    auto programIcon = [&](int side) {
        HANDLE icon = LoadImageA(program, MAKEINTRESOURCEA(1), IMAGE_ICON, side, side, LR_DEFAULTCOLOR);
        return icon ? static_cast<HICON>(icon) : LoadIcon(nullptr, IDI_APPLICATION);
    };
    for (const char* name : {"PexoWindow", "PexoShapeBox", "PexoDrawPanel", "PexoHyperLinker", "PexoPicBtn"}) {
        bool window = std::string(name) == "PexoWindow";
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = ControlWindowProc;
        wc.hInstance = program;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hIcon = window ? programIcon(GetSystemMetrics(SM_CXICON)) : nullptr;
        wc.hIconSm = window ? programIcon(GetSystemMetrics(SM_CXSMICON)) : nullptr;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = name;
        RegisterClassExA(&wc);
    }
}

Control::Control(Form* form, const FormElement* element, uint32_t id) : form_(form), element_(element), id_(id) {}

Control::~Control() {
    if (hwnd_) {
        RemovePropA(hwnd_, kControlProperty);
        if (original_) SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    }
}

HWND Control::ParentWindow() const {
    if (!parent_) return nullptr;
    return parent_->hwnd();
}

bool Control::LoadStored() {
    const FormElement& e = *element_;
    left_ = e.left;
    top_ = e.top;
    width_ = e.width;
    height_ = e.height;
    visible_ = (e.state & kStateVisible) != 0;
    disabled_ = (e.state & kStateDisabled) != 0;
    tabStop_ = (e.state & kStateTabStop) != 0;
    tag_ = e.tag;
    cursor_ = e.cursor;
    for (const UnitValue& v : e.values)
        if (!ApplyStored(v)) return false;
    return true;
}

void Control::CopyStateFrom(const Control& source) {
    Control& s = const_cast<Control&>(source);
    s.SyncGeometry();
    left_ = s.left_;
    top_ = s.top_;
    width_ = s.width_;
    height_ = s.height_;
    visible_ = PropertyBool(s.Read(kPropVisible));
    disabled_ = PropertyBool(s.Read(kPropDisabled));
    tabStop_ = s.tabStop_;
    tag_ = s.tag_;
    cursor_ = s.cursor_;
    isCopy_ = true;
}

bool Control::CreateNativeWindow(HWND parentWindow, HWND insertAfter) {
    WindowClassAndStyle shape = ClassAndStyle();
    DWORD style = shape.style | WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0) |
                  (disabled_ ? WS_DISABLED : 0) | (tabStop_ ? WS_TABSTOP : 0);
    int height = height_ + ExtraNativeHeight();
    HWND hwnd = CreateWindowExA(shape.exStyle, shape.className, "", style, left_, top_, width_, height, parentWindow,
                                reinterpret_cast<HMENU>(uintptr_t(id_ & 0xFFFF)), GetModuleHandleA(nullptr),
                                shape.ownClass ? this : nullptr);
    if (!hwnd) return false;
    if (!shape.ownClass) {
        hwnd_ = hwnd;
        SetPropA(hwnd, kControlProperty, this);
        original_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlWindowProc)));
    }
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
    SetWindowPos(hwnd, insertAfter, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    OnCreated();
    return true;
}

void Control::AttachToHost(ShapeBox* host) {
    if (host_ == host) return;
    if (host_) DetachFromHost();
    host_ = host;
    parent_ = host;
    host->AddCell(this);
}

void Control::DetachFromHost() {
    if (!host_) return;
    host_->RemoveCell(this);
    host_ = nullptr;
}

void Control::Destroy() {
    if (hwnd_) {
        DestroyWindow(hwnd_);  // the window procedure reports the window gone
        return;
    }
    if (host_) {
        DetachFromHost();
        if (isCopy_) form_->Drop(this);
    }
}

void Control::OnNativeWindowGone() {
    hwnd_ = nullptr;
    original_ = nullptr;
    if (isCopy_) form_->Drop(this);
}

void Control::RequireNative() const {
    if (!Exists()) rt::ErrorWithText("指定窗口尚未载入");
}

void Control::Repaint() {
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, TRUE);
    else if (host_ && visible_)
        host_->InvalidateArea(Bounds());
}

void Control::SetWindowCaption(const std::string& text) {
    if (hwnd_) SetWindowTextA(hwnd_, text.c_str());
}

void Control::SyncGeometry() {
    if (!hwnd_) return;
    RECT r;
    GetWindowRect(hwnd_, &r);
    HWND parent = GetParent(hwnd_);
    if (parent && (GetWindowLongA(hwnd_, GWL_STYLE) & WS_CHILD))
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    left_ = r.left;
    top_ = r.top;
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
}

rt::PropertyValue Control::Read(int32_t index) {
    if (index >= kPropLeft && index <= kPropHeight) SyncGeometry();
    switch (index) {
        case kPropLeft: return IntProperty(left_);
        case kPropTop: return IntProperty(top_);
        case kPropWidth: return IntProperty(width_);
        case kPropHeight: return IntProperty(height_);
        case kPropTag: return NewTextProperty(tag_);
        case kPropVisible: return IntProperty(hwnd_ ? (GetWindowLongA(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0 : visible_);
        case kPropDisabled:
            return IntProperty(hwnd_ ? (GetWindowLongA(hwnd_, GWL_STYLE) & WS_DISABLED) != 0 : disabled_);
        case kPropCursor: return PointerProperty(rt::NewBytes(cursor_.data(), cursor_.size()));
        default: break;
    }
    RequireNative();
    return ReadOwn(index);
}

void Control::Write(int32_t index, rt::PropertyValue value) {
    if (index >= kPropLeft && index <= kPropHeight) {
        SyncGeometry();  // take the live geometry first
        RECT before = Bounds();
        int v = PropertyInt(value);
        (index == kPropLeft ? left_ : index == kPropTop ? top_ : index == kPropWidth ? width_ : height_) = v;
        if (hwnd_) {
            int height = height_ + ExtraNativeHeight();
            SetWindowPos(hwnd_, nullptr, left_, top_, width_, height, SWP_NOZORDER | SWP_NOACTIVATE);
        } else if (host_ && visible_) {
            host_->InvalidateArea(before);
            host_->InvalidateArea(Bounds());
        }
        return;
    }
    switch (index) {
        case kPropTag: tag_ = PropertyText(value); return;
        case kPropVisible:
            visible_ = PropertyBool(value);
            if (hwnd_)
                ShowWindow(hwnd_, visible_ ? SW_SHOWNA : SW_HIDE);
            else if (host_)
                host_->InvalidateArea(Bounds());
            return;
        case kPropDisabled:
            disabled_ = PropertyBool(value);
            if (hwnd_)
                EnableWindow(hwnd_, !disabled_);
            else
                Repaint();
            return;
        case kPropCursor: {
            const void* block = PropertyPointer(value);
            const uint8_t* data = rt::BytesDataOf(block);
            cursor_.assign(data, data + rt::BytesLengthOf(block));
            return;
        }
        default: break;
    }
    RequireNative();
    WriteOwn(index, value);
}

rt::PropertyValue Control::ReadOwn(int32_t index) { rt::ErrorWithText("窗口组件没有此属性"); }
void Control::WriteOwn(int32_t index, rt::PropertyValue) { rt::ErrorWithText("窗口组件没有此属性"); }

rt::Value Control::Raise(int32_t event, std::initializer_list<rt::Value> args) {
    rt::Value frame[8];
    int32_t argc = 0;
    for (const rt::Value& v : args) frame[argc++] = v;
    return DispatchEvent(form_->windowId(), id_, event, argc, frame);
}

int32_t Control::KeyState(WPARAM mouseKeys) {
    return ((mouseKeys & MK_CONTROL) ? 1 : 0) | ((mouseKeys & MK_SHIFT) ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

int32_t Control::CurrentKeyState() {
    return (GetKeyState(VK_CONTROL) < 0 ? 1 : 0) | (GetKeyState(VK_SHIFT) < 0 ? 2 : 0) |
           (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

bool Control::RaiseMouse(int32_t event, int x, int y, WPARAM keys) {
    Raise(event, {rt::Value::Int(x), rt::Value::Int(y), rt::Value::Int(KeyState(keys))});
    return alive_;
}

void Control::OnCellMouse(UINT message, int x, int y, WPARAM keys) {
    switch (message) {
        case WM_LBUTTONDOWN: RaiseMouse(kEventLeftDown, x, y, keys); break;
        case WM_LBUTTONUP: RaiseMouse(kEventLeftUp, x, y, keys); break;
        case WM_LBUTTONDBLCLK: RaiseMouse(kEventDoubleClick, x, y, keys); break;
        case WM_RBUTTONDOWN: RaiseMouse(kEventRightDown, x, y, keys); break;
        case WM_RBUTTONUP: RaiseMouse(kEventRightUp, x, y, keys); break;
        case WM_MOUSEMOVE: RaiseMouse(kEventMouseMove, x, y, keys); break;
        default: break;
    }
}

HBRUSH Control::BackgroundBrush() const {
    return parent_ ? parent_->BackgroundBrush() : GetSysColorBrush(COLOR_BTNFACE);
}

bool Control::OnReflected(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

LRESULT Control::CallDefault(UINT message, WPARAM wparam, LPARAM lparam) {
    if (original_) return CallWindowProcA(original_, hwnd_, message, wparam, lparam);
    return DefWindowProcA(hwnd_, message, wparam, lparam);
}

LRESULT Control::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    HWND hwnd = hwnd_;
    auto defaultOrNothing = [&]() -> LRESULT {
        return alive_ && hwnd_ == hwnd ? CallDefault(message, wparam, lparam) : 0;
    };
    int x = short(LOWORD(lparam)), y = short(HIWORD(lparam));
    switch (message) {
        case WM_LBUTTONDOWN: RaiseMouse(kEventLeftDown, x, y, wparam); return defaultOrNothing();
        case WM_LBUTTONUP: RaiseMouse(kEventLeftUp, x, y, wparam); return defaultOrNothing();
        case WM_LBUTTONDBLCLK: RaiseMouse(kEventDoubleClick, x, y, wparam); return defaultOrNothing();
        case WM_RBUTTONDOWN: RaiseMouse(kEventRightDown, x, y, wparam); return defaultOrNothing();
        case WM_RBUTTONUP: RaiseMouse(kEventRightUp, x, y, wparam); return defaultOrNothing();
        case WM_MOUSEMOVE: RaiseMouse(kEventMouseMove, x, y, wparam); return defaultOrNothing();
        case WM_KEYDOWN:
            Raise(kEventKeyDown, {rt::Value::Int(int32_t(wparam)), rt::Value::Int(CurrentKeyState())});
            return defaultOrNothing();
        case WM_KEYUP:
            Raise(kEventKeyUp, {rt::Value::Int(int32_t(wparam)), rt::Value::Int(CurrentKeyState())});
            return defaultOrNothing();
        case WM_CHAR: Raise(kEventChar, {rt::Value::Int(int32_t(wparam))}); return defaultOrNothing();
        case WM_MOUSEWHEEL: {
            // Notches, truncated; positive when the wheel turns away from the user. A bound handler takes it.
            int32_t distance = GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA;
            rt::Value args[2] = {rt::Value::Int(distance), rt::Value::Int(KeyState(GET_KEYSTATE_WPARAM(wparam)))};
            bool handled = false;
            DispatchEvent(form_->windowId(), id_, kEventWheel, 2, args, &handled);
            if (handled) return 0;
            return defaultOrNothing();
        }
        case WM_COMMAND:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR:
        case WM_VSCROLL:
        case WM_HSCROLL:
            if (lparam) {
                Control* child = ControlFromWindow(reinterpret_cast<HWND>(lparam));
                LRESULT result = 0;
                if (child && child != this && child->OnReflected(message, wparam, lparam, &result)) return result;
            }
            break;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lparam);
            Control* child = header ? ControlFromWindow(header->hwndFrom) : nullptr;
            LRESULT result = 0;
            if (child && child != this && child->OnReflected(message, wparam, lparam, &result)) return result;
            break;
        }
        default: break;
    }
    return CallDefault(message, wparam, lparam);
}

}  // namespace ui

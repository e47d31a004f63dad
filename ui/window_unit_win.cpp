// The window unit: the top-level window of a loaded form with its title, close query, destruction and menu
// commands.
#include "runtime/errors.h"
#include "ui/control_types.h"
#include "ui/form.h"
#include "ui/window_layer.h"

namespace ui {

namespace {

// Posted by DestroyUnit: close once the current handler has returned.
constexpr UINT kCloseRequest = 0x8065;
constexpr char kWindowClass[] = "PexoWindow";

class FormWindow : public Control {
public:
    using Control::Control;

    bool IsContainer() const override { return true; }
    HBRUSH BackgroundBrush() const override { return GetSysColorBrush(COLOR_BTNFACE); }

    bool CreateTopLevel() {
        HWND hwnd = CreateWindowExA(0, kWindowClass, title_.c_str(), ClassAndStyle().style, left_, top_, width_,
                                    height_, nullptr, nullptr, GetModuleHandleA(nullptr), this);
        if (!hwnd) return false;
        SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
        return true;
    }

    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
        switch (message) {
            case WM_CLOSE: {
                if (form_->closing) {
                    DestroyWindow(hwnd_);
                    return 0;
                }
                bool handled = false;
                rt::Value answer = DispatchEvent(form_->windowId(), id_, kEventCloseQuery, 0, nullptr, &handled);
                if (hwnd_ && (!handled || answer.low != 0)) DestroyWindow(hwnd_);
                return 0;
            }
            case kCloseRequest: DestroyWindow(hwnd_); return 0;
            case WM_DESTROY:
                if (form_->built()) Raise(kEventDestroy);
                break;
            case WM_COMMAND:
                if (lparam == 0) {  // a menu item (or its accelerator)
                    if (Control* item = form_->MenuByCommand(LOWORD(wparam))) item->Raise(kEventClicked);
                    return 0;
                }
                break;
            default: break;
        }
        return Control::OnMessage(message, wparam, lparam);
    }

    void OnNativeWindowGone() override {
        Control::OnNativeWindowGone();
        form_->OnWindowGone();
    }

    void CopyStateFrom(const Control&) override { rt::ErrorWithText("窗口不能复制"); }

protected:
    WindowClassAndStyle ClassAndStyle() const override {
        return {kWindowClass, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 0, true};
    }
    bool ApplyStored(const UnitValue& v) override {
        if (v.index != 8 || v.kind != ValueKind::Text) return false;
        title_ = v.text;
        return true;
    }
    rt::PropertyValue ReadOwn(int32_t index) override {
        if (index != 8) return Control::ReadOwn(index);
        if (hwnd_) {
            char text[512] = {};
            GetWindowTextA(hwnd_, text, sizeof text);
            title_ = text;
        }
        return NewTextProperty(title_);
    }
    void WriteOwn(int32_t index, rt::PropertyValue value) override {
        if (index != 8) return Control::WriteOwn(index, value);
        title_ = PropertyText(value);
        SetWindowCaption(title_);
    }

private:
    std::string title_;
};

}  // namespace

std::unique_ptr<Control> MakeFormWindow(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<FormWindow>(form, element, id);
}

bool CreateFormWindow(Control* window) { return static_cast<FormWindow*>(window)->CreateTopLevel(); }

}  // namespace ui

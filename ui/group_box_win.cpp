// The group box: a standard group frame that is also a container, so it paints the background under its
// children itself.
#include "ui/control_types.h"
#include "ui/text_control.h"

namespace ui {

namespace {

class GroupBox : public TextControl {
public:
    using TextControl::TextControl;

    bool IsContainer() const override { return true; }
    HBRUSH BackgroundBrush() const override { return GetSysColorBrush(COLOR_BTNFACE); }

    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
        if (message == WM_ERASEBKGND) {
            RECT client;
            GetClientRect(hwnd_, &client);
            FillRect(reinterpret_cast<HDC>(wparam), &client, BackgroundBrush());
            return 1;
        }
        // A standard group box lets the mouse through to its parent; as a container it must take it.
        if (message == WM_NCHITTEST) return HTCLIENT;
        return TextControl::OnMessage(message, wparam, lparam);
    }

protected:
    WindowClassAndStyle ClassAndStyle() const override {
        return {"BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, false};
    }
};

}  // namespace

std::unique_ptr<Control> MakeGroupBox(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<GroupBox>(form, element, id);
}

}  // namespace ui

// The button: a standard push button whose click is its event 0.
#include "ui/control_types.h"
#include "ui/text_control.h"

namespace ui {

namespace {

class Button : public TextControl {
public:
    using TextControl::TextControl;

    bool OnReflected(UINT message, WPARAM wparam, LPARAM, LRESULT* result) override {
        if (message != WM_COMMAND || HIWORD(wparam) != BN_CLICKED) return false;
        Raise(kEventClicked);
        *result = 0;
        return true;
    }

protected:
    WindowClassAndStyle ClassAndStyle() const override { return {"BUTTON", BS_PUSHBUTTON, 0, false}; }
};

}  // namespace

std::unique_ptr<Control> MakeButton(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<Button>(form, element, id);
}

}  // namespace ui

// The edit box: a standard single-line edit whose content is property 8.
#include "ui/control_types.h"
#include "ui/text_control.h"

namespace ui {

namespace {

class EditBox : public TextControl {
public:
    using TextControl::TextControl;

protected:
    WindowClassAndStyle ClassAndStyle() const override {
        return {"EDIT", ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE, false};
    }
};

}  // namespace

std::unique_ptr<Control> MakeEditBox(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<EditBox>(form, element, id);
}

}  // namespace ui

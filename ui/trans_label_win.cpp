// The transparent label: a label without a background of its own; its stored colour is the text colour.
#include "ui/control_types.h"
#include "ui/label.h"

namespace ui {

namespace {

class TransLabel : public Label {
public:
    using Label::Label;

protected:
    bool HasBackColor() const override { return false; }
};

}  // namespace

std::unique_ptr<Control> MakeTransLabel(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<TransLabel>(form, element, id);
}

}  // namespace ui

// Factories of the control types, one per file, and the few type-specific entries other files reach.
#pragma once

#include <memory>

#include "ui/control.h"

namespace ui {

std::unique_ptr<Control> MakeFormWindow(Form* form, const FormElement* element, uint32_t id);
std::unique_ptr<Control> MakeMenuItem(Form* form, const FormElement* element, uint32_t id);
std::unique_ptr<Control> MakeEditBox(Form* form, const FormElement* element, uint32_t id);
std::unique_ptr<Control> MakeShapeBox(Form* form, const FormElement* element, uint32_t id);
std::unique_ptr<Control> MakeDrawPanel(Form* form, const FormElement* element, uint32_t id);
std::unique_ptr<Control> MakeGroupBox(Form* form, const FormElement* element, uint32_t id);
std::unique_ptr<Control> MakeLabel(Form* form, const FormElement* element, uint32_t id);
std::unique_ptr<Control> MakeButton(Form* form, const FormElement* element, uint32_t id);
std::unique_ptr<Control> MakeCheckBox(Form* form, const FormElement* element, uint32_t id);
std::unique_ptr<Control> MakeComboBox(Form* form, const FormElement* element, uint32_t id);
std::unique_ptr<Control> MakeVScrollBar(Form* form, const FormElement* element, uint32_t id);
std::unique_ptr<Control> MakeProgressBar(Form* form, const FormElement* element, uint32_t id);
std::unique_ptr<Control> MakeHyperLinker(Form* form, const FormElement* element, uint32_t id);
std::unique_ptr<Control> MakePicBtn(Form* form, const FormElement* element, uint32_t id);
std::unique_ptr<Control> MakeTransLabel(Form* form, const FormElement* element, uint32_t id);

// The window element: creates the top-level window (hidden) for the form.
bool CreateFormWindow(Control* window);

// Menu items: caption, state and the command id a menu sends.
struct MenuItemState {
    std::string caption;
    bool hidden;
    bool disabled;
    bool checked;
};
MenuItemState MenuState(const Control* item);

// Combo-box items (the control must be a combo box with its window).
class ComboBoxItems {
public:
    virtual void Clear() = 0;
    virtual int32_t Add(const char* text, int32_t value) = 0;
    virtual int32_t Count() = 0;
    virtual int32_t Data(int32_t index) = 0;

protected:
    ~ComboBoxItems() = default;
};
ComboBoxItems* AsComboBox(Control* control);

}  // namespace ui

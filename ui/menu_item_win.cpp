// Menu items: caption and state flags kept here, shown through the window's menu bar or a pop-up menu.
#include "runtime/errors.h"
#include "ui/control_types.h"
#include "ui/form.h"

namespace ui {

namespace {

// Menu-item properties: 0 caption, 1 checked, 2 disabled, 3 visible.
enum MenuProperty : int32_t { kMenuCaption = 0, kMenuChecked = 1, kMenuDisabled = 2, kMenuVisible = 3 };

class MenuItem : public Control {
public:
    MenuItem(Form* form, const FormElement* element, uint32_t id) : Control(form, element, id) {
        state_ = {element->caption, (element->menuStatus & kMenuHidden) != 0,
                  (element->menuStatus & ui::kMenuDisabled) != 0, false};
    }

    bool Exists() const override { return true; }
    const MenuItemState& state() const { return state_; }

    rt::PropertyValue Read(int32_t index) override {
        switch (index) {
            case kMenuCaption: return NewTextProperty(state_.caption);
            case kMenuChecked: return IntProperty(state_.checked);
            case kMenuDisabled: return IntProperty(state_.disabled);
            case kMenuVisible: return IntProperty(!state_.hidden);
            default: rt::ErrorWithText("窗口组件没有此属性");
        }
    }

    void Write(int32_t index, rt::PropertyValue value) override {
        switch (index) {
            case kMenuCaption: state_.caption = PropertyText(value); break;
            case kMenuChecked: state_.checked = PropertyBool(value); break;
            case kMenuDisabled: state_.disabled = PropertyBool(value); break;
            case kMenuVisible: state_.hidden = !PropertyBool(value); break;
            default: rt::ErrorWithText("窗口组件没有此属性");
        }
        form_->RebuildMenuBar();
    }

    void CopyStateFrom(const Control&) override { rt::ErrorWithText("菜单不能复制"); }

protected:
    WindowClassAndStyle ClassAndStyle() const override { return {"", 0, 0, false}; }

private:
    MenuItemState state_;
};

}  // namespace

std::unique_ptr<Control> MakeMenuItem(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<MenuItem>(form, element, id);
}

MenuItemState MenuState(const Control* item) { return static_cast<const MenuItem*>(item)->state(); }

}  // namespace ui

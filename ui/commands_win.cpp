// The window and control commands: focus, combo-box items, pop-up menus, copies, re-parenting and destroying.
#include "runtime/errors.h"
#include "ui/control_types.h"
#include "ui/form.h"
#include "ui/shape_box.h"
#include "ui/window_layer.h"

namespace ui {

namespace {

constexpr UINT kCloseRequest = 0x8065;

Control* Resolve(rt::ControlRef ref) {
    Form* form = Form::Loaded(ref.window);
    Control* control = form ? form->Find(ref.control) : nullptr;
    if (!control) rt::ErrorWithText("指定窗口或窗口组件不存在或尚未载入");
    return control;
}

ComboBoxItems* ResolveCombo(rt::ControlRef ref) {
    ComboBoxItems* combo = AsComboBox(Resolve(ref));
    if (!combo) rt::ErrorWithText("指定窗口或窗口组件不存在或尚未载入");
    return combo;
}

}  // namespace

void FocusControl(rt::ControlRef ref) {
    RunOnWindowThread([&] {
        Control* control = Resolve(ref);
        if (control->hwnd())
            SetFocus(control->hwnd());
        else if (control->host() && control->host()->hwnd())
            SetFocus(control->host()->hwnd());
    });
}

void ComboClear(rt::ControlRef combo) {
    RunOnWindowThread([&] { ResolveCombo(combo)->Clear(); });
}

int32_t ComboAddItem(rt::ControlRef combo, const char* text, int32_t value) {
    int32_t index = -1;
    RunOnWindowThread([&] { index = ResolveCombo(combo)->Add(text, value); });
    return index;
}

int32_t ComboItemCount(rt::ControlRef combo) {
    int32_t count = 0;
    RunOnWindowThread([&] { count = ResolveCombo(combo)->Count(); });
    return count;
}

int32_t ComboItemData(rt::ControlRef combo, int32_t index) {
    int32_t data = -1;
    RunOnWindowThread([&] { data = ResolveCombo(combo)->Data(index); });
    return data;
}

void PopupMenu(rt::ControlRef window, rt::ControlRef menu, bool hasX, int32_t x, bool hasY, int32_t y) {
    RunOnWindowThread([&] {
        Control* owner = Resolve(window);
        Control* item = Resolve(menu);
        if (menu.window != window.window || !item->element().IsMenuItem()) return;
        Form* form = owner->form();
        POINT at;
        GetCursorPos(&at);
        at.x = hasX ? x : at.x + 3;
        at.y = hasY ? y : at.y + 3;
        HMENU popup = form->BuildMenu(item);
        // The chosen item's command reaches the window as WM_COMMAND, which runs its click handler.
        TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, form->hwnd(), nullptr);
        DestroyMenu(popup);
    });
}

bool CopyControl(rt::ControlRef source, uint32_t sourceTag, uint32_t destinationTag, rt::ControlRef* destination) {
    bool copied = false;
    RunOnWindowThread([&] {
        if (sourceTag != destinationTag || !destination) return;
        Form* form = Form::Loaded(source.window);
        Control* original = form ? form->Find(source.control) : nullptr;
        if (!original || original->unitType() != sourceTag) return;
        Control* copy = form->Copy(original);
        if (!copy) return;
        *destination = rt::ControlRef{source.window, copy->id()};
        copied = true;
    });
    return copied;
}

void SetParentControl(rt::ControlRef ref, rt::ControlRef containerRef) {
    RunOnWindowThread([&] {
        Control* control = Resolve(ref);
        Control* container = Resolve(containerRef);
        if (!container->IsContainer() || container == control->parent() || container == control ||
            control == control->form()->window() || control->element().IsMenuItem())
            return;
        // A container never goes inside itself or one of its own children.
        for (Control* up = container; up; up = up->parent())
            if (up == control) return;
        if (control->IsCell()) {
            if (container->unitType() != kUnitShapeBox) return;  // only shape boxes draw cells
            control->AttachToHost(static_cast<ShapeBox*>(container));
            return;
        }
        if (!control->hwnd() || !container->hwnd()) return;
        SetParent(control->hwnd(), container->hwnd());
        control->set_parent(container);
    });
}

void DestroyUnit(rt::ControlRef ref, bool immediately) {
    RunOnWindowThread([&] {
        Control* unit = Resolve(ref);
        Form* form = unit->form();
        if (unit == form->window()) {
            form->closing = true;
            if (immediately)
                DestroyWindow(form->hwnd());
            else
                PostMessageA(form->hwnd(), kCloseRequest, 0, 0);
            return;
        }
        unit->Destroy();
    });
}

}  // namespace ui

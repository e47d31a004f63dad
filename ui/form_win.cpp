// Loaded windows: building a window and its controls from its description, copies, menus, Tab order, and the
// deferred freeing of objects whose window went away inside a message.
#include "ui/form.h"

#include <algorithm>

#include "runtime/application.h"
#include "runtime/errors.h"
#include "ui/control_types.h"
#include "ui/shape_box.h"
#include "ui/window_layer.h"

namespace ui {

void EnsureWindowThread();

namespace {

std::vector<Form*>& LoadedForms() {
    static std::vector<Form*> forms;
    return forms;
}

int messageDepth = 0;
std::vector<std::unique_ptr<Control>>& DeadControls() {
    static std::vector<std::unique_ptr<Control>> dead;
    return dead;
}
std::vector<std::unique_ptr<Form>>& DeadForms() {
    static std::vector<std::unique_ptr<Form>> dead;
    return dead;
}

void FreeDeadObjects() {
    if (messageDepth > 0) return;
    DeadForms().clear();
    DeadControls().clear();
}

bool IsContainerType(uint32_t type) { return type == kUnitWindow || type == kUnitGroupBox || type == kUnitShapeBox; }

}  // namespace

MessageDepth::MessageDepth() { ++messageDepth; }
MessageDepth::~MessageDepth() {
    --messageDepth;
    FreeDeadObjects();
}

void DeferDelete(std::unique_ptr<Control> control) {
    DeadControls().push_back(std::move(control));
    FreeDeadObjects();
}
void DeferDelete(std::unique_ptr<Form> form) {
    DeadForms().push_back(std::move(form));
    FreeDeadObjects();
}

std::unique_ptr<Control> MakeControl(Form* form, const FormElement* element, uint32_t id) {
    switch (element->unitType) {
        case kUnitWindow: return MakeFormWindow(form, element, id);
        case kUnitMenu: return MakeMenuItem(form, element, id);
        case kUnitEditBox: return MakeEditBox(form, element, id);
        case kUnitShapeBox: return MakeShapeBox(form, element, id);
        case kUnitDrawPanel: return MakeDrawPanel(form, element, id);
        case kUnitGroupBox: return MakeGroupBox(form, element, id);
        case kUnitLabel: return MakeLabel(form, element, id);
        case kUnitButton: return MakeButton(form, element, id);
        case kUnitCheckBox: return MakeCheckBox(form, element, id);
        case kUnitComboBox: return MakeComboBox(form, element, id);
        case kUnitVScrollBar: return MakeVScrollBar(form, element, id);
        case kUnitProcessBar: return MakeProgressBar(form, element, id);
        case kUnitHyperLinker: return MakeHyperLinker(form, element, id);
        case kUnitPicBtn: return MakePicBtn(form, element, id);
        case kUnitTransLabel: return MakeTransLabel(form, element, id);
        default: return nullptr;
    }
}

Form::Form(FormDescription description) : description_(std::move(description)) {}

Form::~Form() {
    if (menuBar_) DestroyMenu(menuBar_);
}

Form* Form::Loaded(uint32_t windowId) {
    for (Form* f : LoadedForms())
        if (f->windowId() == windowId) return f;
    return nullptr;
}

bool Form::AnyLive() {
    for (Form* f : LoadedForms())
        if (f->hwnd()) return true;
    return false;
}

bool Form::Load(uint32_t windowId) {
    if (Loaded(windowId)) return true;
    const rt::ApplicationImage& image = rt::CurrentApplicationImage();
    std::vector<FormDescription> all;
    if (!image.formData ||
        !DecodeForms(rt::BytesDataOf(image.formData), size_t(rt::BytesLengthOf(image.formData)), &all))
        return false;
    auto found = std::find_if(all.begin(), all.end(), [&](const FormDescription& d) { return d.windowId == windowId; });
    if (found == all.end()) return false;
    EnsureWindowThread();
    Control::RegisterClasses();
    MessageDepth depth;  // nothing made here is freed before Load returns
    std::unique_ptr<Form> form(new Form(std::move(*found)));
    Form* raw = form.get();
    LoadedForms().push_back(form.release());
    if (!raw->Build()) {
        if (raw->hwnd())
            DestroyWindow(raw->hwnd());  // unloads it
        else {
            LoadedForms().pop_back();
            DeferDelete(std::unique_ptr<Form>(raw));
        }
        return false;
    }
    if (raw->window_->visible()) {
        ShowWindow(raw->hwnd(), SW_SHOWNORMAL);
        UpdateWindow(raw->hwnd());
    }
    raw->window_->Raise(kEventCreated);
    return true;
}

bool Form::Build() {
    const rt::ApplicationImage& image = rt::CurrentApplicationImage();
    auto slotValid = [&](int64_t slot) { return slot <= 0 || slot < image.handlerCount; };
    for (const FormElement& e : description_.elements) {
        if (controls_.count(e.id)) return false;
        if (e.IsMenuItem() ? !slotValid(e.clickHandler) : false) return false;
        for (const EventBinding& b : e.events)
            if (!slotValid(b.handler)) return false;
        std::unique_ptr<Control> control = MakeControl(this, &e, e.id);
        if (!control) return false;
        ordered_.push_back(control.get());
        controls_[e.id] = std::move(control);
    }
    window_ = Find(kWindowElementId);
    if (!window_ || window_->unitType() != kUnitWindow) return false;
    for (Control* c : ordered_) {
        if (c == window_ || c->element().IsMenuItem()) continue;
        Control* parent = c->element().parent == 0 ? window_ : Find(c->element().parent);
        if (!parent || parent == c || !IsContainerType(parent->unitType())) return false;
        c->set_parent(parent);
    }
    for (Control* c : ordered_)
        if (!c->LoadStored()) return false;
    if (!CreateFormWindow(window_)) return false;
    // Parents come first: create every control whose parent has its window, until all have one.
    std::vector<Control*> pending;
    for (Control* c : ordered_)
        if (c != window_ && !c->element().IsMenuItem()) pending.push_back(c);
    while (!pending.empty()) {
        size_t before = pending.size();
        for (auto it = pending.begin(); it != pending.end();) {
            Control* c = *it;
            if (!c->parent()->hwnd()) {
                ++it;
                continue;
            }
            // Later elements lie above earlier ones (a hyperlink of the window above the group box).
            if (!c->CreateNativeWindow(c->parent()->hwnd(), HWND_TOP)) return false;
            it = pending.erase(it);
        }
        if (pending.size() == before) return false;  // a parent cycle
    }
    RebuildMenuBar();
    built_ = true;
    return true;
}

Control* Form::Find(uint32_t controlId) const {
    auto it = controls_.find(controlId);
    return it == controls_.end() || !it->second->alive() ? nullptr : it->second.get();
}

Control* Form::MenuByCommand(uint32_t command) const {
    for (Control* c : ordered_)
        if (c->element().IsMenuItem() && (c->id() & 0xFFFF) == command) return c;
    return nullptr;
}

Control* Form::Copy(Control* source) {
    if (source == window_ || source->element().IsMenuItem() || !source->Exists()) return nullptr;
    std::unique_ptr<Control> copy = MakeControl(this, &source->element(), NewCopyId());
    if (!copy) return nullptr;
    copy->CopyStateFrom(*source);
    copy->set_parent(source->parent());
    Control* raw = copy.get();
    ShapeBox* host = source->host();
    if (!host && raw->CanBeCell() && source->parent()->unitType() == kUnitShapeBox)
        host = static_cast<ShapeBox*>(source->parent());
    if (host) {
        raw->AttachToHost(host);
    } else if (!raw->CreateNativeWindow(source->parent()->hwnd(), source->hwnd())) {
        return nullptr;
    }
    controls_[raw->id()] = std::move(copy);
    ++copies_;
    return raw;
}

void Form::Drop(Control* control) {
    auto it = controls_.find(control->id());
    if (it == controls_.end() || it->second.get() != control || !control->isCopy()) return;
    control->MarkDead();
    control->DetachFromHost();
    // A grid of copies is often destroyed and rebuilt inside one handler; its pictures go now, not after it.
    control->ReleaseContent();
    std::unique_ptr<Control> owned = std::move(it->second);
    controls_.erase(it);
    --copies_;
    DeferDelete(std::move(owned));
}

void Form::OnWindowGone() {
    auto& forms = LoadedForms();
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    DropIdleCallbacks(windowId());
    // Controls whose windows went with it stay readable from their stored state until the form is freed.
    DeferDelete(std::unique_ptr<Form>(this));
    if (forms.empty()) PostQuitMessage(0);
}

HMENU Form::BuildMenu(Control* topItem) const {
    HMENU menu = CreatePopupMenu();
    auto at = std::find(ordered_.begin(), ordered_.end(), topItem);
    if (at == ordered_.end()) return menu;
    for (++at; at != ordered_.end(); ++at) {
        Control* item = *at;
        if (!item->element().IsMenuItem()) continue;
        if (item->element().level == 0) break;
        MenuItemState state = MenuState(item);
        if (state.hidden) continue;
        if (state.caption == "-") {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        std::string text = state.caption;
        if (uint32_t key = item->element().hotKey) {
            char name[64] = {};
            if (GetKeyNameTextA(LONG(MapVirtualKeyA(key & 0xFF, MAPVK_VK_TO_VSC)) << 16, name, sizeof name) > 0)
                text += std::string("\t") + name;
        }
        AppendMenuA(menu, MF_STRING | (state.disabled ? MF_GRAYED : 0) | (state.checked ? MF_CHECKED : 0),
                    item->id() & 0xFFFF, text.c_str());
    }
    return menu;
}

void Form::RebuildMenuBar() {
    HWND hwnd = this->hwnd();
    if (!hwnd) return;
    HMENU bar = CreateMenu();
    int entries = 0;
    for (Control* c : ordered_) {
        if (!c->element().IsMenuItem() || c->element().level != 0) continue;
        MenuItemState state = MenuState(c);
        if (state.hidden) continue;
        AppendMenuA(bar, MF_POPUP | (state.disabled ? MF_GRAYED : 0), reinterpret_cast<UINT_PTR>(BuildMenu(c)),
                    state.caption.c_str());
        ++entries;
    }
    if (!entries) {
        DestroyMenu(bar);
        bar = nullptr;
    }
    SetMenu(hwnd, bar);
    if (menuBar_) DestroyMenu(menuBar_);
    menuBar_ = bar;
    DrawMenuBar(hwnd);
}

void Form::MoveFocus(HWND from, bool backwards) {
    std::vector<Control*> stops;
    for (Control* c : ordered_)
        if (c->hwnd() && (GetWindowLongA(c->hwnd(), GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(c->hwnd()) &&
            IsWindowEnabled(c->hwnd()))
            stops.push_back(c);
    if (stops.empty()) return;
    int current = -1;
    for (size_t i = 0; i < stops.size(); ++i)
        if (stops[i]->hwnd() == from || IsChild(stops[i]->hwnd(), from)) current = int(i);
    int n = int(stops.size());
    int next = current < 0 ? (backwards ? n - 1 : 0) : (current + (backwards ? n - 1 : 1)) % n;
    SetFocus(stops[size_t(next)]->hwnd());
}

}  // namespace ui

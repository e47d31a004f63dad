// The combo box: a standard combo box (by default a drop-down list, unsorted) with item values, and a
// background colour of its own.
#include "ui/control_types.h"

namespace ui {

namespace {

// Combo-box properties: 8 style (0 editable drop-down, 1 simple, 2 drop-down list), 9 sorted, 10 background
// colour, 11 height of the dropped list, 19 index of the selected item (-1 none).
enum : int32_t { kStyle = 8, kSorted = 9, kBackColor = 10, kDropHeight = 11, kSelection = 19 };

class ComboBox : public Control, public ComboBoxItems {
public:
    using Control::Control;

    void Clear() override {
        if (hwnd_) SendMessageA(hwnd_, CB_RESETCONTENT, 0, 0);
    }
    int32_t Add(const char* text, int32_t value) override {
        if (!hwnd_) return -1;
        LRESULT index = SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        if (index == CB_ERR || index == CB_ERRSPACE) return -1;
        SendMessageA(hwnd_, CB_SETITEMDATA, WPARAM(index), LPARAM(value));
        return int32_t(index);
    }
    int32_t Count() override { return hwnd_ ? int32_t(SendMessageA(hwnd_, CB_GETCOUNT, 0, 0)) : 0; }
    int32_t Data(int32_t index) override {
        if (index < 0 || index >= Count()) return -1;
        return int32_t(SendMessageA(hwnd_, CB_GETITEMDATA, WPARAM(index), 0));
    }

    void CopyStateFrom(const Control& source) override {
        Control::CopyStateFrom(source);
        const auto& s = static_cast<const ComboBox&>(source);
        style_ = s.style_;
        sorted_ = s.sorted_;
        backColor_ = s.backColor_;
        dropHeight_ = s.dropHeight_;
    }

    // The closed height of a combo box follows its font, not the height it was given: the height property is
    // the given one (the native window also holds the dropped list).
    void SyncGeometry() override {
        int given = height_;
        Control::SyncGeometry();
        height_ = given;
    }

    bool OnReflected(UINT message, WPARAM wparam, LPARAM, LRESULT* result) override {
        if (message == WM_COMMAND && HIWORD(wparam) == CBN_SELCHANGE) {
            Raise(0);
            *result = 0;
            return true;
        }
        return PaintsBackground(message, wparam, result);
    }

    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
        LRESULT result = 0;
        if (PaintsBackground(message, wparam, &result)) return result;  // the dropped list asks the combo itself
        return Control::OnMessage(message, wparam, lparam);
    }

protected:
    WindowClassAndStyle ClassAndStyle() const override {
        DWORD type = style_ == 0 ? CBS_DROPDOWN : style_ == 1 ? CBS_SIMPLE : CBS_DROPDOWNLIST;
        return {"COMBOBOX", type | WS_VSCROLL | CBS_AUTOHSCROLL | (sorted_ ? CBS_SORT : 0), 0, false};
    }
    int ExtraNativeHeight() const override { return dropHeight_; }

    bool ApplyStored(const UnitValue& v) override {
        if (v.kind != ValueKind::Int) return false;
        switch (v.index) {
            case kStyle: style_ = v.number; return true;
            case kSorted: sorted_ = v.number != 0; return true;
            case kBackColor: backColor_ = uint32_t(v.number); return true;
            case kDropHeight: dropHeight_ = v.number; return true;
            default: return false;
        }
    }

    rt::PropertyValue ReadOwn(int32_t index) override {
        switch (index) {
            case kStyle: return IntProperty(style_);
            case kSorted: return IntProperty(sorted_);
            case kBackColor: return IntProperty(int32_t(backColor_));
            case kDropHeight: return IntProperty(dropHeight_);
            case kSelection: return IntProperty(hwnd_ ? int32_t(SendMessageA(hwnd_, CB_GETCURSEL, 0, 0)) : -1);
            default: return Control::ReadOwn(index);
        }
    }

    void WriteOwn(int32_t index, rt::PropertyValue value) override {
        switch (index) {
            case kBackColor:
                backColor_ = uint32_t(PropertyInt(value));
                Repaint();
                break;
            case kSelection:
                if (hwnd_) SendMessageA(hwnd_, CB_SETCURSEL, WPARAM(PropertyInt(value)), 0);
                break;
            default: return Control::WriteOwn(index, value);  // style, sorting and list height are fixed
        }
    }

private:
    bool PaintsBackground(UINT message, WPARAM wparam, LRESULT* result) {
        if (message != WM_CTLCOLOREDIT && message != WM_CTLCOLORLISTBOX && message != WM_CTLCOLORSTATIC) return false;
        HBRUSH brush = ColorBrush(backColor_);
        if (!brush) return false;
        SetBkColor(reinterpret_cast<HDC>(wparam), backColor_);
        *result = reinterpret_cast<LRESULT>(brush);
        return true;
    }

    int32_t style_ = 2;
    bool sorted_ = false;
    uint32_t backColor_ = kDefaultColor;
    int32_t dropHeight_ = 160;
};

}  // namespace

std::unique_ptr<Control> MakeComboBox(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<ComboBox>(form, element, id);
}

ComboBoxItems* AsComboBox(Control* control) {
    if (control->unitType() != kUnitComboBox || !control->hwnd()) return nullptr;
    return static_cast<ComboBox*>(control);
}

}  // namespace ui

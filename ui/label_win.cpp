// The label: static text drawn in its colours over its background or its container's.
#include "ui/label.h"

#include "ui/control_types.h"

namespace ui {

bool Label::OnReflected(UINT message, WPARAM wparam, LPARAM, LRESULT* result) {
    if (message != WM_CTLCOLORSTATIC) return false;
    HDC dc = reinterpret_cast<HDC>(wparam);
    if (textColor_ != kDefaultColor) SetTextColor(dc, textColor_);
    SetBkMode(dc, TRANSPARENT);
    HBRUSH own = HasBackColor() ? ColorBrush(backColor_) : nullptr;
    *result = reinterpret_cast<LRESULT>(own ? own : BackgroundBrush());
    return true;
}

void Label::CopyStateFrom(const Control& source) {
    TextControl::CopyStateFrom(source);
    const auto& s = static_cast<const Label&>(source);
    textColor_ = s.textColor_;
    backColor_ = s.backColor_;
}

bool Label::ApplyStored(const UnitValue& v) {
    if (v.index == kText) return TextControl::ApplyStored(v);
    if (v.kind != ValueKind::Int || !(v.index == kTextColor || (v.index == kBackColor && HasBackColor()))) return false;
    (v.index == kTextColor ? textColor_ : backColor_) = uint32_t(v.number);
    return true;
}

rt::PropertyValue Label::ReadOwn(int32_t index) {
    if (index == kTextColor) return IntProperty(int32_t(textColor_));
    if (index == kBackColor && HasBackColor()) return IntProperty(int32_t(backColor_));
    return TextControl::ReadOwn(index);
}

void Label::WriteOwn(int32_t index, rt::PropertyValue value) {
    if (index == kTextColor || (index == kBackColor && HasBackColor())) {
        (index == kTextColor ? textColor_ : backColor_) = uint32_t(PropertyInt(value));
        Repaint();
        return;
    }
    TextControl::WriteOwn(index, value);
}

std::unique_ptr<Control> MakeLabel(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<Label>(form, element, id);
}

}  // namespace ui

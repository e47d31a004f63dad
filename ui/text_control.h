// Controls whose first own property (8) is the text of a standard window: buttons, group boxes, labels, edit
// boxes. The text is read from the live window when there is one.
#pragma once

#include "ui/control.h"

namespace ui {

class TextControl : public Control {
public:
    using Control::Control;
    static constexpr int32_t kText = 8;

    void CopyStateFrom(const Control& source) override {
        Control::CopyStateFrom(source);
        text_ = const_cast<TextControl&>(static_cast<const TextControl&>(source)).Text();
    }

protected:
    const std::string& Text() {
        if (hwnd_) text_ = WindowText(hwnd_);
        return text_;
    }
    void OnCreated() override { SetWindowCaption(text_); }
    bool ApplyStored(const UnitValue& v) override {
        if (v.index != kText || v.kind != ValueKind::Text) return false;
        text_ = v.text;
        return true;
    }
    rt::PropertyValue ReadOwn(int32_t index) override {
        return index == kText ? NewTextProperty(Text()) : Control::ReadOwn(index);
    }
    void WriteOwn(int32_t index, rt::PropertyValue value) override {
        if (index != kText) return Control::WriteOwn(index, value);
        text_ = PropertyText(value);
        SetWindowCaption(text_);
    }

    std::string text_;
};

}  // namespace ui

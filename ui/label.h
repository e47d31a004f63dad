// The label: a standard static text with its own text colour (property 9) and background (property 10).
#pragma once

#include "ui/text_control.h"

namespace ui {

class Label : public TextControl {
public:
    using TextControl::TextControl;
    static constexpr int32_t kTextColor = 9;
    static constexpr int32_t kBackColor = 10;

    bool OnReflected(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;
    void CopyStateFrom(const Control& source) override;

protected:
    WindowClassAndStyle ClassAndStyle() const override {
        return {"STATIC", SS_LEFT | SS_NOPREFIX | SS_NOTIFY, 0, false};
    }
    bool ApplyStored(const UnitValue& v) override;
    rt::PropertyValue ReadOwn(int32_t index) override;
    void WriteOwn(int32_t index, rt::PropertyValue value) override;
    // Whether the type has a background colour of its own (a transparent label has none).
    virtual bool HasBackColor() const { return true; }

    uint32_t textColor_ = kDefaultColor;
    uint32_t backColor_ = kDefaultColor;
};

}  // namespace ui

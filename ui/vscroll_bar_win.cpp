// The vertical scroll bar: range, steps and position kept here; every change of position by the user is its
// event 0.
#include "ui/control_types.h"

namespace ui {

namespace {

// Scroll-bar properties.
enum : int32_t { kMinimum = 8, kMaximum = 9, kPageStep = 10, kLineStep = 11, kPosition = 12 };

class VScrollBar : public Control {
public:
    using Control::Control;

    void CopyStateFrom(const Control& source) override {
        Control::CopyStateFrom(source);
        const auto& s = static_cast<const VScrollBar&>(source);
        for (int i = 0; i < 5; ++i) values_[i] = s.values_[i];
    }

    bool OnReflected(UINT message, WPARAM wparam, LPARAM, LRESULT* result) override {
        if (message != WM_VSCROLL) return false;
        *result = 0;
        int32_t position = Field(kPosition);
        switch (LOWORD(wparam)) {
            case SB_LINEUP: position -= Field(kLineStep); break;
            case SB_LINEDOWN: position += Field(kLineStep); break;
            case SB_PAGEUP: position -= Field(kPageStep); break;
            case SB_PAGEDOWN: position += Field(kPageStep); break;
            case SB_TOP: position = Field(kMinimum); break;
            case SB_BOTTOM: position = Field(kMaximum); break;
            case SB_THUMBTRACK:
            case SB_THUMBPOSITION: {
                SCROLLINFO info = {sizeof info, SIF_TRACKPOS, 0, 0, 0, 0, 0};
                GetScrollInfo(hwnd_, SB_CTL, &info);
                position = info.nTrackPos;
                break;
            }
            default: return true;
        }
        position = Clamp(position);
        if (position == Field(kPosition)) return true;
        Field(kPosition) = position;
        Apply();
        Raise(kEventPositionChanged);
        return true;
    }

protected:
    WindowClassAndStyle ClassAndStyle() const override { return {"SCROLLBAR", SBS_VERT, 0, false}; }
    void OnCreated() override { Apply(); }

    bool ApplyStored(const UnitValue& v) override {
        if (v.kind != ValueKind::Int || v.index < kMinimum || v.index > kPosition) return false;
        Field(v.index) = v.number;
        return true;
    }
    rt::PropertyValue ReadOwn(int32_t index) override {
        if (index < kMinimum || index > kPosition) return Control::ReadOwn(index);
        return IntProperty(Field(index));
    }
    void WriteOwn(int32_t index, rt::PropertyValue value) override {
        if (index < kMinimum || index > kPosition) return Control::WriteOwn(index, value);
        Field(index) = PropertyInt(value);
        Field(kPosition) = Clamp(Field(kPosition));
        Apply();
    }

private:
    int32_t& Field(int32_t index) { return values_[index - kMinimum]; }
    int32_t Clamp(int32_t position) {
        int32_t low = Field(kMinimum), high = Field(kMaximum);
        if (position > high) position = high;
        if (position < low) position = low;
        return position;
    }
    void Apply() {
        if (!hwnd_) return;
        SCROLLINFO info = {sizeof info, SIF_RANGE | SIF_POS, Field(kMinimum), Field(kMaximum), 0, Field(kPosition), 0};
        SetScrollInfo(hwnd_, SB_CTL, &info, TRUE);
    }

    int32_t values_[5] = {0, 100, 10, 1, 0};  // minimum, maximum, page step, line step, position
};

}  // namespace

std::unique_ptr<Control> MakeVScrollBar(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<VScrollBar>(form, element, id);
}

}  // namespace ui

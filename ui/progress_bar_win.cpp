// The progress bar: a standard progress control with minimum, maximum and position.
#include <windows.h>
#include <commctrl.h>

#include "ui/control_types.h"

namespace ui {

namespace {

// Progress-bar properties.
enum : int32_t { kMinimum = 11, kMaximum = 12, kPosition = 13 };

class ProgressBar : public Control {
public:
    using Control::Control;

    void CopyStateFrom(const Control& source) override {
        Control::CopyStateFrom(source);
        const auto& s = static_cast<const ProgressBar&>(source);
        for (int i = 0; i < 3; ++i) values_[i] = s.values_[i];
    }

protected:
    WindowClassAndStyle ClassAndStyle() const override { return {PROGRESS_CLASSA, 0, 0, false}; }
    void OnCreated() override { Apply(); }

    bool ApplyStored(const UnitValue& v) override {
        if (v.kind != ValueKind::Int || v.index < kMinimum || v.index > kPosition) return false;
        values_[v.index - kMinimum] = v.number;
        return true;
    }
    rt::PropertyValue ReadOwn(int32_t index) override {
        if (index < kMinimum || index > kPosition) return Control::ReadOwn(index);
        return IntProperty(values_[index - kMinimum]);
    }
    void WriteOwn(int32_t index, rt::PropertyValue value) override {
        if (index < kMinimum || index > kPosition) return Control::WriteOwn(index, value);
        values_[index - kMinimum] = PropertyInt(value);
        Apply();
    }

private:
    void Apply() {
        if (!hwnd_) return;
        SendMessageA(hwnd_, PBM_SETRANGE32, WPARAM(values_[0]), LPARAM(values_[1]));
        SendMessageA(hwnd_, PBM_SETPOS, WPARAM(values_[2]), 0);
    }

    int32_t values_[3] = {0, 100, 0};  // minimum, maximum, position
};

}  // namespace

std::unique_ptr<Control> MakeProgressBar(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<ProgressBar>(form, element, id);
}

}  // namespace ui

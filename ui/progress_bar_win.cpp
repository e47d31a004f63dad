// The progress bar: a standard progress control with minimum, maximum and position.
#include <windows.h>
#include <commctrl.h>

#include "ui/control_types.h"

namespace ui {

namespace {

// Progress-bar properties.
enum : int32_t { kMinimum = 11, kMaximum = 12, kPosition = 13 };

// The control repaints itself at once on every new position, which costs most of a millisecond; a listing
// steps it once per picture. Positions written within this many milliseconds of the last one shown are shown
// together when the interval ends (the window thread keeps pumping messages while it works).
constexpr ULONGLONG kShowInterval = 15;
constexpr UINT_PTR kShowTimer = 0x5042;

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
    void OnCreated() override {
        Apply();
        shownAt_ = 0;  // only written positions are paced
    }

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
        // A new range, and the ends of the range, show at once; steps between them may wait for the interval.
        if (index != kPosition || values_[2] <= values_[0] || values_[2] >= values_[1] ||
            GetTickCount64() - shownAt_ >= kShowInterval)
            Apply();
        else if (hwnd_ && !showPending_)
            showPending_ = SetTimer(hwnd_, kShowTimer, UINT(kShowInterval), nullptr) != 0;
    }

    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
        if (message == WM_TIMER && wparam == kShowTimer) {
            Apply();
            return 0;
        }
        return Control::OnMessage(message, wparam, lparam);
    }

private:
    void Apply() {
        if (!hwnd_) return;
        if (showPending_) KillTimer(hwnd_, kShowTimer);
        showPending_ = false;
        shownAt_ = GetTickCount64();
        SendMessageA(hwnd_, PBM_SETRANGE32, WPARAM(values_[0]), LPARAM(values_[1]));
        SendMessageA(hwnd_, PBM_SETPOS, WPARAM(values_[2]), 0);
    }

    int32_t values_[3] = {0, 100, 0};  // minimum, maximum, position
    ULONGLONG shownAt_ = 0;
    bool showPending_ = false;
};

}  // namespace

std::unique_ptr<Control> MakeProgressBar(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<ProgressBar>(form, element, id);
}

}  // namespace ui

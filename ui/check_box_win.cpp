// The check box: a standard check box window, or a cell its container draws and toggles on a click.
#include "runtime/memory.h"
#include "ui/control_types.h"
#include "ui/shape_box.h"

namespace ui {

namespace {

// Check-box properties.
enum : int32_t { kTextColor = 8, kBackColor = 9, kCaption = 11, kChecked = 18 };

class CheckBox : public Control {
public:
    using Control::Control;

    bool CanBeCell() const override { return true; }

    void CopyStateFrom(const Control& source) override {
        Control::CopyStateFrom(source);
        auto& s = const_cast<CheckBox&>(static_cast<const CheckBox&>(source));
        textColor_ = s.textColor_;
        backColor_ = s.backColor_;
        caption_ = s.Caption();
        checked_ = PropertyBool(s.ReadOwn(kChecked));
    }

    bool OnReflected(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override {
        if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
            Raise(kEventClicked);
            *result = 0;
            return true;
        }
        if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN) {
            HDC dc = reinterpret_cast<HDC>(wparam);
            if (textColor_ != kDefaultColor) SetTextColor(dc, textColor_);
            SetBkMode(dc, TRANSPARENT);
            *result = reinterpret_cast<LRESULT>(Background());
            return true;
        }
        return false;
    }

    void PaintCell(HDC dc) override {
        RECT all = {0, 0, width_, height_};
        FillRect(dc, &all, Background());
        const int box = 13;
        RECT check = {0, (height_ - box) / 2, box, (height_ - box) / 2 + box};
        DrawFrameControl(dc, &check, DFC_BUTTON,
                         DFCS_BUTTONCHECK | (checked_ ? DFCS_CHECKED : 0) | (disabled_ ? DFCS_INACTIVE : 0));
        HGDIOBJ oldFont = SelectObject(dc, DefaultFont());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, disabled_                     ? GetSysColor(COLOR_GRAYTEXT)
                         : textColor_ != kDefaultColor ? textColor_
                                                       : GetSysColor(COLOR_BTNTEXT));
        RECT text = {box + 4, 0, width_, height_};
        DrawTextA(dc, caption_.c_str(), int(caption_.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        SelectObject(dc, oldFont);
    }

    // As a standard check box does: a press and a release inside toggle the mark and make a click.
    void OnCellMouse(UINT message, int x, int y, WPARAM keys) override {
        switch (message) {
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
                pressed_ = true;
                host_->CaptureFor(this);
                RaiseMouse(message == WM_LBUTTONDOWN ? kEventLeftDown : kEventDoubleClick, x, y, keys);
                return;
            case WM_LBUTTONUP: {
                bool wasPressed = pressed_;
                pressed_ = false;
                if (host_) host_->ReleaseFor(this);
                if (!RaiseMouse(kEventLeftUp, x, y, keys)) return;
                if (wasPressed && x >= 0 && y >= 0 && x < width_ && y < height_) {
                    checked_ = !checked_;
                    Repaint();
                    Raise(kEventClicked);
                }
                return;
            }
            default: Control::OnCellMouse(message, x, y, keys);
        }
    }

protected:
    WindowClassAndStyle ClassAndStyle() const override { return {"BUTTON", BS_AUTOCHECKBOX, 0, false}; }

    void OnCreated() override {
        SetWindowCaption(caption_);
        SendMessageA(hwnd_, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    bool ApplyStored(const UnitValue& v) override {
        switch (v.index) {
            case kTextColor: textColor_ = uint32_t(v.number); return v.kind == ValueKind::Int;
            case kBackColor: backColor_ = uint32_t(v.number); return v.kind == ValueKind::Int;
            case kCaption: caption_ = v.text; return v.kind == ValueKind::Text;
            case kChecked: checked_ = v.number != 0; return v.kind == ValueKind::Int;
            default: return false;
        }
    }

    rt::PropertyValue ReadOwn(int32_t index) override {
        switch (index) {
            case kCaption: return NewTextProperty(Caption());
            case kTextColor: return IntProperty(int32_t(textColor_));
            case kBackColor: return IntProperty(int32_t(backColor_));
            case kChecked:
                if (hwnd_) checked_ = SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
                return IntProperty(checked_);
            default: return Control::ReadOwn(index);
        }
    }

    void WriteOwn(int32_t index, rt::PropertyValue value) override {
        switch (index) {
            case kTextColor: textColor_ = uint32_t(PropertyInt(value)); break;
            case kBackColor: backColor_ = uint32_t(PropertyInt(value)); break;
            case kCaption:
                caption_ = PropertyText(value);
                SetWindowCaption(caption_);
                break;
            case kChecked:
                checked_ = PropertyBool(value);
                if (hwnd_) SendMessageA(hwnd_, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
                break;
            default: return Control::WriteOwn(index, value);
        }
        Repaint();
    }

private:
    // The live window's text when there is one.
    const std::string& Caption() {
        if (hwnd_) caption_ = WindowText(hwnd_);
        return caption_;
    }

    HBRUSH Background() const {
        HBRUSH brush = ColorBrush(backColor_);
        return brush ? brush : BackgroundBrush();
    }

    uint32_t textColor_ = kDefaultColor;
    uint32_t backColor_ = kDefaultColor;
    std::string caption_;
    bool checked_ = false;
    bool pressed_ = false;
};

}  // namespace

std::unique_ptr<Control> MakeCheckBox(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<CheckBox>(form, element, id);
}

}  // namespace ui

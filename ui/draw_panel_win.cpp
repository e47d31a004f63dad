// The draw panel: a background colour and a picture fitted into it; also drawn as a cell by its container.
#include "runtime/memory.h"
#include "ui/control_types.h"
#include "ui/panel_picture.h"
#include "ui/picture_fit.h"
#include "ui/shape_box.h"

namespace ui {

namespace {

// Draw-panel properties.
enum : int32_t { kBorder = 8, kBackColor = 9, kPicture = 10, kLayout = 11 };

class DrawPanel : public Control {
public:
    using Control::Control;

    bool CanBeCell() const override { return true; }
    HBRUSH BackgroundBrush() const override {
        HBRUSH brush = ColorBrush(backColor_);
        return brush ? brush : Control::BackgroundBrush();
    }

    void PaintCell(HDC dc) override { PaintInto(dc, width_, height_); }

    void CopyStateFrom(const Control& source) override {
        Control::CopyStateFrom(source);
        const auto& s = static_cast<const DrawPanel&>(source);
        border_ = s.border_;
        backColor_ = s.backColor_;
        layout_ = s.layout_;
        picture_ = s.picture_;
    }

    bool DecodesOnCallingThread(int32_t index, PictureBox* box) const override {
        if (index != kPicture) return false;
        *box =
            PictureBox{width_, height_, layout_, backColor_ == kDefaultColor ? GetSysColor(COLOR_BTNFACE) : backColor_};
        return true;
    }

    void TakeDecodedPicture(int32_t index, PictureFile file, FittedPicture&& picture) override {
        picture_.Take(std::move(file), std::move(picture));
        Repaint();
    }

    void ReleaseContent() override { picture_.Clear(); }

    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
        if (message == WM_ERASEBKGND) return 1;
        if (message == WM_PAINT) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            RECT client;
            GetClientRect(hwnd_, &client);
            PaintInto(dc, client.right, client.bottom);
            EndPaint(hwnd_, &ps);
            return 0;
        }
        return Control::OnMessage(message, wparam, lparam);
    }

protected:
    WindowClassAndStyle ClassAndStyle() const override { return {"PexoDrawPanel", 0, 0, true}; }

    bool ApplyStored(const UnitValue& v) override {
        if (v.kind == ValueKind::Int && (v.index == kBorder || v.index == kBackColor || v.index == kLayout)) {
            WriteOwn(v.index, IntProperty(v.number));
            return true;
        }
        if (v.kind == ValueKind::Bytes && v.index == kPicture) {
            SetPicture(v.bytes.data(), v.bytes.size());
            return true;
        }
        return false;
    }

    rt::PropertyValue ReadOwn(int32_t index) override {
        switch (index) {
            case kBorder: return IntProperty(border_);
            case kBackColor: return IntProperty(int32_t(backColor_));
            // A picture is written, never read back.
            case kPicture: return PointerProperty(nullptr);
            case kLayout: return IntProperty(layout_);
            default: return Control::ReadOwn(index);
        }
    }

    void WriteOwn(int32_t index, rt::PropertyValue value) override {
        switch (index) {
            case kBorder: border_ = PropertyInt(value); break;
            case kBackColor: backColor_ = uint32_t(PropertyInt(value)); break;
            case kPicture: {
                const void* block = PropertyPointer(value);
                SetPicture(rt::BytesDataOf(block), size_t(rt::BytesLengthOf(block)));
                break;
            }
            case kLayout: layout_ = PropertyInt(value); break;
            default: return Control::WriteOwn(index, value);
        }
        Repaint();
    }

private:
    void SetPicture(const uint8_t* data, size_t size) {
        picture_.Keep(std::make_shared<const std::vector<uint8_t>>(data, data + size));
    }

    void PaintInto(HDC dc, int width, int height) {
        RECT all = {0, 0, width, height};
        FillRect(dc, &all, BackgroundBrush());
        if (border_ != 0) DrawEdge(dc, &all, EDGE_SUNKEN, BF_RECT);
        PictureBox box;
        DecodesOnCallingThread(kPicture, &box);
        const FittedPicture* pixels = picture_.Pixels(box.width, box.height, box.layout, box.background);
        if (!pixels) return;
        const FittedPicture& picture = *pixels;
        int x, y;
        FittedOrigin(picture, width, height, layout_, &x, &y);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = picture.width;
        info.bmiHeader.biHeight = -picture.height;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, x, y, DWORD(picture.width), DWORD(picture.height), 0, 0, 0, UINT(picture.height),
                          picture.bgr.data(), &info, DIB_RGB_COLORS);
    }

    int32_t border_ = 0;
    uint32_t backColor_ = kDefaultColor;
    int32_t layout_ = kLayoutNormal;
    PanelPicture picture_;
};

}  // namespace

std::unique_ptr<Control> MakeDrawPanel(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<DrawPanel>(form, element, id);
}

}  // namespace ui

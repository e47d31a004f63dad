// The picture button: three GIF images (normal, under the pointer, pressed) whose transparent pixels are not
// part of the window, so a frame image leaves what lies under its inside visible and clickable.
#include <cstring>
#include <vector>

#include "runtime/memory.h"
#include "ui/control_types.h"
#include "ui/gif.h"

namespace ui {

namespace {

// Picture-button properties: the three images as GIF files.
enum : int32_t { kNormalImage = 8, kHoverImage = 9, kPressedImage = 10 };

struct ButtonImage {
    std::vector<uint8_t> file;
    DecodedImage decoded;
    std::vector<uint8_t> bgr;  // top-down rows padded to 4 bytes
    int stride = 0;

    bool empty() const { return decoded.width <= 0; }
    void Load(const uint8_t* data, size_t size) {
        file.assign(data, data + size);
        decoded = DecodedImage{};
        bgr.clear();
        if (!DecodeGif(data, size, &decoded)) return;
        stride = (decoded.width * 3 + 3) & ~3;
        bgr.assign(size_t(stride) * size_t(decoded.height), 0);
        for (int y = 0; y < decoded.height; ++y)
            for (int x = 0; x < decoded.width; ++x) {
                uint32_t p = decoded.pixels[size_t(y) * size_t(decoded.width) + size_t(x)];
                uint8_t* d = &bgr[size_t(y) * size_t(stride) + size_t(x) * 3];
                d[0] = uint8_t(p);
                d[1] = uint8_t(p >> 8);
                d[2] = uint8_t(p >> 16);
            }
    }
    // The opaque pixels as a region, built from runs of each row.
    HRGN Region() const {
        std::vector<RECT> runs;
        for (int y = 0; y < decoded.height; ++y) {
            int x = 0;
            while (x < decoded.width) {
                while (x < decoded.width && !(decoded.pixels[size_t(y) * size_t(decoded.width) + size_t(x)] >> 24)) ++x;
                int start = x;
                while (x < decoded.width && (decoded.pixels[size_t(y) * size_t(decoded.width) + size_t(x)] >> 24)) ++x;
                if (x > start) runs.push_back(RECT{start, y, x, y + 1});
            }
        }
        std::vector<uint8_t> data(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
        auto* header = reinterpret_cast<RGNDATA*>(data.data());
        header->rdh = {sizeof(RGNDATAHEADER), RDH_RECTANGLES, DWORD(runs.size()), 0,
                       RECT{0, 0, decoded.width, decoded.height}};
        if (!runs.empty()) memcpy(header->Buffer, runs.data(), runs.size() * sizeof(RECT));
        return ExtCreateRegion(nullptr, DWORD(data.size()), header);
    }
};

class PicBtn : public Control {
public:
    using Control::Control;

    void CopyStateFrom(const Control& source) override {
        Control::CopyStateFrom(source);
        const auto& s = static_cast<const PicBtn&>(source);
        for (int i = 0; i < 3; ++i) images_[i] = s.images_[i];
    }

    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
        switch (message) {
            case WM_ERASEBKGND: return 1;
            case WM_PAINT: Paint(); return 0;
            case WM_MOUSEMOVE:
                if (!hover_) {
                    hover_ = true;
                    TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd_, 0};
                    TrackMouseEvent(&track);
                    ShowState();
                }
                break;
            case WM_MOUSELEAVE:
                hover_ = false;
                ShowState();
                return 0;
            case WM_LBUTTONDOWN:
                pressed_ = true;
                SetCapture(hwnd_);
                ShowState();
                break;
            case WM_LBUTTONUP: {
                int x = short(LOWORD(lparam)), y = short(HIWORD(lparam));
                bool click = pressed_ && x >= 0 && y >= 0 && x < width_ && y < height_;
                pressed_ = false;
                if (GetCapture() == hwnd_) ReleaseCapture();
                LRESULT result = Control::OnMessage(message, wparam, lparam);
                if (!alive_ || !hwnd_) return result;
                ShowState();
                if (click) Raise(kEventClicked);
                return result;
            }
            default: break;
        }
        return Control::OnMessage(message, wparam, lparam);
    }

protected:
    WindowClassAndStyle ClassAndStyle() const override { return {"PexoPicBtn", 0, 0, true}; }
    void OnCreated() override { ShowState(); }

    bool ApplyStored(const UnitValue& v) override {
        if (v.kind != ValueKind::Bytes || v.index < kNormalImage || v.index > kPressedImage) return false;
        images_[v.index - kNormalImage].Load(v.bytes.data(), v.bytes.size());
        return true;
    }
    rt::PropertyValue ReadOwn(int32_t index) override {
        if (index < kNormalImage || index > kPressedImage) return Control::ReadOwn(index);
        const auto& file = images_[index - kNormalImage].file;
        return PointerProperty(rt::NewBytes(file.data(), file.size()));
    }
    void WriteOwn(int32_t index, rt::PropertyValue value) override {
        if (index < kNormalImage || index > kPressedImage) return Control::WriteOwn(index, value);
        const void* block = PropertyPointer(value);
        images_[index - kNormalImage].Load(rt::BytesDataOf(block), size_t(rt::BytesLengthOf(block)));
        shown_ = -1;
        ShowState();
    }

private:
    int CurrentImage() const {
        int wanted = pressed_ ? 2 : hover_ ? 1 : 0;
        return images_[wanted].empty() ? 0 : wanted;
    }

    // Shapes the window to the current image's opaque pixels and repaints it.
    void ShowState() {
        if (!hwnd_) return;
        int current = CurrentImage();
        if (current != shown_) {
            shown_ = current;
            const ButtonImage& image = images_[current];
            SetWindowRgn(hwnd_, image.empty() ? nullptr : image.Region(), TRUE);
        }
        InvalidateRect(hwnd_, nullptr, FALSE);
    }

    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        const ButtonImage& image = images_[CurrentImage()];
        if (image.empty()) {
            RECT client;
            GetClientRect(hwnd_, &client);
            FillRect(dc, &client, BackgroundBrush());
        } else {
            BITMAPINFO info = {};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = image.decoded.width;
            info.bmiHeader.biHeight = -image.decoded.height;  // top-down rows
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 24;
            info.bmiHeader.biCompression = BI_RGB;
            SetDIBitsToDevice(dc, 0, 0, DWORD(image.decoded.width), DWORD(image.decoded.height), 0, 0, 0,
                              UINT(image.decoded.height), image.bgr.data(), &info, DIB_RGB_COLORS);
        }
        EndPaint(hwnd_, &ps);
    }

    ButtonImage images_[3];
    int shown_ = -1;
    bool hover_ = false;
    bool pressed_ = false;
};

}  // namespace

std::unique_ptr<Control> MakePicBtn(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<PicBtn>(form, element, id);
}

}  // namespace ui

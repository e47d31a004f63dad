// The hyperlink: its caption centred in its own font, blue, red under the pointer, black once opened; a click
// opens its address with the shell, or with the command registered for ".htm" files when that fails.
#include <windows.h>
#include <shellapi.h>

#include "runtime/library_rules.h"
#include "ui/control_types.h"

namespace ui {

namespace {

// Hyperlink properties.
enum : int32_t { kCaption = 8, kAddress = 9, kFont = 10 };

constexpr COLORREF kNormalColor = 0x00FF0000;
constexpr COLORREF kHoverColor = 0x000000FF;
constexpr COLORREF kVisitedColor = 0x00000000;

// The command registered for opening ".htm" files, with the address in place of %1 (or after it).
bool OpenWithHtmlCommand(const std::string& address) {
    char type[256] = {};
    LONG size = sizeof type;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, ".htm", type, &size) != ERROR_SUCCESS || !type[0]) return false;
    char command[2048] = {};
    size = sizeof command;
    std::string key = std::string(type) + "\\shell\\open\\command";
    if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), command, &size) != ERROR_SUCCESS || !command[0]) return false;
    std::string line = command;
    size_t at = line.find("%1");
    if (at != std::string::npos)
        line.replace(at, 2, address);
    else
        line += " " + address;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

class HyperLinker : public Control {
public:
    using Control::Control;
    ~HyperLinker() override {
        if (font_) DeleteObject(font_);
    }

    void CopyStateFrom(const Control& source) override {
        Control::CopyStateFrom(source);
        const auto& s = static_cast<const HyperLinker&>(source);
        caption_ = s.caption_;
        address_ = s.address_;
        fontSpec_ = s.fontSpec_;
    }

    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
        switch (message) {
            case WM_ERASEBKGND: return 1;
            case WM_PAINT: Paint(); return 0;
            case WM_SETCURSOR: SetCursor(LoadCursor(nullptr, IDC_HAND)); return TRUE;
            case WM_MOUSEMOVE:
                if (!hover_) {
                    hover_ = true;
                    TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd_, 0};
                    TrackMouseEvent(&track);
                    Repaint();
                }
                break;
            case WM_MOUSELEAVE:
                hover_ = false;
                Repaint();
                return 0;
            case WM_LBUTTONDOWN: pressed_ = true; break;
            case WM_LBUTTONUP: {
                int x = short(LOWORD(lparam)), y = short(HIWORD(lparam));
                bool click = pressed_ && x >= 0 && y >= 0 && x < width_ && y < height_;
                pressed_ = false;
                LRESULT result = Control::OnMessage(message, wparam, lparam);
                if (click && alive_) Open();
                return result;
            }
            default: break;
        }
        return Control::OnMessage(message, wparam, lparam);
    }

protected:
    WindowClassAndStyle ClassAndStyle() const override { return {"PexoHyperLinker", 0, 0, true}; }

    void OnCreated() override {
        if (fontSpec_.face.empty()) return;
        font_ = CreateFontA(fontSpec_.height, 0, 0, 0, fontSpec_.weight, fontSpec_.italic, fontSpec_.underline, 0,
                            fontSpec_.charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, fontSpec_.face.c_str());
    }

    bool ApplyStored(const UnitValue& v) override {
        switch (v.index) {
            case kCaption: caption_ = v.text; return v.kind == ValueKind::Text;
            case kAddress: address_ = v.text; return v.kind == ValueKind::Text;
            case kFont: fontSpec_ = v.font; return v.kind == ValueKind::Font;
            default: return false;
        }
    }
    rt::PropertyValue ReadOwn(int32_t index) override {
        if (index == kCaption) return NewTextProperty(caption_);
        if (index == kAddress) return NewTextProperty(address_);
        return Control::ReadOwn(index);
    }
    void WriteOwn(int32_t index, rt::PropertyValue value) override {
        if (index == kCaption)
            caption_ = PropertyText(value);
        else if (index == kAddress)
            address_ = PropertyText(value);
        else
            return Control::WriteOwn(index, value);
        Repaint();
    }

private:
    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        RECT client;
        GetClientRect(hwnd_, &client);
        FillRect(dc, &client, BackgroundBrush());
        HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : DefaultFont());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, visited_ ? kVisitedColor : hover_ ? kHoverColor : kNormalColor);
        // Centred, also when wider than the link: both ends are clipped alike.
        DrawTextA(dc, caption_.c_str(), int(caption_.size()), &client,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, oldFont);
        EndPaint(hwnd_, &ps);
    }

    void Open() {
        if (!rt::IsWebPageAddress(address_.c_str())) return;  // the shell would run other targets
        auto shown = reinterpret_cast<INT_PTR>(
            ShellExecuteA(nullptr, "open", address_.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        // Black tells the person the page was opened, so only an open that succeeded turns the link black.
        if (shown > 32 || OpenWithHtmlCommand(address_)) {
            visited_ = true;
            Repaint();
        }
    }

    std::string caption_;
    std::string address_;
    FontSpec fontSpec_;
    HFONT font_ = nullptr;
    bool hover_ = false;
    bool pressed_ = false;
    bool visited_ = false;
};

}  // namespace

std::unique_ptr<Control> MakeHyperLinker(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<HyperLinker>(form, element, id);
}

}  // namespace ui

// The shape box: background and border, and the cells it draws and routes mouse input to.
#include "ui/shape_box.h"

#include <algorithm>

#include "ui/control_types.h"
#include "ui/form.h"

namespace ui {

namespace {
constexpr UINT kFlushInvalidation = WM_APP + 0x72;
// Shape-box properties.
enum : int32_t { kShape = 8, kBorderStyle = 9, kBorderWidth = 10, kBorderColor = 11, kBackColor = 12 };
}  // namespace

WindowClassAndStyle ShapeBox::ClassAndStyle() const {
    return {"PexoShapeBox", WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, true};
}

bool ShapeBox::ApplyStored(const UnitValue& v) {
    if (v.kind != ValueKind::Int || v.index < kShape || v.index > kBackColor) return false;
    WriteOwn(v.index, IntProperty(v.number));
    return true;
}

rt::PropertyValue ShapeBox::ReadOwn(int32_t index) {
    switch (index) {
        case kShape: return IntProperty(shape_);
        case kBorderStyle: return IntProperty(borderStyle_);
        case kBorderWidth: return IntProperty(borderWidth_);
        case kBorderColor: return IntProperty(int32_t(borderColor_));
        case kBackColor: return IntProperty(int32_t(backColor_));
        default: return Control::ReadOwn(index);
    }
}

void ShapeBox::WriteOwn(int32_t index, rt::PropertyValue value) {
    int32_t v = PropertyInt(value);
    switch (index) {
        case kShape: shape_ = v; break;
        case kBorderStyle: borderStyle_ = v; break;
        case kBorderWidth: borderWidth_ = v; break;
        case kBorderColor: borderColor_ = uint32_t(v); break;
        case kBackColor: backColor_ = uint32_t(v); break;
        default: return Control::WriteOwn(index, value);
    }
    Repaint();
}

void ShapeBox::CopyStateFrom(const Control& source) {
    Control::CopyStateFrom(source);
    const auto& s = static_cast<const ShapeBox&>(source);
    shape_ = s.shape_;
    borderStyle_ = s.borderStyle_;
    borderWidth_ = s.borderWidth_;
    borderColor_ = s.borderColor_;
    backColor_ = s.backColor_;
}

HBRUSH ShapeBox::BackgroundBrush() const {
    HBRUSH brush = ColorBrush(backColor_);
    return brush ? brush : GetSysColorBrush(COLOR_BTNFACE);
}

void ShapeBox::AddCell(Control* cell) {
    cells_.push_back(cell);
    if (cell->visible()) InvalidateArea(cell->Bounds());
}

void ShapeBox::RemoveCell(Control* cell) {
    auto it = std::find(cells_.begin(), cells_.end(), cell);
    if (it == cells_.end()) return;
    cells_.erase(it);
    if (captured_ == cell) ReleaseFor(cell);
    if (cell->visible()) InvalidateArea(cell->Bounds());
}

// Each invalidation is a round trip to the window system (a server call under Wine). A grid changes thousands
// of cells between two messages, so the areas are gathered and invalidated once, when the posted flush arrives.
void ShapeBox::InvalidateArea(const RECT& area) {
    if (!hwnd_) return;
    if (IsRectEmpty(&pendingArea_))
        pendingArea_ = area;
    else
        UnionRect(&pendingArea_, &pendingArea_, &area);
    if (!flushPosted_) flushPosted_ = PostMessageA(hwnd_, kFlushInvalidation, 0, 0) != FALSE;
}

Control* ShapeBox::CellAt(int x, int y) const {
    for (auto it = cells_.rbegin(); it != cells_.rend(); ++it) {
        Control* c = *it;
        if (c->visible() && x >= c->left() && x < c->left() + c->width() && y >= c->top() && y < c->top() + c->height())
            return c;
    }
    return nullptr;
}

void ShapeBox::CaptureFor(Control* cell) {
    captured_ = cell;
    if (hwnd_) SetCapture(hwnd_);
}

void ShapeBox::ReleaseFor(Control* cell) {
    if (captured_ != cell) return;
    captured_ = nullptr;
    if (hwnd_ && GetCapture() == hwnd_) ReleaseCapture();
}

void ShapeBox::OnNativeWindowGone() {
    // The cells go with the window that drew them; copies among them stop existing.
    std::vector<Control*> cells = std::move(cells_);
    captured_ = nullptr;
    for (Control* c : cells) {
        c->ForgetHost();
        if (c->isCopy()) form_->Drop(c);
    }
    Control::OnNativeWindowGone();
}

void ShapeBox::Paint(HDC dc, const RECT& area) {
    RECT client;
    GetClientRect(hwnd_, &client);
    FillRect(dc, &area, BackgroundBrush());
    if (borderStyle_ != 0 && borderWidth_ > 0) {
        HBRUSH border = CreateSolidBrush(borderColor_ == kDefaultColor ? GetSysColor(COLOR_WINDOWFRAME) : borderColor_);
        int w = borderWidth_;
        RECT sides[4] = {{0, 0, client.right, w},
                         {0, client.bottom - w, client.right, client.bottom},
                         {0, 0, w, client.bottom},
                         {client.right - w, 0, client.right, client.bottom}};
        for (const RECT& r : sides) FillRect(dc, &r, border);
        DeleteObject(border);
    }
    for (Control* c : cells_) {
        if (!c->visible()) continue;
        RECT bounds = c->Bounds(), overlap;
        if (!IntersectRect(&overlap, &bounds, &area)) continue;
        int saved = SaveDC(dc);
        IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
        POINT origin;
        GetViewportOrgEx(dc, &origin);
        SetViewportOrgEx(dc, origin.x + bounds.left, origin.y + bounds.top, nullptr);
        c->PaintCell(dc);
        RestoreDC(dc, saved);
    }
}

bool ShapeBox::RouteMouseToCell(UINT message, WPARAM wparam, LPARAM lparam) {
    int x = short(LOWORD(lparam)), y = short(HIWORD(lparam));
    Control* cell = captured_ ? captured_ : CellAt(x, y);
    if (!cell) return false;
    if (!cell->disabled()) cell->OnCellMouse(message, x - cell->left(), y - cell->top(), wparam);
    return true;
}

LRESULT ShapeBox::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_ERASEBKGND: return 1;  // WM_PAINT fills everything
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            // Drawn off screen first, so that scrolling a grid does not flicker.
            RECT area = ps.rcPaint;
            int w = area.right - area.left, h = area.bottom - area.top;
            if (w > 0 && h > 0) {
                HDC memory = CreateCompatibleDC(dc);
                HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
                HGDIOBJ old = SelectObject(memory, bitmap);
                SetViewportOrgEx(memory, -area.left, -area.top, nullptr);
                Paint(memory, area);
                SetViewportOrgEx(memory, 0, 0, nullptr);
                BitBlt(dc, area.left, area.top, w, h, memory, 0, 0, SRCCOPY);
                SelectObject(memory, old);
                DeleteObject(bitmap);
                DeleteDC(memory);
            }
            EndPaint(hwnd_, &ps);
            return 0;
        }
        case kFlushInvalidation:
            flushPosted_ = false;
            InvalidateRect(hwnd_, &pendingArea_, FALSE);
            SetRectEmpty(&pendingArea_);
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lparam) != hwnd_) captured_ = nullptr;
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MOUSEMOVE:
            if (RouteMouseToCell(message, wparam, lparam)) return 0;
            break;
        default: break;
    }
    return Control::OnMessage(message, wparam, lparam);
}

std::unique_ptr<Control> MakeShapeBox(Form* form, const FormElement* element, uint32_t id) {
    return std::make_unique<ShapeBox>(form, element, id);
}

}  // namespace ui

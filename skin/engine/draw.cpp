// Drawing helpers of the skin engine: blends, gradients, rounded boxes, glyphs and an off-screen buffer.
#include "skin/engine/engine.h"

#include <atomic>

namespace skin {

COLORREF Blend(COLORREF a, COLORREF b, int w) {
    auto mix = [w](int x, int y) { return BYTE((x * (255 - w) + y * w + 127) / 255); };
    return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

void FillSolid(HDC dc, const RECT& r, COLORREF c) {
    COLORREF old = SetBkColor(dc, c);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    SetBkColor(dc, old);
}

void FillGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom) {
    int h = r.bottom - r.top;
    for (int y = 0; y < h; ++y) {
        RECT row{r.left, r.top + y, r.right, r.top + y + 1};
        FillSolid(dc, row, h > 1 ? Blend(top, bottom, y * 255 / (h - 1)) : top);
    }
}

void FrameSolid(HDC dc, const RECT& r, COLORREF c) {
    FillSolid(dc, RECT{r.left, r.top, r.right, r.top + 1}, c);
    FillSolid(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, c);
    FillSolid(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, c);
    FillSolid(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, c);
}

void RoundedOutline(HDC dc, const RECT& r, int radius, COLORREF border) {
    if (radius <= 0) {
        FrameSolid(dc, r, border);
        return;
    }
    HPEN pen = CreatePen(PS_SOLID, 1, border);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, r.left, r.top, r.right, r.bottom, 2 * radius + 1, 2 * radius + 1);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void RoundedBox(HDC dc, const RECT& r, int radius, COLORREF top, COLORREF bottom, COLORREF border) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    if (radius <= 0) {
        FillGradient(dc, r, top, bottom);
        FrameSolid(dc, r, border);
        return;
    }
    HRGN inside = CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1, 2 * radius + 1, 2 * radius + 1);
    int saved = SaveDC(dc);
    ExtSelectClipRgn(dc, inside, RGN_AND);
    FillGradient(dc, r, top, bottom);
    RestoreDC(dc, saved);
    DeleteObject(inside);
    RoundedOutline(dc, r, radius, border);
}

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF c, int width) {
    HPEN pen = CreatePen(PS_SOLID, width, c);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void Chevron(HDC dc, const RECT& r, COLORREF c, Direction d) {
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    int span = (r.right - r.left < r.bottom - r.top ? r.right - r.left : r.bottom - r.top);
    int half = span / 4;
    if (half > Scale(4)) half = Scale(4);
    if (half < 2) half = 2;
    int rise = half / 2;
    // Two strokes one pixel apart give a 2-pixel line without a wide pen's blunt ends.
    for (int t = 0; t < 2; ++t) {
        switch (d) {
            case Direction::kDown:
                Line(dc, cx - half, cy - rise + t, cx, cy - rise + half + t, c);
                Line(dc, cx, cy - rise + half + t, cx + half + 1, cy - rise - 1 + t, c);
                break;
            case Direction::kUp:
                Line(dc, cx - half, cy + rise - t, cx, cy + rise - half - t, c);
                Line(dc, cx, cy + rise - half - t, cx + half + 1, cy + rise + 1 - t, c);
                break;
            case Direction::kRight:
                Line(dc, cx - rise + t, cy - half, cx - rise + half + t, cy, c);
                Line(dc, cx - rise + half + t, cy, cx - rise - 1 + t, cy + half + 1, c);
                break;
            case Direction::kLeft:
                Line(dc, cx + rise - t, cy - half, cx + rise - half - t, cy, c);
                Line(dc, cx + rise - half - t, cy, cx + rise + 1 - t, cy + half + 1, c);
                break;
        }
    }
}

void Disc(HDC dc, double cx, double cy, double radius, COLORREF c) {
    int x0 = int(cx - radius) - 1, x1 = int(cx + radius) + 1, y0 = int(cy - radius) - 1, y1 = int(cy + radius) + 1;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            // Coverage of the pixel by the disc, from a 4 x 4 grid of samples.
            int inside = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    double dx = x + (sx + 0.5) / 4 - cx, dy = y + (sy + 0.5) / 4 - cy;
                    inside += dx * dx + dy * dy <= radius * radius;
                }
            }
            if (!inside) continue;
            COLORREF under = inside == 16 ? c : GetPixel(dc, x, y);
            SetPixelV(dc, x, y, under == CLR_INVALID ? (inside >= 8 ? c : under) : Blend(under, c, inside * 255 / 16));
        }
    }
}

HFONT ControlFont(HWND hwnd) {
    HFONT f = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    return f ? f : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

int Scale(int pixels) {
    static std::atomic<int> cached{0};
    int dpi = cached.load(std::memory_order_relaxed);
    if (!dpi) {
        HDC dc = GetDC(nullptr);
        dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
        if (dc) ReleaseDC(nullptr, dc);
        if (dpi <= 0) dpi = 96;
        cached.store(dpi, std::memory_order_relaxed);
    }
    return MulDiv(pixels, dpi, 96);
}

Buffer::Buffer(HDC target, const RECT& r) : target_(target), rect_(r) {
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    mem_ = CreateCompatibleDC(target);
    bitmap_ = mem_ ? CreateCompatibleBitmap(target, w, h) : nullptr;
    if (!bitmap_) {
        if (mem_) DeleteDC(mem_);
        mem_ = nullptr;
        return;
    }
    old_ = SelectObject(mem_, bitmap_);
    SetViewportOrgEx(mem_, -r.left, -r.top, nullptr);
}

void Buffer::Finish() {
    if (!mem_) return;
    SetViewportOrgEx(mem_, 0, 0, nullptr);
    BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, mem_, 0, 0, SRCCOPY);
}

Buffer::~Buffer() {
    if (!mem_) return;
    SelectObject(mem_, old_);
    DeleteObject(bitmap_);
    DeleteDC(mem_);
}

}  // namespace skin

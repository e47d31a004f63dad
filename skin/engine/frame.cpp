// Skinned top-level windows: caption bar, frame, caption buttons, client face and the translucent mode.
//
// The frame keeps the system's sizes (so a window's client area is what its program expects); the engine
// paints the caption band and the side and bottom borders, and lets the default painter draw only what lies
// inside the borders below the caption (menu bar, scroll bars, client edge).
#include "skin/engine/engine.h"

#include <windowsx.h>

namespace skin {

namespace {

constexpr int kButtonCodes[3] = {HTCLOSE, HTMAXBUTTON, HTMINBUTTON};

struct FrameLayout {
    int width, height;
    int border;      // side border thickness
    RECT caption;    // the band from the window's top to the caption's bottom, full width
    RECT title;      // where the title text may go
    RECT inner;      // inside the side borders, below the caption
    RECT button[3];  // close, maximise, minimise; empty when the window has none
    bool enabled[3];
    bool icon;
    RECT iconRect;
};

bool IsCaptionButton(WPARAM code) { return code == HTCLOSE || code == HTMAXBUTTON || code == HTMINBUTTON; }

HICON WindowIcon(HWND h) {
    auto icon = reinterpret_cast<HICON>(SendMessageA(h, WM_GETICON, ICON_SMALL, 0));
    if (!icon) icon = reinterpret_cast<HICON>(SendMessageA(h, WM_GETICON, ICON_BIG, 0));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrA(h, GCLP_HICONSM));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrA(h, GCLP_HICON));
    return icon;
}

FrameLayout Layout(HWND h, const Skin* s) {
    FrameLayout L{};
    RECT wr;
    GetWindowRect(h, &wr);
    L.width = wr.right - wr.left;
    L.height = wr.bottom - wr.top;
    POINT origin{0, 0};
    ClientToScreen(h, &origin);
    int clientLeft = origin.x - wr.left, clientTop = origin.y - wr.top;
    LONG style = GetWindowLongA(h, GWL_STYLE), ex = GetWindowLongA(h, GWL_EXSTYLE);
    int edge = (ex & WS_EX_CLIENTEDGE) ? GetSystemMetrics(SM_CXEDGE) : 0;
    L.border = clientLeft - edge;
    if (L.border < 0) L.border = 0;
    int captionHeight = GetSystemMetrics((ex & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
    int bottom = L.border + captionHeight;
    if (bottom > clientTop) bottom = clientTop;
    L.caption = RECT{0, 0, L.width, bottom};
    L.inner = RECT{L.border, bottom, L.width - L.border, L.height - L.border};

    int top = L.border, height = bottom - L.border;
    int buttonWidth = height * s->metrics.captionButtonWidth / 100;
    int right = L.width - L.border;
    bool sysMenu = (style & WS_SYSMENU) != 0;
    bool present[3] = {sysMenu, sysMenu && (style & (WS_MAXIMIZEBOX | WS_MINIMIZEBOX)) && !(ex & WS_EX_TOOLWINDOW),
                       sysMenu && (style & (WS_MAXIMIZEBOX | WS_MINIMIZEBOX)) && !(ex & WS_EX_TOOLWINDOW)};
    L.enabled[0] = true;
    L.enabled[1] = (style & WS_MAXIMIZEBOX) != 0;
    L.enabled[2] = (style & WS_MINIMIZEBOX) != 0;
    for (int i = 0; i < 3; ++i) {
        if (!present[i]) continue;
        L.button[i] = RECT{right - buttonWidth, top, right, bottom};
        right -= buttonWidth;
    }
    int left = L.border + Scale(6);
    L.icon = sysMenu && !(ex & (WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW)) && WindowIcon(h);
    if (L.icon) {
        int size = Scale(16);
        L.iconRect = RECT{left, top + (height - size) / 2, left + size, top + (height - size) / 2 + size};
        left += size + Scale(5);
    }
    L.title = RECT{left, top, right - Scale(4), bottom};
    return L;
}

// The caption band as pixels: gradient, gloss on the upper half and the skin's texture.
void PaintCaptionBand(uint32_t* px, int w, int h, const Skin* s, bool active, bool glass) {
    COLORREF top = s->colour[active ? kCaptionTop : kCaptionInactiveTop];
    COLORREF bottom = s->colour[active ? kCaptionBottom : kCaptionInactiveBottom];
    int gloss = s->metrics.captionGloss + (glass ? 40 : 0);
    if (gloss > 255) gloss = 255;
    for (int y = 0; y < h; ++y) {
        COLORREF row = h > 1 ? Blend(top, bottom, y * 255 / (h - 1)) : top;
        if (y < h / 2 && gloss) row = Blend(row, RGB(255, 255, 255), gloss * (h / 2 - y) / (h / 2) / 3);
        for (int x = 0; x < w; ++x) {
            COLORREF c = row;
            if (s->tile && active) {
                int t = s->tile[(y % s->tileHeight) * s->tileWidth + (x % s->tileWidth)] * s->tileStrength / 255;
                c = Blend(c, s->tileMode ? RGB(0, 0, 0) : RGB(255, 255, 255), t);
            }
            px[size_t(y) * w + x] = uint32_t(GetBValue(c)) | uint32_t(GetGValue(c)) << 8 | uint32_t(GetRValue(c)) << 16;
        }
    }
}

void PaintGlyph(HDC dc, const RECT& r, int code, bool zoomed, COLORREF c) {
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    int g = (r.bottom - r.top) * 9 / 20;  // glyph size
    if (g < 5) g = 5;
    int h = g / 2;
    switch (code) {
        case HTCLOSE:
            for (int t = 0; t < 2; ++t) {  // two passes side by side make a bolder cross
                Line(dc, cx - h + t, cy - h, cx + h + 1 + t, cy + h + 1, c);
                Line(dc, cx - h + t, cy + h, cx + h + 1 + t, cy - h - 1, c);
            }
            break;
        case HTMAXBUTTON:
            if (zoomed) {
                FrameSolid(dc, RECT{cx - h, cy - h + 2, cx + h - 1, cy + h + 1}, c);
                Line(dc, cx - h + 2, cy - h, cx + h + 1, cy - h, c);
                Line(dc, cx + h + 1, cy - h, cx + h + 1, cy + h - 2, c);
            } else {
                FrameSolid(dc, RECT{cx - h, cy - h, cx + h + 1, cy + h + 1}, c);
                Line(dc, cx - h, cy - h + 1, cx + h + 1, cy - h + 1, c);
            }
            break;
        default: FillSolid(dc, RECT{cx - h, cy + h - 1, cx + h + 1, cy + h + 1}, c); break;
    }
}

void PaintFrame(SkinWindow* w, HDC dc, const FrameLayout& L, const Skin* s) {
    HWND h = w->hwnd;
    bool active = w->active, glass = GlassEnabled();
    COLORREF frame = s->colour[active ? kFrame : kFrameInactive];
    COLORREF outline = s->colour[kFrameOutline];
    if (!active) outline = Blend(outline, frame, 140);
    int bandW = L.width, bandH = L.caption.bottom;

    if (bandW > 0 && bandH > 0) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = bandW;
        bi.bmiHeader.biHeight = -bandH;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP band = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC mem = band ? CreateCompatibleDC(dc) : nullptr;
        if (mem) {
            PaintCaptionBand(static_cast<uint32_t*>(bits), bandW, bandH, s, active, glass);
            HGDIOBJ oldBitmap = SelectObject(mem, band);
            if (L.icon) {
                int size = L.iconRect.right - L.iconRect.left;
                DrawIconEx(mem, L.iconRect.left, L.iconRect.top, WindowIcon(h), size, size, 0, nullptr, DI_NORMAL);
            }
            char title[512];
            int n = GetWindowTextA(h, title, sizeof title);
            COLORREF text = s->colour[active ? kCaptionText : kCaptionTextInactive];
            if (n > 0) {
                HGDIOBJ oldFont = SelectObject(mem, s->captionFont);
                SetBkMode(mem, TRANSPARENT);
                SetTextColor(mem, text);
                RECT t = L.title;
                UINT align = DT_LEFT;
                if (s->metrics.titleAlign == 1) {
                    RECT need{0, 0, 0, 0};
                    DrawTextA(mem, title, n, &need, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
                    int half = (need.right - need.left) / 2, centre = bandW / 2;
                    if (centre - half >= t.left && centre + half <= t.right) {
                        t.left = centre - half - 1;
                        t.right = centre + half + 2;
                        align = DT_CENTER;
                    }
                }
                DrawTextA(mem, title, n, &t, align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
                SelectObject(mem, oldFont);
            }
            for (int i = 0; i < 3; ++i) {
                const RECT& r = L.button[i];
                if (r.right <= r.left) continue;
                int code = kButtonCodes[i];
                bool pressed = w->pressedPart == code && w->pressedInside;
                bool hot = w->hotPart == code && !w->pressedPart;
                COLORREF glyph = L.enabled[i] ? text : Blend(text, s->colour[kCaptionBottom], 150);
                if ((pressed || hot) && L.enabled[i]) {
                    COLORREF back = code == HTCLOSE ? s->colour[kCloseButtonHot] : s->colour[kCaptionButtonHot];
                    if (pressed)
                        back = code == HTCLOSE ? Blend(back, RGB(0, 0, 0), 50) : s->colour[kCaptionButtonPressed];
                    RECT b = r;
                    b.bottom -= 1;
                    FillSolid(mem, b, back);
                    if (code == HTCLOSE) glyph = RGB(255, 255, 255);
                }
                PaintGlyph(mem, r, code, IsZoomed(h) != 0, glyph);
            }
            // Outline along the top and down the band's sides; with the translucent mode a light inner line too.
            FillSolid(mem, RECT{0, 0, bandW, 1}, outline);
            FillSolid(mem, RECT{0, 0, 1, bandH}, outline);
            FillSolid(mem, RECT{bandW - 1, 0, bandW, bandH}, outline);
            if (glass) FillSolid(mem, RECT{1, 1, bandW - 1, 2}, Blend(s->colour[kCaptionTop], RGB(255, 255, 255), 110));
            BitBlt(dc, 0, 0, bandW, bandH, mem, 0, 0, SRCCOPY);
            SelectObject(mem, oldBitmap);
            DeleteDC(mem);
        }
        if (band) DeleteObject(band);
    }

    // Side and bottom borders.
    int b = L.border, top = L.caption.bottom;
    if (b > 0) {
        FillSolid(dc, RECT{0, top, b, L.height}, frame);
        FillSolid(dc, RECT{L.width - b, top, L.width, L.height}, frame);
        FillSolid(dc, RECT{b, L.height - b, L.width - b, L.height}, frame);
        FillSolid(dc, RECT{0, top, 1, L.height}, outline);
        FillSolid(dc, RECT{L.width - 1, top, L.width, L.height}, outline);
        FillSolid(dc, RECT{0, L.height - 1, L.width, L.height}, outline);
        if (glass && b >= 3) {
            COLORREF soft = Blend(frame, RGB(255, 255, 255), 90);
            FillSolid(dc, RECT{1, top, 2, L.height - 1}, soft);
            FillSolid(dc, RECT{L.width - 2, top, L.width - 1, L.height - 1}, soft);
            FillSolid(dc, RECT{1, L.height - 2, L.width - 1, L.height - 1}, soft);
        }
    }
}

// The menu bar and its menus get the skin's menu background.
void SkinMenu(SkinWindow* w, const Skin* s) {
    HMENU menu = GetMenu(w->hwnd);
    if (!menu || (menu == w->menu && s == w->menuSkin)) return;
    MENUINFO mi{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIM_BACKGROUND | MIM_APPLYTOSUBMENUS;
    mi.hbrBack = s->brush[kMenuBack];
    if (SetMenuInfo(menu, &mi)) {
        w->menu = menu;
        w->menuSkin = s;
    }
}

void PaintNonClient(SkinWindow* w, HRGN update) {
    HWND h = w->hwnd;
    const Skin* s = ActiveSkin();
    SkinMenu(w, s);
    FrameLayout L = Layout(h, s);
    RECT wr, cr;
    GetWindowRect(h, &wr);
    GetClientRect(h, &cr);
    MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&cr), 2);
    // The default painter draws the menu bar, scroll bars and client edge only.
    HRGN inner =
        CreateRectRgn(wr.left + L.inner.left, wr.top + L.inner.top, wr.left + L.inner.right, wr.top + L.inner.bottom);
    HRGN client = CreateRectRgn(cr.left, cr.top, cr.right, cr.bottom);
    int kind = CombineRgn(inner, inner, client, RGN_DIFF);
    if (update && update != reinterpret_cast<HRGN>(1)) kind = CombineRgn(inner, inner, update, RGN_AND);
    if (kind != NULLREGION && kind != ERROR) Forward(w, WM_NCPAINT, reinterpret_cast<WPARAM>(inner), 0);
    DeleteObject(client);
    DeleteObject(inner);
    if (HDC dc = GetWindowDC(h)) {
        PaintFrame(w, dc, L, s);
        ReleaseDC(h, dc);
    }
}

int HitButton(SkinWindow* w, POINT screen) {
    RECT wr;
    GetWindowRect(w->hwnd, &wr);
    POINT p{screen.x - wr.left, screen.y - wr.top};
    FrameLayout L = Layout(w->hwnd, ActiveSkin());
    for (int i = 0; i < 3; ++i)
        if (L.button[i].right > L.button[i].left && PtInRect(&L.button[i], p))
            return L.enabled[i] ? kButtonCodes[i] : -1;
    return 0;
}

bool HasDefaultFaceBrush(HWND h) {
    auto b = reinterpret_cast<HBRUSH>(GetClassLongPtrA(h, GCLP_HBRBACKGROUND));
    return b == reinterpret_cast<HBRUSH>(intptr_t(COLOR_3DFACE + 1)) || b == GetSysColorBrush(COLOR_3DFACE);
}

}  // namespace

void RepaintFrame(SkinWindow* w) {
    if (IsIconic(w->hwnd) || !IsWindowVisible(w->hwnd)) return;
    if (HDC dc = GetWindowDC(w->hwnd)) {
        const Skin* s = ActiveSkin();
        PaintFrame(w, dc, Layout(w->hwnd, s), s);
        ReleaseDC(w->hwnd, dc);
    }
}

void ApplyGlass(SkinWindow* w) {
    const Skin* s = ActiveSkin();
    if (w->kind != Kind::kFrame || !s) return;
    HWND h = w->hwnd;
    LONG ex = GetWindowLongA(h, GWL_EXSTYLE);
    if (GlassEnabled()) {
        if (!(ex & WS_EX_LAYERED)) {
            SetWindowLongA(h, GWL_EXSTYLE, ex | WS_EX_LAYERED);
            w->layered = true;
        }
        if (w->layered) SetLayeredWindowAttributes(h, 0, BYTE(s->metrics.glassAlpha), LWA_ALPHA);
    } else if (w->layered) {
        SetWindowLongA(h, GWL_EXSTYLE, ex & ~WS_EX_LAYERED);
        w->layered = false;
        RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
}

LRESULT FrameProc(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp) {
    HWND h = w->hwnd;
    switch (msg) {
        case WM_CREATE: {
            LRESULT r = Forward(w, msg, wp, lp);
            if (r != -1) ApplyGlass(w);
            return r;
        }
        case WM_NCPAINT:
            if (IsIconic(h)) return Forward(w, msg, wp, lp);
            PaintNonClient(w, reinterpret_cast<HRGN>(wp));
            return 0;
        case WM_NCACTIVATE: {
            w->active = wp != 0;
            // lParam -1 asks the default handler not to repaint the caption; the engine paints it.
            LRESULT r = Forward(w, msg, wp, -1);
            RepaintFrame(w);
            return r;
        }
        case WM_SETTEXT:
        case WM_SETICON: {
            LRESULT r = Forward(w, msg, wp, lp);
            RepaintFrame(w);
            return r;
        }
        case 0x00AE:  // WM_NCUAHDRAWCAPTION and WM_NCUAHDRAWFRAME: themed caption redraws of newer systems
        case 0x00AF: return 0;
        case WM_NCHITTEST: {
            LRESULT r = Forward(w, msg, wp, lp);
            if (int code = HitButton(w, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)})) return code > 0 ? code : HTCAPTION;
            if (IsCaptionButton(WPARAM(r)) || r == HTHELP) return HTCAPTION;
            return r;
        }
        case WM_NCMOUSEMOVE: {
            int part = IsCaptionButton(wp) ? int(wp) : 0;
            if (part != w->hotPart) {
                w->hotPart = part;
                if (part) {
                    TRACKMOUSEEVENT t{sizeof t, TME_LEAVE | TME_NONCLIENT, h, 0};
                    TrackMouseEvent(&t);
                }
                RepaintFrame(w);
            }
            return Forward(w, msg, wp, lp);
        }
        case WM_NCMOUSELEAVE:
            if (w->hotPart) {
                w->hotPart = 0;
                RepaintFrame(w);
            }
            return Forward(w, msg, wp, lp);
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK:
            if (IsCaptionButton(wp) && HitButton(w, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}) == int(wp)) {
                w->pressedPart = int(wp);
                w->pressedInside = true;
                SetCapture(h);
                RepaintFrame(w);
                return 0;
            }
            return Forward(w, msg, wp, lp);
        case WM_MOUSEMOVE:
            if (w->pressedPart) {
                POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
                ClientToScreen(h, &p);
                bool inside = HitButton(w, p) == w->pressedPart;
                if (inside != w->pressedInside) {
                    w->pressedInside = inside;
                    RepaintFrame(w);
                }
                return 0;
            }
            return Forward(w, msg, wp, lp);
        case WM_LBUTTONUP:
            if (w->pressedPart) {
                int part = w->pressedPart;
                POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
                ClientToScreen(h, &p);
                bool inside = HitButton(w, p) == part;
                w->pressedPart = 0;
                ReleaseCapture();
                RepaintFrame(w);
                if (inside) {
                    WPARAM command = part == HTCLOSE       ? SC_CLOSE
                                     : part == HTMINBUTTON ? SC_MINIMIZE
                                     : IsZoomed(h)         ? SC_RESTORE
                                                           : SC_MAXIMIZE;
                    SendMessageA(h, WM_SYSCOMMAND, command, MAKELPARAM(p.x, p.y));
                }
                return 0;
            }
            return Forward(w, msg, wp, lp);
        case WM_CAPTURECHANGED:
            if (w->pressedPart) {
                w->pressedPart = 0;
                RepaintFrame(w);
            }
            return Forward(w, msg, wp, lp);
        case WM_ERASEBKGND:
            // A window that leaves its background to the system's face colour gets the skin's face instead.
            if (HasDefaultFaceBrush(h)) {
                RECT r;
                GetClientRect(h, &r);
                FillRect(reinterpret_cast<HDC>(wp), &r, ActiveSkin()->brush[kWindowFace]);
                return 1;
            }
            return Forward(w, msg, wp, lp);
        default: return Forward(w, msg, wp, lp);
    }
}

}  // namespace skin

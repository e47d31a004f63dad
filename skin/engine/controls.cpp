// Skinned standard controls: buttons (push, check, radio, group), bordered edits and lists, combo boxes,
// scroll bars and progress bars. Each keeps its standard behaviour; the engine only takes over the painting.
#include "skin/engine/engine.h"

#include <commctrl.h>
#include <windowsx.h>

#include <atomic>

namespace skin {

namespace {

UINT RepaintMessage() {
    static std::atomic<UINT> message{0};
    UINT m = message.load(std::memory_order_relaxed);
    if (!m) message.store(m = RegisterWindowMessageA("SkinEngine.Repaint"), std::memory_order_relaxed);
    return m;
}

void Redraw(HWND h) { RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

void TrackLeave(HWND h) {
    TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, h, 0};
    TrackMouseEvent(&t);
}

bool FocusHidden(HWND h) { return (SendMessageA(h, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0; }

bool IsHollow(HBRUSH b) { return b == GetStockObject(NULL_BRUSH); }

// Text of a window in a heap buffer (empty string when it has none); free with HeapFree.
char* WindowText(HWND h, int* length) {
    int n = GetWindowTextLengthA(h);
    auto* text = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size_t(n) + 1));
    if (!text) {
        *length = 0;
        return nullptr;
    }
    *length = n > 0 ? GetWindowTextA(h, text, n + 1) : 0;
    text[*length] = 0;
    return text;
}

// Draws text in r; multi-line text is centred vertically by measuring it first.
void DrawLabel(HDC dc, const char* text, int n, RECT r, UINT horizontal, UINT vertical, bool multiline) {
    if (n <= 0) return;
    if (!multiline) {
        UINT v = vertical == DT_TOP ? DT_TOP : vertical == DT_BOTTOM ? DT_BOTTOM : DT_VCENTER;
        DrawTextA(dc, text, n, &r, horizontal | v | DT_SINGLELINE);
        return;
    }
    RECT need = r;
    DrawTextA(dc, text, n, &need, horizontal | DT_WORDBREAK | DT_CALCRECT);
    int h = need.bottom - need.top, room = r.bottom - r.top;
    if (vertical == DT_VCENTER && h < room)
        r.top += (room - h) / 2;
    else if (vertical == DT_BOTTOM && h < room)
        r.top = r.bottom - h;
    DrawTextA(dc, text, n, &r, horizontal | DT_WORDBREAK);
}

// --- Buttons ---------------------------------------------------------------------------------------------

enum class Look { kNone, kPush, kCheck, kRadio, kGroup };

Look LookOf(LONG style) {
    if (style & (BS_BITMAP | BS_ICON)) return Look::kNone;
    switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON: return Look::kPush;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE: return (style & BS_PUSHLIKE) ? Look::kPush : Look::kCheck;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return (style & BS_PUSHLIKE) ? Look::kPush : Look::kRadio;
        case BS_GROUPBOX: return Look::kGroup;
        default: return Look::kNone;  // owner-drawn and user buttons paint themselves
    }
}

UINT HorizontalAlign(LONG style, UINT fallback) {
    switch (style & BS_CENTER) {
        case BS_LEFT: return DT_LEFT;
        case BS_RIGHT: return DT_RIGHT;
        case BS_CENTER: return DT_CENTER;
        default: return fallback;
    }
}

UINT VerticalAlign(LONG style) {
    switch (style & BS_VCENTER) {
        case BS_TOP: return DT_TOP;
        case BS_BOTTOM: return DT_BOTTOM;
        default: return DT_VCENTER;
    }
}

void PaintPush(SkinWindow* w, HDC target, const Skin* s, LONG style) {
    HWND h = w->hwnd;
    RECT rc;
    GetClientRect(h, &rc);
    Buffer buffer(target, rc);
    HDC dc = buffer.dc();
    FillRect(dc, &rc, ParentColours(h, WM_CTLCOLORBTN, dc, nullptr));

    LRESULT state = SendMessageA(h, BM_GETSTATE, 0, 0);
    bool disabled = !IsWindowEnabled(h);
    bool pushed = (state & BST_PUSHED) || ((style & BS_PUSHLIKE) && (state & BST_CHECKED));
    bool focused = (state & BST_FOCUS) != 0;
    bool isDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    const COLORREF* c = s->colour;
    COLORREF top = c[kButtonTop], bottom = c[kButtonBottom], border = c[kButtonBorder];
    if (disabled) {
        top = bottom = Blend(c[kButtonBottom], c[kWindowFace], 128);
        border = Blend(border, c[kWindowFace], 110);
    } else if (pushed) {
        top = c[kButtonPressedTop];
        bottom = c[kButtonPressedBottom];
        border = Blend(border, c[kAccent], 150);
    } else if (w->hot) {
        top = c[kButtonHotTop];
        bottom = c[kButtonHotBottom];
        border = Blend(border, c[kAccent], 150);
    }
    if (!disabled && (focused || isDefault)) border = c[kAccent];
    int radius = s->metrics.buttonRadius;
    RoundedBox(dc, rc, radius, top, bottom, border);
    if (!disabled && focused && !FocusHidden(h)) {
        RECT inner{rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
        RoundedOutline(dc, inner, radius > 1 ? radius - 1 : 0, Blend(c[kAccent], top, 140));
    }

    int n;
    char* text = WindowText(h, &n);
    if (text && n > 0) {
        HGDIOBJ oldFont = SelectObject(dc, ControlFont(h));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, disabled ? c[kTextDisabled] : c[kButtonText]);
        RECT t{rc.left + Scale(4), rc.top + 1, rc.right - Scale(4), rc.bottom - 1};
        if (pushed) OffsetRect(&t, 0, 1);
        DrawLabel(dc, text, n, t, HorizontalAlign(style, DT_CENTER), VerticalAlign(style), (style & BS_MULTILINE) != 0);
        SelectObject(dc, oldFont);
    }
    if (text) HeapFree(GetProcessHeap(), 0, text);
    buffer.Finish();
}

void PaintTick(HDC dc, const RECT& box, COLORREF c) {
    int size = box.right - box.left;
    POINT p[3] = {{box.left + size * 22 / 100, box.top + size * 50 / 100},
                  {box.left + size * 42 / 100, box.top + size * 70 / 100},
                  {box.left + size * 78 / 100, box.top + size * 28 / 100}};
    int width = size >= 12 ? 2 : 1;
    Line(dc, p[0].x, p[0].y, p[1].x, p[1].y, c, width);
    Line(dc, p[1].x, p[1].y, p[2].x, p[2].y, c, width);
}

void PaintCheck(SkinWindow* w, HDC target, const Skin* s, LONG style, bool radio) {
    HWND h = w->hwnd;
    RECT rc;
    GetClientRect(h, &rc);
    COLORREF textColour;
    HBRUSH back = ParentColours(h, WM_CTLCOLORSTATIC, target, &textColour);
    // A parent that answers with the hollow brush wants its own background to show: paint in place.
    bool hollow = IsHollow(back);
    Buffer buffer(target, hollow ? RECT{0, 0, 0, 0} : rc);
    HDC dc = buffer.dc();
    if (!hollow) FillRect(dc, &rc, back);

    const COLORREF* c = s->colour;
    LRESULT state = SendMessageA(h, BM_GETSTATE, 0, 0);
    LRESULT check = SendMessageA(h, BM_GETCHECK, 0, 0);
    bool disabled = !IsWindowEnabled(h), pushed = (state & BST_PUSHED) != 0;
    int size = Scale(13);
    if (size > rc.bottom - rc.top) size = rc.bottom - rc.top;
    bool boxRight = (style & BS_LEFTTEXT) != 0;
    int top = (rc.top + rc.bottom - size) / 2;
    if ((style & BS_VCENTER) == BS_TOP)
        top = rc.top;
    else if ((style & BS_VCENTER) == BS_BOTTOM)
        top = rc.bottom - size;
    RECT box{boxRight ? rc.right - size : rc.left, top, boxRight ? rc.right : rc.left + size, top + size};

    COLORREF border = c[kCheckBorder];
    if (disabled)
        border = Blend(border, c[kWindowFace], 130);
    else if (pushed || w->hot)
        border = c[kAccent];
    COLORREF fill = pushed ? Blend(c[kCheckBack], c[kAccent], 45) : c[kCheckBack];
    bool on = check == BST_CHECKED;
    COLORREF onFill = disabled ? Blend(c[kCheckedBack], c[kWindowFace], 140) : c[kCheckedBack];
    if (radio) {
        double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0, r = size / 2.0;
        Disc(dc, cx, cy, r, on ? onFill : border);
        if (!on)
            Disc(dc, cx, cy, r - 1, fill);
        else
            Disc(dc, cx, cy, r * 0.38, c[kCheckMark]);
    } else if (on) {
        RoundedBox(dc, box, s->metrics.checkRadius, onFill, onFill, Blend(onFill, RGB(0, 0, 0), 30));
        PaintTick(dc, box, c[kCheckMark]);
    } else {
        RoundedBox(dc, box, s->metrics.checkRadius, fill, fill, border);
        if (check == BST_INDETERMINATE) {
            int inset = size * 28 / 100;
            FillSolid(dc, RECT{box.left + inset, box.top + inset, box.right - inset, box.bottom - inset}, onFill);
        }
    }

    int n;
    char* text = WindowText(h, &n);
    if (text && n > 0) {
        HGDIOBJ oldFont = SelectObject(dc, ControlFont(h));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, disabled ? c[kTextDisabled] : textColour);
        int gap = Scale(5);
        RECT t = boxRight ? RECT{rc.left, rc.top, box.left - gap, rc.bottom}
                          : RECT{box.right + gap, rc.top, rc.right, rc.bottom};
        bool multiline = (style & BS_MULTILINE) != 0;
        DrawLabel(dc, text, n, t, HorizontalAlign(style, DT_LEFT), VerticalAlign(style), multiline);
        if ((state & BST_FOCUS) && !FocusHidden(h)) {
            RECT f = t;
            DrawTextA(dc, text, n, &f, (multiline ? DT_WORDBREAK : DT_SINGLELINE) | DT_CALCRECT);
            int hgt = f.bottom - f.top;
            f.top = (t.top + t.bottom - hgt) / 2;
            f.bottom = f.top + hgt;
            InflateRect(&f, 1, 1);
            SetTextColor(dc, RGB(0, 0, 0));
            SetBkColor(dc, RGB(255, 255, 255));
            DrawFocusRect(dc, &f);
        }
        SelectObject(dc, oldFont);
    }
    if (text) HeapFree(GetProcessHeap(), 0, text);
    buffer.Finish();
}

void PaintGroup(SkinWindow* w, HDC dc, const Skin* s) {
    HWND h = w->hwnd;
    RECT rc;
    GetClientRect(h, &rc);
    COLORREF textColour;
    HBRUSH back = ParentColours(h, WM_CTLCOLORSTATIC, dc, &textColour);
    HGDIOBJ oldFont = SelectObject(dc, ControlFont(h));
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    int n;
    char* text = WindowText(h, &n);
    RECT label{0, 0, 0, 0};
    if (text && n > 0) {
        DrawTextA(dc, text, n, &label, DT_SINGLELINE | DT_CALCRECT);
        int x = rc.left + Scale(8), width = label.right - label.left + Scale(6);
        if (x + width > rc.right - Scale(4)) width = rc.right - Scale(4) - x;
        label = RECT{x, rc.top, x + (width > 0 ? width : 0), rc.top + tm.tmHeight};
    }
    int saved = SaveDC(dc);
    if (label.right > label.left) ExcludeClipRect(dc, label.left, label.top, label.right, label.bottom);
    RoundedOutline(dc, RECT{rc.left, rc.top + tm.tmHeight / 2, rc.right, rc.bottom}, s->metrics.buttonRadius,
                   s->colour[kGroupBorder]);
    RestoreDC(dc, saved);
    if (label.right > label.left) {
        if (!IsHollow(back)) FillRect(dc, &label, back);
        SetBkMode(dc, TRANSPARENT);
        // The parent's own text colour wins; the skin's default text colour becomes the group title colour.
        COLORREF colour = textColour == s->colour[kText] ? s->colour[kGroupText] : textColour;
        SetTextColor(dc, IsWindowEnabled(h) ? colour : s->colour[kTextDisabled]);
        RECT t{label.left + Scale(3), label.top, label.right - Scale(3), label.bottom};
        DrawTextA(dc, text, n, &t, DT_SINGLELINE | DT_LEFT | DT_TOP | DT_END_ELLIPSIS);
    }
    if (text) HeapFree(GetProcessHeap(), 0, text);
    SelectObject(dc, oldFont);
}

// --- Edit and list borders ------------------------------------------------------------------------------

void PaintBorder(SkinWindow* w) {
    HWND h = w->hwnd;
    const Skin* s = ActiveSkin();
    LONG style = GetWindowLongA(h, GWL_STYLE), ex = GetWindowLongA(h, GWL_EXSTYLE);
    if (!(style & WS_BORDER) && !(ex & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE))) return;
    if (!IsWindowVisible(h)) return;
    RECT wr;
    GetWindowRect(h, &wr);
    POINT origin{0, 0};
    ClientToScreen(h, &origin);
    int thickness = origin.x - wr.left;
    if (origin.y - wr.top < thickness) thickness = origin.y - wr.top;
    if (thickness <= 0) return;
    HDC dc = GetWindowDC(h);
    if (!dc) return;
    RECT outer{0, 0, wr.right - wr.left, wr.bottom - wr.top};
    const COLORREF* c = s->colour;
    COLORREF border = c[kEditBorder];
    if (!IsWindowEnabled(h))
        border = Blend(border, c[kWindowFace], 110);
    else if (GetFocus() == h)
        border = c[kEditBorderFocus];
    else if (w->hot)
        border = Blend(border, c[kEditBorderFocus], 120);
    FrameSolid(dc, outer, border);
    if (thickness >= 2) {
        char cls[16] = {};
        GetClassNameA(h, cls, sizeof cls);
        bool list = lstrcmpiA(cls, "ListBox") == 0 || lstrcmpiA(cls, "ComboLBox") == 0;
        UINT msg = list                                             ? WM_CTLCOLORLISTBOX
                   : (!IsWindowEnabled(h) || (style & ES_READONLY)) ? WM_CTLCOLORSTATIC
                                                                    : WM_CTLCOLOREDIT;
        HBRUSH back = ParentColours(h, msg, dc, nullptr);
        RECT inner{1, 1, outer.right - 1, outer.bottom - 1};
        if (!IsHollow(back)) FrameRect(dc, &inner, back);
    }
    ReleaseDC(h, dc);
}

// --- Combo boxes ----------------------------------------------------------------------------------------

int ComboButtonWidth() { return GetSystemMetrics(SM_CXVSCROLL); }

// Border and drop-down button of a combo box, over whatever is inside.
void PaintComboFrame(SkinWindow* w, HDC dc, const Skin* s, const RECT& rc, COLORREF back) {
    HWND h = w->hwnd;
    const COLORREF* c = s->colour;
    bool disabled = !IsWindowEnabled(h);
    bool dropped = SendMessageA(h, CB_GETDROPPEDSTATE, 0, 0) != 0;
    bool focused = GetFocus() == h || IsChild(h, GetFocus());
    RECT button{rc.right - 1 - ComboButtonWidth(), rc.top + 1, rc.right - 1, rc.bottom - 1};
    if (!disabled && (dropped || w->hot)) {
        RECT b{button.left, button.top + 1, button.right - 1, button.bottom - 1};
        FillGradient(dc, b, dropped ? c[kButtonPressedTop] : c[kButtonHotTop],
                     dropped ? c[kButtonPressedBottom] : c[kButtonHotBottom]);
    } else {
        FillSolid(dc, button, back);
    }
    Chevron(dc, button, disabled ? c[kTextDisabled] : c[kScrollArrow], Direction::kDown);
    COLORREF border = c[kEditBorder];
    if (disabled)
        border = Blend(border, c[kWindowFace], 110);
    else if (focused || dropped)
        border = c[kEditBorderFocus];
    else if (w->hot)
        border = Blend(border, c[kEditBorderFocus], 120);
    RoundedOutline(dc, rc, s->metrics.buttonRadius > 2 ? 2 : s->metrics.buttonRadius, border);
}

void PaintDropList(SkinWindow* w, HDC target, const Skin* s) {
    HWND h = w->hwnd;
    RECT rc;
    GetClientRect(h, &rc);
    Buffer buffer(target, rc);
    HDC dc = buffer.dc();
    const COLORREF* c = s->colour;
    bool disabled = !IsWindowEnabled(h);
    COLORREF textColour;
    // The parent's corners around the rounded border, then the field itself.
    FillRect(dc, &rc, ParentColours(h, WM_CTLCOLORSTATIC, dc, nullptr));
    HBRUSH field = ParentColours(h, disabled ? WM_CTLCOLORSTATIC : WM_CTLCOLORLISTBOX, dc, &textColour);
    RECT inside{rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
    if (!IsHollow(field)) FillRect(dc, &inside, field);
    LOGBRUSH lb{};
    GetObjectA(field, sizeof lb, &lb);
    COLORREF back = lb.lbStyle == BS_SOLID ? lb.lbColor : c[kEditBack];

    bool dropped = SendMessageA(h, CB_GETDROPPEDSTATE, 0, 0) != 0;
    RECT text{inside.left, inside.top, inside.right - ComboButtonWidth(), inside.bottom};
    int selected = int(SendMessageA(h, CB_GETCURSEL, 0, 0));
    if (selected >= 0) {
        int n = int(SendMessageA(h, CB_GETLBTEXTLEN, selected, 0));
        auto* item = n >= 0 ? static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size_t(n) + 1)) : nullptr;
        if (item) {
            item[0] = 0;
            int got = int(SendMessageA(h, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(item)));
            COLORREF colour = disabled ? c[kTextDisabled] : textColour;
            if (GetFocus() == h && !dropped && !disabled) {
                RECT mark{text.left + 1, text.top + 1, text.right - 1, text.bottom - 1};
                FillSolid(dc, mark, c[kSelectionBack]);
                colour = c[kSelectionText];
            }
            HGDIOBJ oldFont = SelectObject(dc, ControlFont(h));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, colour);
            RECT t{text.left + Scale(4), text.top, text.right - 2, text.bottom};
            if (got > 0) DrawTextA(dc, item, got, &t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
            SelectObject(dc, oldFont);
            HeapFree(GetProcessHeap(), 0, item);
        }
    }
    PaintComboFrame(w, dc, s, rc, back);
    buffer.Finish();
}

// An editable combo box: the edit child paints the text; the engine paints the border and button around it.
void PaintEditableCombo(SkinWindow* w, const Skin* s) {
    HWND h = w->hwnd;
    HDC dc = GetDC(h);
    if (!dc) return;
    RECT rc;
    GetClientRect(h, &rc);
    if (HWND edit = GetWindow(h, GW_CHILD)) {
        RECT er;
        GetWindowRect(edit, &er);
        MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&er), 2);
        ExcludeClipRect(dc, er.left, er.top, er.right, er.bottom);
    }
    HBRUSH field = ParentColours(h, IsWindowEnabled(h) ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC, dc, nullptr);
    RECT inside{rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
    if (!IsHollow(field)) FillRect(dc, &inside, field);
    LOGBRUSH lb{};
    GetObjectA(field, sizeof lb, &lb);
    PaintComboFrame(w, dc, s, rc, lb.lbStyle == BS_SOLID ? lb.lbColor : s->colour[kEditBack]);
    ReleaseDC(h, dc);
}

// --- Scroll bars ----------------------------------------------------------------------------------------

enum Part { kNoPart, kArrowBefore, kPageBefore, kThumb, kPageAfter, kArrowAfter };

struct ScrollGeometry {
    bool vertical;
    int length, thickness, arrow;
    bool hasThumb;
    int thumbStart, thumbLength;  // along the bar
};

ScrollGeometry Measure(SkinWindow* w, const RECT& rc) {
    HWND h = w->hwnd;
    ScrollGeometry g{};
    g.vertical = (GetWindowLongA(h, GWL_STYLE) & SBS_VERT) != 0;
    g.length = g.vertical ? rc.bottom - rc.top : rc.right - rc.left;
    g.thickness = g.vertical ? rc.right - rc.left : rc.bottom - rc.top;
    g.arrow = g.thickness * 2 > g.length ? g.length / 2 : g.thickness;
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    if (!IsWindowEnabled(h) || !GetScrollInfo(h, SB_CTL, &si)) return g;
    int track = g.length - 2 * g.arrow;
    int range = si.nMax - si.nMin + 1;
    if (track <= 0 || range <= 0) return g;
    int thumb = si.nPage ? MulDiv(track, int(si.nPage), range) : g.thickness;
    int least = Scale(10) < track ? Scale(10) : track;
    if (thumb < least) thumb = least;
    if (thumb >= track) return g;
    int maxPos = si.nMax - (si.nPage > 1 ? int(si.nPage) - 1 : 0);
    int span = maxPos - si.nMin;
    int pos = (w->tracking && w->pressedPart == kThumb) ? si.nTrackPos : si.nPos;
    if (pos < si.nMin) pos = si.nMin;
    if (pos > maxPos) pos = maxPos;
    g.hasThumb = true;
    g.thumbLength = thumb;
    g.thumbStart = g.arrow + (span > 0 ? MulDiv(track - thumb, pos - si.nMin, span) : 0);
    return g;
}

int PartAt(SkinWindow* w, POINT p) {
    RECT rc;
    GetClientRect(w->hwnd, &rc);
    if (!PtInRect(&rc, p)) return kNoPart;
    ScrollGeometry g = Measure(w, rc);
    int at = g.vertical ? p.y : p.x;
    if (at < g.arrow) return kArrowBefore;
    if (at >= g.length - g.arrow) return kArrowAfter;
    if (!g.hasThumb) return at < g.length / 2 ? kPageBefore : kPageAfter;
    if (at < g.thumbStart) return kPageBefore;
    if (at < g.thumbStart + g.thumbLength) return kThumb;
    return kPageAfter;
}

RECT Along(const ScrollGeometry& g, const RECT& rc, int from, int to) {
    return g.vertical ? RECT{rc.left, rc.top + from, rc.right, rc.top + to}
                      : RECT{rc.left + from, rc.top, rc.left + to, rc.bottom};
}

void PaintScrollBar(SkinWindow* w, HDC target, const Skin* s) {
    HWND h = w->hwnd;
    RECT rc;
    GetClientRect(h, &rc);
    Buffer buffer(target, rc);
    HDC dc = buffer.dc();
    const COLORREF* c = s->colour;
    ScrollGeometry g = Measure(w, rc);
    bool disabled = !IsWindowEnabled(h);
    FillSolid(dc, rc, c[kScrollTrack]);
    int pressed = w->tracking ? w->pressedPart : kNoPart;
    if (pressed == kPageBefore || pressed == kPageAfter) {
        RECT page = pressed == kPageBefore
                        ? Along(g, rc, g.arrow, g.hasThumb ? g.thumbStart : g.length / 2)
                        : Along(g, rc, g.hasThumb ? g.thumbStart + g.thumbLength : g.length / 2, g.length - g.arrow);
        FillSolid(dc, page, Blend(c[kScrollTrack], c[kScrollThumb], 90));
    }
    for (int part = kArrowBefore; part <= kArrowAfter; part += kArrowAfter - kArrowBefore) {
        RECT a = part == kArrowBefore ? Along(g, rc, 0, g.arrow) : Along(g, rc, g.length - g.arrow, g.length);
        if (!disabled && (pressed == part || (!w->tracking && w->hotPart == part)))
            FillSolid(dc, a, pressed == part ? c[kScrollThumbHot] : Blend(c[kScrollTrack], c[kScrollThumb], 130));
        Direction d = g.vertical ? (part == kArrowBefore ? Direction::kUp : Direction::kDown)
                                 : (part == kArrowBefore ? Direction::kLeft : Direction::kRight);
        Chevron(dc, a, disabled ? Blend(c[kScrollArrow], c[kScrollTrack], 170) : c[kScrollArrow], d);
    }
    if (g.hasThumb) {
        RECT t = Along(g, rc, g.thumbStart + 1, g.thumbStart + g.thumbLength - 1);
        int inset = g.thickness / 5;
        if (g.vertical)
            InflateRect(&t, -inset, 0);
        else
            InflateRect(&t, 0, -inset);
        COLORREF fill = pressed == kThumb                        ? Blend(c[kScrollThumbHot], RGB(0, 0, 0), 35)
                        : (w->hotPart == kThumb && !w->tracking) ? c[kScrollThumbHot]
                                                                 : c[kScrollThumb];
        int radius = (g.thickness - 2 * inset) / 2;
        if (radius > s->metrics.buttonRadius + 2) radius = s->metrics.buttonRadius + 2;
        RoundedBox(dc, t, radius, fill, fill, fill);
    }
    buffer.Finish();
}

// --- Progress bars --------------------------------------------------------------------------------------

void PaintProgress(SkinWindow* w, HDC target, const Skin* s) {
    HWND h = w->hwnd;
    RECT rc;
    GetClientRect(h, &rc);
    Buffer buffer(target, rc);
    HDC dc = buffer.dc();
    const COLORREF* c = s->colour;
    FillRect(dc, &rc, ParentColours(h, WM_CTLCOLORSTATIC, dc, nullptr));
    auto track = COLORREF(SendMessageA(h, PBM_GETBKCOLOR, 0, 0));
    if (track == CLR_DEFAULT) track = c[kProgressTrack];
    int radius = s->metrics.progressRadius;
    if (radius * 2 > rc.bottom - rc.top) radius = (rc.bottom - rc.top) / 2;
    RoundedBox(dc, rc, radius, track, track, c[kProgressBorder]);

    int lo = int(SendMessageA(h, PBM_GETRANGE, TRUE, 0)), hi = int(SendMessageA(h, PBM_GETRANGE, FALSE, 0));
    int pos = int(SendMessageA(h, PBM_GETPOS, 0, 0));
    bool vertical = (GetWindowLongA(h, GWL_STYLE) & PBS_VERTICAL) != 0;
    RECT inner{rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
    if (hi > lo && pos > lo) {
        if (pos > hi) pos = hi;
        RECT bar = inner;
        if (vertical)
            bar.top = inner.bottom - MulDiv(inner.bottom - inner.top, pos - lo, hi - lo);
        else
            bar.right = inner.left + MulDiv(inner.right - inner.left, pos - lo, hi - lo);
        auto custom = COLORREF(SendMessageA(h, PBM_GETBARCOLOR, 0, 0));
        COLORREF top = custom == CLR_DEFAULT ? c[kProgressTop] : custom;
        COLORREF bottom = custom == CLR_DEFAULT ? c[kProgressBottom] : custom;
        if (!IsWindowEnabled(h)) {
            top = Blend(top, c[kWindowFace], 150);
            bottom = Blend(bottom, c[kWindowFace], 150);
        }
        int barRadius = radius > 1 ? radius - 1 : 0;
        RoundedBox(dc, bar, barRadius, top, bottom, Blend(bottom, RGB(0, 0, 0), 20));
        RECT shine{bar.left + 1, bar.top + 1, bar.right - 1, bar.top + 2};
        if (shine.right > shine.left && bar.bottom - bar.top > 4)
            FillSolid(dc, shine, Blend(top, RGB(255, 255, 255), 90));
    }
    buffer.Finish();
}

// Paint entry shared by WM_PAINT and WM_PRINTCLIENT.
template <typename Painter>
LRESULT PaintWith(SkinWindow* w, UINT msg, WPARAM wp, Painter paint) {
    if (msg == WM_PRINTCLIENT || wp) {
        paint(reinterpret_cast<HDC>(wp));
        return 0;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w->hwnd, &ps);
    if (dc) paint(dc);
    EndPaint(w->hwnd, &ps);
    return 0;
}

void SetHot(SkinWindow* w, bool hot) {
    if (w->hot == hot) return;
    w->hot = hot;
    if (hot) TrackLeave(w->hwnd);
    InvalidateRect(w->hwnd, nullptr, FALSE);
}

}  // namespace

LRESULT ButtonProc(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp) {
    LONG style = GetWindowLongA(w->hwnd, GWL_STYLE);
    Look look = LookOf(style);
    if (look == Look::kNone) return Forward(w, msg, wp, lp);
    const Skin* s = ActiveSkin();
    switch (msg) {
        case WM_PAINT:
        case WM_PRINTCLIENT:
            return PaintWith(w, msg, wp, [&](HDC dc) {
                if (look == Look::kPush)
                    PaintPush(w, dc, s, style);
                else if (look == Look::kGroup)
                    PaintGroup(w, dc, s);
                else
                    PaintCheck(w, dc, s, style, look == Look::kRadio);
            });
        case WM_ERASEBKGND: return look == Look::kGroup ? Forward(w, msg, wp, lp) : 1;
        case WM_MOUSEMOVE:
            if (look != Look::kGroup) SetHot(w, true);
            return Forward(w, msg, wp, lp);
        case WM_MOUSELEAVE: SetHot(w, false); return Forward(w, msg, wp, lp);
        // The standard button paints itself directly after these; a press shows at once.
        case BM_SETSTATE: return ForwardQuietly(w, msg, wp, lp, true);
        case BM_SETCHECK:
        case BM_SETSTYLE:
        case WM_SETTEXT:
        case WM_ENABLE:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_UPDATEUISTATE: return ForwardQuietly(w, msg, wp, lp);
        default: return Forward(w, msg, wp, lp);
    }
}

LRESULT BorderedProc(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_NCPAINT:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
        case WM_STYLECHANGED: {
            LRESULT r = Forward(w, msg, wp, lp);
            PaintBorder(w);
            return r;
        }
        case WM_MOUSEMOVE:
            if (!w->hot) {
                w->hot = true;
                TrackLeave(w->hwnd);
                PaintBorder(w);
            }
            return Forward(w, msg, wp, lp);
        case WM_MOUSELEAVE:
            if (w->hot) {
                w->hot = false;
                PaintBorder(w);
            }
            return Forward(w, msg, wp, lp);
        default: return Forward(w, msg, wp, lp);
    }
}

LRESULT ComboProc(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp) {
    HWND h = w->hwnd;
    LONG style = GetWindowLongA(h, GWL_STYLE);
    int type = style & 3;
    if (type == CBS_SIMPLE || (style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE))) return Forward(w, msg, wp, lp);
    bool list = type == CBS_DROPDOWNLIST;
    const Skin* s = ActiveSkin();
    switch (msg) {
        case WM_PAINT:
        case WM_PRINTCLIENT:
            if (list) return PaintWith(w, msg, wp, [&](HDC dc) { PaintDropList(w, dc, s); });
            {
                LRESULT r = Forward(w, msg, wp, lp);
                PaintEditableCombo(w, s);
                return r;
            }
        case WM_ERASEBKGND: return list ? 1 : Forward(w, msg, wp, lp);
        case WM_MOUSEMOVE: SetHot(w, true); return Forward(w, msg, wp, lp);
        case WM_MOUSELEAVE: SetHot(w, false); return Forward(w, msg, wp, lp);
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
        case WM_SETTEXT:
        case CB_SETCURSEL:
        case CB_RESETCONTENT:
        case CB_DELETESTRING:
            if (list) return ForwardQuietly(w, msg, wp, lp);
            [[fallthrough]];
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_KEYDOWN:
        case WM_CHAR:
        case WM_COMMAND:
        case WM_MOUSEWHEEL:
        case WM_CAPTURECHANGED:
        case CB_SHOWDROPDOWN:
        case CB_SELECTSTRING: {
            LRESULT r = Forward(w, msg, wp, lp);
            if (IsWindow(h)) Redraw(h);
            return r;
        }
        default: return Forward(w, msg, wp, lp);
    }
}

void ScrollTrackingStep(HWND hwnd) {
    SkinWindow* w = FindSkinWindow(hwnd);
    if (w && w->kind == Kind::kScrollBar && w->tracking) PostMessageA(hwnd, RepaintMessage(), 0, 0);
}

LRESULT ScrollBarProc(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp) {
    HWND h = w->hwnd;
    if (GetWindowLongA(h, GWL_STYLE) & (SBS_SIZEBOX | SBS_SIZEGRIP)) return Forward(w, msg, wp, lp);
    const Skin* s = ActiveSkin();
    if (msg == RepaintMessage()) {
        Redraw(h);
        return 0;
    }
    switch (msg) {
        case WM_PAINT:
        case WM_PRINTCLIENT: return PaintWith(w, msg, wp, [&](HDC dc) { PaintScrollBar(w, dc, s); });
        case WM_ERASEBKGND: return 1;
        case SBM_SETPOS:
        case SBM_SETRANGE:
        case SBM_SETRANGEREDRAW:
        case SBM_SETSCROLLINFO:
        case SBM_ENABLE_ARROWS:
        case WM_ENABLE: return ForwardQuietly(w, msg, wp, lp);
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            // The standard control may run its own tracking loop inside this call; the message-filter hook
            // repaints after each of its steps.
            w->pressedPart = PartAt(w, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
            w->tracking = true;
            LRESULT r = Forward(w, msg, wp, lp);
            if (!IsWindow(h)) return r;
            if (GetCapture() != h) {
                w->tracking = false;
                w->pressedPart = kNoPart;
            }
            Redraw(h);
            return r;
        }
        case WM_MOUSEMOVE: {
            int part = PartAt(w, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
            if (part != w->hotPart) {
                w->hotPart = part;
                TrackLeave(h);
                InvalidateRect(h, nullptr, FALSE);
            }
            LRESULT r = Forward(w, msg, wp, lp);
            if (w->tracking && IsWindow(h)) Redraw(h);
            return r;
        }
        case WM_MOUSELEAVE:
            w->hotPart = kNoPart;
            InvalidateRect(h, nullptr, FALSE);
            return Forward(w, msg, wp, lp);
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
        case WM_CANCELMODE: {
            LRESULT r = Forward(w, msg, wp, lp);
            if (!IsWindow(h)) return r;
            w->tracking = false;
            w->pressedPart = kNoPart;
            Redraw(h);
            return r;
        }
        case WM_TIMER:
        case 0x0118: {  // WM_SYSTIMER: the standard control's auto-repeat while an arrow is held
            LRESULT r = Forward(w, msg, wp, lp);
            if (w->tracking && IsWindow(h)) Redraw(h);
            return r;
        }
        default: return Forward(w, msg, wp, lp);
    }
}

LRESULT ProgressProc(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp) {
    if (GetWindowLongA(w->hwnd, GWL_STYLE) & PBS_MARQUEE) return Forward(w, msg, wp, lp);
    const Skin* s = ActiveSkin();
    switch (msg) {
        case WM_PAINT:
        case WM_PRINTCLIENT: return PaintWith(w, msg, wp, [&](HDC dc) { PaintProgress(w, dc, s); });
        case WM_ERASEBKGND: return 1;
        default: return Forward(w, msg, wp, lp);
    }
}

}  // namespace skin

// Internals of the skin engine: the active skin, the table of skinned windows, and the painters' entry points.
#pragma once

#include <windows.h>

#include <cstdint>

#include "skin/skin_format.h"

namespace skin {

// A skin ready to paint with: the file's colours (after the caller's hue/saturation/lightness adjustment), its
// metrics, a copy of its caption texture, a brush per colour role and the caption font. Never changed once
// published; a replaced skin stays allocated because another thread may still be painting with it.
struct Skin {
    COLORREF colour[kRoleCount];
    HBRUSH brush[kRoleCount];
    Metrics metrics;
    uint16_t tileWidth, tileHeight;
    uint8_t tileStrength, tileMode;
    uint8_t* tile;  // tileWidth * tileHeight intensities, or null
    HFONT captionFont;
};

const Skin* ActiveSkin();
// Builds a skin from a checked file; hue in degrees, saturation and lightness in percent (0 = as stored).
Skin* CreateSkin(const SkinData& data, int32_t hue, int32_t saturation, int32_t lightness);
void PublishSkin(Skin* skin);
bool GlassEnabled();
void SetGlassEnabled(bool on);

// What a skinned window is, and so which painter serves it.
enum class Kind : uint8_t { kFrame, kFace, kButton, kBordered, kCombo, kScrollBar, kProgress };

// Per-window state, owned by the window table; touched only on the window's own thread.
struct SkinWindow {
    HWND hwnd;
    WNDPROC oldProc;
    Kind kind;
    bool dead;        // WM_NCDESTROY seen; freed when the last nested call returns
    bool active;      // frame: caption drawn active
    bool layered;     // frame: the engine made it layered for the translucent mode
    bool hot;         // pointer over the control
    bool tracking;    // scroll bar: the default scroll tracking loop runs
    int depth;        // nesting of this window's messages inside the engine's window procedure
    int hotPart;      // frame: caption button under the pointer; scroll bar: part under the pointer
    int pressedPart;  // frame: caption button held down; scroll bar: part taken by the tracking loop
    bool pressedInside;
    HMENU menu;            // frame: the menu bar last given the skin's menu background
    const Skin* menuSkin;  // ... and the skin it was given
};

// The original window procedure, as CallWindowProcA.
LRESULT Forward(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp);
// Forwards a message after which the standard control paints itself directly, hiding that painting, then
// has the control repainted through its skinned WM_PAINT: at once with now (visible feedback such as a
// pressed button), otherwise with the next paint.
LRESULT ForwardQuietly(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp, bool now = false);
// The colour answer of a parent: replaces the system's default face or window brush with the skin's.
LRESULT SkinCtlColor(UINT msg, HDC dc, LRESULT answer);
// Asks hwnd's parent for its background brush and text colour as the standard control would.
HBRUSH ParentColours(HWND hwnd, UINT msg, HDC dc, COLORREF* text);

LRESULT FrameProc(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT ButtonProc(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT BorderedProc(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT ComboProc(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT ScrollBarProc(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT ProgressProc(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp);

// Frame helpers used when the skin or the translucent mode changes.
void ApplyGlass(SkinWindow* w);
void RepaintFrame(SkinWindow* w);
// Message-filter hook hand-off: a scroll bar's tracking loop processed a message.
void ScrollTrackingStep(HWND hwnd);
SkinWindow* FindSkinWindow(HWND hwnd);

// Drawing helpers (draw.cpp).
COLORREF Blend(COLORREF a, COLORREF b, int weightOfB);  // weightOfB 0..255
void FillSolid(HDC dc, const RECT& r, COLORREF c);
void FillGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom);
void FrameSolid(HDC dc, const RECT& r, COLORREF c);
// A rounded rectangle: gradient inside, one-pixel border; the corners outside keep what dc holds.
void RoundedBox(HDC dc, const RECT& r, int radius, COLORREF top, COLORREF bottom, COLORREF border);
void RoundedOutline(HDC dc, const RECT& r, int radius, COLORREF border);
// A filled circle with smoothed edge, blended over what dc holds.
void Disc(HDC dc, double cx, double cy, double radius, COLORREF c);
void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF c, int width = 1);
enum class Direction { kUp, kDown, kLeft, kRight };
// A chevron centred in r.
void Chevron(HDC dc, const RECT& r, COLORREF c, Direction d);
HFONT ControlFont(HWND hwnd);
int Scale(int pixels);  // 96-dpi pixels to device pixels

// A memory DC the size of a rectangle; Finish copies it to the target.
class Buffer {
public:
    Buffer(HDC target, const RECT& r);
    ~Buffer();
    HDC dc() const { return mem_ ? mem_ : target_; }
    void Finish();

private:
    HDC target_;
    RECT rect_;
    HDC mem_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

}  // namespace skin

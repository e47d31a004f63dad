// The active skin: building its brushes and font from a skin file, colour adjustment, and the translucent mode.
#include <atomic>
#include <cmath>

#include "skin/engine/engine.h"

namespace skin {

namespace {

std::atomic<Skin*> g_active{nullptr};
std::atomic<bool> g_glass{false};

struct Hsl {
    double h, s, l;
};

Hsl ToHsl(COLORREF c) {
    double r = GetRValue(c) / 255.0, g = GetGValue(c) / 255.0, b = GetBValue(c) / 255.0;
    double mx = r > g ? (r > b ? r : b) : (g > b ? g : b), mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
    Hsl o{0, 0, (mx + mn) / 2};
    double d = mx - mn;
    if (d > 1e-9) {
        o.s = o.l > 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
        if (mx == r)
            o.h = (g - b) / d + (g < b ? 6 : 0);
        else if (mx == g)
            o.h = (b - r) / d + 2;
        else
            o.h = (r - g) / d + 4;
        o.h *= 60;
    }
    return o;
}

COLORREF FromHsl(Hsl c) {
    double h = std::fmod(std::fmod(c.h, 360.0) + 360.0, 360.0) / 360.0;
    double q = c.l < 0.5 ? c.l * (1 + c.s) : c.l + c.s - c.l * c.s, p = 2 * c.l - q;
    auto channel = [&](double t) {
        t = t < 0 ? t + 1 : t > 1 ? t - 1 : t;
        double v = t < 1.0 / 6 ? p + (q - p) * 6 * t : t < 0.5 ? q : t < 2.0 / 3 ? p + (q - p) * (2.0 / 3 - t) * 6 : p;
        return BYTE(std::lround(v * 255));
    };
    return RGB(channel(h + 1.0 / 3), channel(h), channel(h - 1.0 / 3));
}

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

COLORREF Adjust(COLORREF c, int hue, int saturation, int lightness) {
    if (!hue && !saturation && !lightness) return c;
    Hsl x = ToHsl(c);
    x.h += hue;
    x.s = x.s * (100 + saturation) / 100.0;
    x.s = x.s < 0 ? 0 : x.s > 1 ? 1 : x.s;
    x.l = lightness >= 0 ? x.l + (1 - x.l) * lightness / 100.0 : x.l * (100 + lightness) / 100.0;
    return FromHsl(x);
}

struct FaceSearch {
    const char* face;
    bool found;
};

int CALLBACK NoteFace(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM lp) {
    reinterpret_cast<FaceSearch*>(lp)->found = true;
    return 0;
}

bool FaceInstalled(const char* face) {
    if (!face[0]) return false;
    LOGFONTA lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
    FaceSearch s{face, false};
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExA(dc, &lf, &NoteFace, reinterpret_cast<LPARAM>(&s), 0);
    ReleaseDC(nullptr, dc);
    return s.found;
}

HFONT MakeCaptionFont(const Metrics& m) {
    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof ncm;
    LOGFONTA lf{};
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) {
        lf = ncm.lfCaptionFont;
    } else {
        lf.lfHeight = -12;
        lstrcpyA(lf.lfFaceName, "Tahoma");
    }
    if (FaceInstalled(m.fontFace)) lstrcpynA(lf.lfFaceName, m.fontFace, LF_FACESIZE);
    lf.lfWeight = Clamp(m.titleWeight, 100, 900);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    return CreateFontIndirectA(&lf);
}

}  // namespace

const Skin* ActiveSkin() { return g_active.load(std::memory_order_acquire); }

Skin* CreateSkin(const SkinData& data, int32_t hue, int32_t saturation, int32_t lightness) {
    auto* s = static_cast<Skin*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Skin)));
    if (!s) return nullptr;
    hue = Clamp(hue, -180, 180);
    saturation = Clamp(saturation, -100, 100);
    lightness = Clamp(lightness, -100, 100);
    for (int r = 0; r < kRoleCount; ++r) {
        s->colour[r] = Adjust(COLORREF(data.colours[r]), hue, saturation, lightness);
        s->brush[r] = CreateSolidBrush(s->colour[r]);
    }
    s->metrics = data.metrics;
    Metrics& m = s->metrics;
    m.frameRadius = Clamp(m.frameRadius, 0, 12);
    m.buttonRadius = Clamp(m.buttonRadius, 0, 8);
    m.checkRadius = Clamp(m.checkRadius, 0, 6);
    m.progressRadius = Clamp(m.progressRadius, 0, 6);
    m.captionButtonWidth = Clamp(m.captionButtonWidth, 80, 250);
    m.glassAlpha = Clamp(m.glassAlpha, 128, 255);
    m.captionGloss = Clamp(m.captionGloss, 0, 255);
    if (data.tile.pixels) {
        size_t n = size_t(data.tile.width) * data.tile.height;
        s->tile = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, n));
        if (s->tile) {
            CopyMemory(s->tile, data.tile.pixels, n);
            s->tileWidth = data.tile.width;
            s->tileHeight = data.tile.height;
            s->tileStrength = data.tile.strength;
            s->tileMode = data.tile.mode;
        }
    }
    s->captionFont = MakeCaptionFont(m);
    return s;
}

void PublishSkin(Skin* skin) { g_active.store(skin, std::memory_order_release); }

bool GlassEnabled() { return g_glass.load(); }
void SetGlassEnabled(bool on) { g_glass.store(on); }

}  // namespace skin

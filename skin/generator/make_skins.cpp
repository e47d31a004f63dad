// Build-time generator of the 33 skin files: one palette per skin, written in the ".SHE" format at fixed lengths.
//
// Usage: make_skins OUTDIR   writes OUTDIR/skin01.she .. OUTDIR/skin33.she and checks each by reading it back.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "skin/skin_format.h"

namespace {

using skin::Role;

// The file length of each skin, in order 1..33; the program's skin table expects exactly these.
constexpr uint32_t kLengths[33] = {15574, 9533,  19786, 19497, 17699, 41098, 12564, 18930, 13192, 24409, 30738,
                                   8321,  26370, 15733, 12105, 23603, 20863, 16746, 11676, 17997, 12882, 37461,
                                   30958, 25715, 34523, 28961, 29447, 15562, 20738, 18765, 31134, 44110, 20275};

uint32_t Rgb(int r, int g, int b) { return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16; }
uint32_t Hex(uint32_t rrggbb) { return Rgb(rrggbb >> 16 & 0xFF, rrggbb >> 8 & 0xFF, rrggbb & 0xFF); }

// Hue in degrees, saturation and lightness 0..1.
uint32_t Hsl(double h, double s, double l) {
    h = std::fmod(std::fmod(h, 360.0) + 360.0, 360.0) / 360.0;
    auto channel = [&](double t) {
        double q = l < 0.5 ? l * (1 + s) : l + s - l * s, p = 2 * l - q;
        t = t < 0 ? t + 1 : t > 1 ? t - 1 : t;
        double v = t < 1.0 / 6 ? p + (q - p) * 6 * t : t < 0.5 ? q : t < 2.0 / 3 ? p + (q - p) * (2.0 / 3 - t) * 6 : p;
        return int(std::lround(v * 255));
    };
    return Rgb(channel(h + 1.0 / 3), channel(h), channel(h - 1.0 / 3));
}

struct Design {
    const char* name;
    uint32_t colours[skin::kRoleCount];
    skin::Metrics metrics;
    int tilePattern;  // 0 none, 1 diagonal lines, 2 dots, 3 brushed, 4 checker, 5 waves
    int tileStrength;
};

void SetMetrics(Design& d, int frameRadius, int buttonRadius, int checkRadius, int titleAlign, int weight, int gloss,
                const char* face) {
    skin::Metrics& m = d.metrics;
    m.frameRadius = frameRadius;
    m.buttonRadius = buttonRadius;
    m.checkRadius = checkRadius;
    m.titleAlign = titleAlign;
    m.titleWeight = weight;
    m.captionButtonWidth = 150;
    m.progressRadius = buttonRadius > 1 ? buttonRadius - 1 : 0;
    m.glassAlpha = 240;
    m.captionGloss = gloss;
    std::snprintf(m.fontFace, sizeof m.fontFace, "%s", face);
}

// The calm blue-grey skin the program uses.
Design SteelBlue() {
    Design d{};
    d.name = "Steel Blue";
    uint32_t* c = d.colours;
    c[skin::kFrame] = Hex(0x35628B);
    c[skin::kFrameInactive] = Hex(0xD3DBE3);
    c[skin::kFrameOutline] = Hex(0x2A4F72);
    c[skin::kCaptionTop] = Hex(0x41739F);
    c[skin::kCaptionBottom] = Hex(0x35628B);
    c[skin::kCaptionInactiveTop] = Hex(0xDDE4EB);
    c[skin::kCaptionInactiveBottom] = Hex(0xD3DBE3);
    c[skin::kCaptionText] = Hex(0xFFFFFF);
    c[skin::kCaptionTextInactive] = Hex(0x66727F);
    c[skin::kCaptionButtonHot] = Hex(0x5486B3);
    c[skin::kCaptionButtonPressed] = Hex(0x2C5478);
    c[skin::kCloseButtonHot] = Hex(0xD9443A);
    c[skin::kWindowFace] = Hex(0xF2F5F8);
    c[skin::kText] = Hex(0x1F2A36);
    c[skin::kTextDisabled] = Hex(0x9AA5B1);
    c[skin::kButtonTop] = Hex(0xFFFFFF);
    c[skin::kButtonBottom] = Hex(0xECF0F4);
    c[skin::kButtonBorder] = Hex(0xA9B5C2);
    c[skin::kButtonText] = Hex(0x1F2A36);
    c[skin::kButtonHotTop] = Hex(0xF5F9FE);
    c[skin::kButtonHotBottom] = Hex(0xE0EBF7);
    c[skin::kButtonPressedTop] = Hex(0xCFDDEC);
    c[skin::kButtonPressedBottom] = Hex(0xDCE7F2);
    c[skin::kAccent] = Hex(0x3B7CC4);
    c[skin::kCheckBorder] = Hex(0x8896A6);
    c[skin::kCheckBack] = Hex(0xFFFFFF);
    c[skin::kCheckMark] = Hex(0xFFFFFF);
    c[skin::kCheckedBack] = Hex(0x3B7CC4);
    c[skin::kScrollTrack] = Hex(0xE8ECF0);
    c[skin::kScrollThumb] = Hex(0xC0CAD4);
    c[skin::kScrollThumbHot] = Hex(0xA2AFBD);
    c[skin::kScrollArrow] = Hex(0x5E6B7A);
    c[skin::kProgressTrack] = Hex(0xE3E8ED);
    c[skin::kProgressTop] = Hex(0x62A6E4);
    c[skin::kProgressBottom] = Hex(0x3D82C8);
    c[skin::kProgressBorder] = Hex(0xB7C1CC);
    c[skin::kEditBorder] = Hex(0xA9B5C2);
    c[skin::kEditBorderFocus] = Hex(0x3B7CC4);
    c[skin::kEditBack] = Hex(0xFFFFFF);
    c[skin::kGroupBorder] = Hex(0xC5CFD9);
    c[skin::kGroupText] = Hex(0x2F5B84);
    c[skin::kSelectionBack] = Hex(0x3B7CC4);
    c[skin::kSelectionText] = Hex(0xFFFFFF);
    c[skin::kMenuBack] = Hex(0xF7F9FB);
    SetMetrics(d, 6, 3, 2, 0, 700, 36, "Microsoft YaHei");
    return d;
}

// Every other skin: a hue and one of four caption characters, with shapes and textures varied by number.
Design Derived(int index) {
    static const char* const kNames[] = {
        "Harbour", "Moss",   "Ember",  "Lilac",   "Sand", "Glacier", "Forest", "Coral", "Night", "Orchard",  "Copper",
        "Lagoon",  "Plum",   "Slate",  "Saffron", "Mint", "Brick",   "Azure",  "Olive", "Rose",  "Graphite", "Amber",
        "Teal",    "Indigo", "Pebble", "Cherry",  "Fern", "Denim",   "Ochre",  "Iris",  "Steel", "Aurora",   "Dune"};
    Design d{};
    d.name = kNames[index - 1];
    double h = std::fmod(index * 47.0 + 11.0, 360.0);
    int character = index % 4;  // 0 deep, 1 pale, 2 charcoal, 3 vivid
    uint32_t* c = d.colours;
    switch (character) {
        case 0:
            c[skin::kCaptionTop] = Hsl(h, 0.42, 0.44);
            c[skin::kCaptionBottom] = Hsl(h, 0.46, 0.35);
            c[skin::kCaptionText] = Rgb(255, 255, 255);
            c[skin::kCaptionButtonHot] = Hsl(h, 0.40, 0.52);
            c[skin::kCaptionButtonPressed] = Hsl(h, 0.46, 0.28);
            break;
        case 1:
            c[skin::kCaptionTop] = Hsl(h, 0.38, 0.91);
            c[skin::kCaptionBottom] = Hsl(h, 0.36, 0.84);
            c[skin::kCaptionText] = Hsl(h, 0.45, 0.18);
            c[skin::kCaptionButtonHot] = Hsl(h, 0.36, 0.76);
            c[skin::kCaptionButtonPressed] = Hsl(h, 0.36, 0.68);
            break;
        case 2:
            c[skin::kCaptionTop] = Hsl(h, 0.08, 0.27);
            c[skin::kCaptionBottom] = Hsl(h, 0.10, 0.19);
            c[skin::kCaptionText] = Hsl(h, 0.20, 0.94);
            c[skin::kCaptionButtonHot] = Hsl(h, 0.10, 0.34);
            c[skin::kCaptionButtonPressed] = Hsl(h, 0.10, 0.13);
            break;
        default:
            c[skin::kCaptionTop] = Hsl(h, 0.72, 0.52);
            c[skin::kCaptionBottom] = Hsl(h, 0.74, 0.42);
            c[skin::kCaptionText] = Rgb(255, 255, 255);
            c[skin::kCaptionButtonHot] = Hsl(h, 0.70, 0.60);
            c[skin::kCaptionButtonPressed] = Hsl(h, 0.74, 0.34);
            break;
    }
    double accentL = character == 1 ? 0.42 : 0.46;
    c[skin::kFrame] = c[skin::kCaptionBottom];
    c[skin::kFrameOutline] = character == 1 ? Hsl(h, 0.25, 0.62) : Hsl(h, 0.40, 0.16);
    c[skin::kCaptionInactiveTop] = Hsl(h, 0.10, 0.87);
    c[skin::kCaptionInactiveBottom] = Hsl(h, 0.10, 0.82);
    c[skin::kFrameInactive] = c[skin::kCaptionInactiveBottom];
    c[skin::kCaptionTextInactive] = Hsl(h, 0.08, 0.45);
    c[skin::kCloseButtonHot] = Rgb(206, 58, 48);
    c[skin::kWindowFace] = Hsl(h, 0.16, 0.95);
    c[skin::kText] = Hsl(h, 0.25, 0.14);
    c[skin::kTextDisabled] = Hsl(h, 0.06, 0.62);
    c[skin::kButtonTop] = Hsl(h, 0.20, 0.99);
    c[skin::kButtonBottom] = Hsl(h, 0.18, 0.91);
    c[skin::kButtonBorder] = Hsl(h, 0.14, 0.68);
    c[skin::kButtonText] = c[skin::kText];
    c[skin::kButtonHotTop] = Hsl(h, 0.55, 0.97);
    c[skin::kButtonHotBottom] = Hsl(h, 0.50, 0.89);
    c[skin::kButtonPressedTop] = Hsl(h, 0.38, 0.82);
    c[skin::kButtonPressedBottom] = Hsl(h, 0.38, 0.88);
    c[skin::kAccent] = Hsl(h, 0.58, accentL);
    c[skin::kCheckBorder] = Hsl(h, 0.14, 0.55);
    c[skin::kCheckBack] = Rgb(255, 255, 255);
    c[skin::kCheckMark] = Rgb(255, 255, 255);
    c[skin::kCheckedBack] = c[skin::kAccent];
    c[skin::kScrollTrack] = Hsl(h, 0.12, 0.92);
    c[skin::kScrollThumb] = Hsl(h, 0.12, 0.76);
    c[skin::kScrollThumbHot] = Hsl(h, 0.22, 0.64);
    c[skin::kScrollArrow] = Hsl(h, 0.12, 0.40);
    c[skin::kProgressTrack] = Hsl(h, 0.12, 0.90);
    c[skin::kProgressTop] = Hsl(h, 0.62, 0.60);
    c[skin::kProgressBottom] = Hsl(h, 0.62, 0.47);
    c[skin::kProgressBorder] = Hsl(h, 0.12, 0.72);
    c[skin::kEditBorder] = Hsl(h, 0.14, 0.68);
    c[skin::kEditBorderFocus] = c[skin::kAccent];
    c[skin::kEditBack] = Rgb(255, 255, 255);
    c[skin::kGroupBorder] = Hsl(h, 0.14, 0.78);
    c[skin::kGroupText] = Hsl(h, 0.45, 0.30);
    c[skin::kSelectionBack] = c[skin::kAccent];
    c[skin::kSelectionText] = Rgb(255, 255, 255);
    c[skin::kMenuBack] = Hsl(h, 0.16, 0.97);

    static const char* const kFaces[] = {"Microsoft YaHei", "SimSun", "Tahoma", "SimHei"};
    SetMetrics(d, index % 7, 1 + index % 4, index % 3, index % 3 == 0 ? 1 : 0, index % 5 == 2 ? 400 : 700,
               character == 2 ? 24 : 8 + index % 5 * 10, kFaces[index % 4]);
    d.tilePattern = index % 6;
    d.tileStrength = 18 + index % 4 * 8;
    return d;
}

// Deterministic intensity texture for the caption.
std::vector<uint8_t> TilePixels(int pattern, int w, int h, uint32_t seed) {
    std::vector<uint8_t> px(size_t(w) * h);
    uint32_t x32 = seed | 1;
    auto next = [&] {
        x32 ^= x32 << 13;
        x32 ^= x32 >> 17;
        x32 ^= x32 << 5;
        return x32;
    };
    for (int y = 0; y < h; ++y) {
        uint8_t rowNoise = uint8_t(next() & 0xFF);
        for (int x = 0; x < w; ++x) {
            int v = 0;
            switch (pattern) {
                case 1: v = (x + y) % 8 < 2 ? 255 : 0; break;
                case 2: v = (x % 6 == 1 && y % 6 == 1) ? 255 : (x % 6 == 4 && y % 6 == 4) ? 160 : 0; break;
                case 3: v = (rowNoise + int(next() & 0x3F)) & 0xFF; break;
                case 4: v = ((x / 4 + y / 4) % 2) ? 200 : 40; break;
                case 5: v = int(127.5 + 127.5 * std::sin((x + 3.0 * std::sin(y * 0.4)) * 0.5)); break;
                default: break;
            }
            px[size_t(y) * w + x] = uint8_t(v);
        }
    }
    return px;
}

struct Section {
    uint32_t tag;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> BuildFile(int index, const Design& d, uint32_t length) {
    std::vector<Section> sections;
    {
        Section s{skin::kTagColours, std::vector<uint8_t>(4 + 4 * skin::kRoleCount)};
        skin::WriteU32(s.bytes.data(), skin::kRoleCount);
        for (int r = 0; r < skin::kRoleCount; ++r) skin::WriteU32(s.bytes.data() + 4 + 4 * r, d.colours[r]);
        sections.push_back(std::move(s));
    }
    {
        Section s{skin::kTagMetrics, std::vector<uint8_t>(skin::kMetricsSize)};
        const skin::Metrics& m = d.metrics;
        const int32_t fields[] = {m.frameRadius,        m.buttonRadius,   m.checkRadius, m.titleAlign,  m.titleWeight,
                                  m.captionButtonWidth, m.progressRadius, m.glassAlpha,  m.captionGloss};
        for (size_t i = 0; i < 9; ++i) skin::WriteU32(s.bytes.data() + 4 * i, uint32_t(fields[i]));
        std::memcpy(s.bytes.data() + 36, m.fontFace, sizeof m.fontFace);
        sections.push_back(std::move(s));
    }
    if (d.tilePattern) {
        int w = 24 + index % 5 * 8, h = 24 + index % 3 * 8;
        Section s{skin::kTagTile, std::vector<uint8_t>(8)};
        skin::WriteU16(s.bytes.data(), uint16_t(w));
        skin::WriteU16(s.bytes.data() + 2, uint16_t(h));
        s.bytes[4] = uint8_t(d.tileStrength);
        s.bytes[5] = (index % 2) ? 0 : 1;
        std::vector<uint8_t> px = TilePixels(d.tilePattern, w, h, 0x9E3779B9u * uint32_t(index));
        s.bytes.insert(s.bytes.end(), px.begin(), px.end());
        sections.push_back(std::move(s));
    }
    size_t count = sections.size() + 1;  // plus the padding
    std::vector<uint8_t> file(skin::kHeaderSize + count * skin::kDirectoryEntrySize);
    std::memcpy(file.data(), skin::kMagic, 4);
    skin::WriteU16(file.data() + 4, skin::kFormatMajor);
    skin::WriteU16(file.data() + 6, skin::kFormatMinor);
    skin::WriteU32(file.data() + 8, length);
    skin::WriteU32(file.data() + 16, uint32_t(count));
    std::snprintf(reinterpret_cast<char*>(file.data() + 24), skin::kNameSize, "%s", d.name);

    auto place = [&](size_t slot, uint32_t tag, const uint8_t* bytes, size_t size) {
        file.resize((file.size() + 3) & ~size_t(3));
        uint8_t* entry = file.data() + skin::kHeaderSize + slot * skin::kDirectoryEntrySize;
        skin::WriteU32(entry, tag);
        skin::WriteU32(entry + 4, uint32_t(file.size()));
        skin::WriteU32(entry + 8, uint32_t(size));
        file.insert(file.end(), bytes, bytes + size);
    };
    for (size_t i = 0; i < sections.size(); ++i)
        place(i, sections[i].tag, sections[i].bytes.data(), sections[i].bytes.size());
    size_t padStart = (file.size() + 3) & ~size_t(3);
    if (padStart > length) return {};
    std::vector<uint8_t> pad(length - padStart);
    uint32_t x = 0x2545F491u ^ uint32_t(index) * 2654435761u;
    for (auto& b : pad) {
        x = x * 1664525u + 1013904223u;
        b = uint8_t(x >> 24);
    }
    place(count - 1, skin::kTagPadding, pad.data(), pad.size());
    skin::WriteU32(file.data() + 12, skin::Checksum(file.data(), file.size()));
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_skins OUTDIR\n");
        return 2;
    }
    for (int index = 1; index <= 33; ++index) {
        Design d = index == 10 ? SteelBlue() : Derived(index);
        std::vector<uint8_t> file = BuildFile(index, d, kLengths[index - 1]);
        skin::SkinData check;
        if (file.size() != kLengths[index - 1] ||
            skin::ReadSkin(file.data(), file.size(), &check) != skin::ReadError::kNone) {
            std::fprintf(stderr, "make_skins: skin %d does not come out right\n", index);
            return 1;
        }
        char path[4096];
        std::snprintf(path, sizeof path, "%s/skin%02d.she", argv[1], index);
        FILE* f = std::fopen(path, "wb");
        if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size() || std::fclose(f) != 0) {
            std::fprintf(stderr, "make_skins: cannot write %s\n", path);
            return 1;
        }
    }
    return 0;
}

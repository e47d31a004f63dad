// The skin file format (".SHE"): layout, colour roles, metrics, and the checked reader shared by engine and tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace skin {

// A skin file, all numbers little-endian:
//
//   +0   char[4]  magic ".SHE"
//   +4   u16      format major version (kFormatMajor; a reader refuses any other)
//   +6   u16      format minor version (newer minors only add sections or colours)
//   +8   u32      total file length in bytes
//   +12  u32      checksum: FNV-1a (32 bit) over the whole file with these four bytes read as zero
//   +16  u32      section count
//   +20  u32      flags (none defined; 0)
//   +24  char[32] skin name, NUL-padded ASCII
//   +56  section directory: count x {u32 tag, u32 offset from file start, u32 size}
//        then the sections, each starting on a 4-byte boundary, in any order.
//
// Sections:
//   'COLR'  u32 n, then n colours 0x00BBGGRR in Role order (n >= kRoleCount; extra entries are ignored)
//   'METR'  Metrics, packed as below
//   'TILE'  optional caption texture: u16 width, u16 height, u8 strength 0..255, u8 mode (0 lighten,
//           1 darken), u16 reserved, then width*height intensity bytes, row by row
//   'PADD'  filler that brings the file to its length; its bytes mean nothing
constexpr char kMagic[4] = {'.', 'S', 'H', 'E'};
constexpr uint16_t kFormatMajor = 1;
constexpr uint16_t kFormatMinor = 0;
constexpr size_t kHeaderSize = 56;
constexpr size_t kDirectoryEntrySize = 12;
constexpr size_t kNameSize = 32;

constexpr uint32_t Tag(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}
constexpr uint32_t kTagColours = Tag('C', 'O', 'L', 'R');
constexpr uint32_t kTagMetrics = Tag('M', 'E', 'T', 'R');
constexpr uint32_t kTagTile = Tag('T', 'I', 'L', 'E');
constexpr uint32_t kTagPadding = Tag('P', 'A', 'D', 'D');

// What each colour of the table paints.
enum Role : int {
    kFrame,          // sizing frame of an active window
    kFrameInactive,  // ... of an inactive window
    kFrameOutline,   // the outermost line of the frame
    kCaptionTop,     // caption gradient of an active window
    kCaptionBottom,
    kCaptionInactiveTop,  // caption gradient of an inactive window
    kCaptionInactiveBottom,
    kCaptionText,
    kCaptionTextInactive,
    kCaptionButtonHot,  // background of a caption button under the pointer
    kCaptionButtonPressed,
    kCloseButtonHot,  // the close button under the pointer
    kWindowFace,      // client background of windows and dialogs
    kText,            // text on the window face
    kTextDisabled,
    kButtonTop,  // push button gradient
    kButtonBottom,
    kButtonBorder,
    kButtonText,
    kButtonHotTop,
    kButtonHotBottom,
    kButtonPressedTop,
    kButtonPressedBottom,
    kAccent,  // default button and focus outlines
    kCheckBorder,
    kCheckBack,    // inside of an unchecked box
    kCheckMark,    // the tick or dot
    kCheckedBack,  // inside of a checked box
    kScrollTrack,
    kScrollThumb,
    kScrollThumbHot,
    kScrollArrow,
    kProgressTrack,
    kProgressTop,  // progress bar gradient
    kProgressBottom,
    kProgressBorder,
    kEditBorder,
    kEditBorderFocus,
    kEditBack,
    kGroupBorder,
    kGroupText,
    kSelectionBack,  // selected item in a combo box
    kSelectionText,
    kMenuBack,  // menu bar and pop-up menu background
    kRoleCount
};

// Shapes and proportions; all lengths in pixels at 96 dots per inch.
struct Metrics {
    int32_t frameRadius;         // rounding of the window's top corners
    int32_t buttonRadius;        // rounding of push buttons, combo boxes and scroll thumbs
    int32_t checkRadius;         // rounding of check boxes
    int32_t titleAlign;          // 0 left, 1 centred
    int32_t titleWeight;         // font weight of the caption text (400 normal, 700 bold)
    int32_t captionButtonWidth;  // percent of the caption height
    int32_t progressRadius;
    int32_t glassAlpha;    // opacity of the translucent frame mode, 128..255
    int32_t captionGloss;  // 0..255: strength of the light band on the upper half of the caption
    char fontFace[32];     // caption font face; empty or not installed: the system's caption font
};
constexpr size_t kMetricsSize = 9 * 4 + 32;
static_assert(sizeof(Metrics) == kMetricsSize);

struct Tile {
    uint16_t width = 0, height = 0;
    uint8_t strength = 0, mode = 0;
    const uint8_t* pixels = nullptr;  // width*height bytes inside the file
};

struct SkinData {
    char name[kNameSize + 1] = {};
    uint16_t minor = 0;
    uint32_t colours[kRoleCount] = {};
    Metrics metrics = {};
    Tile tile;
};

enum class ReadError { kNone, kNoData, kMagic, kVersion, kLength, kChecksum, kDirectory, kMissingSection, kBadSection };

inline uint32_t ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t ReadU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline void WriteU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void WriteU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// FNV-1a over the file, the checksum field counted as four zero bytes.
inline uint32_t Checksum(const uint8_t* data, size_t length) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < length; ++i) {
        uint8_t b = (i >= 12 && i < 16) ? 0 : data[i];
        h = (h ^ b) * 16777619u;
    }
    return h;
}

// Checks the whole file and fills *out; never reads outside [data, data + length).
inline ReadError ReadSkin(const void* bytes, size_t length, SkinData* out) {
    const auto* data = static_cast<const uint8_t*>(bytes);
    if (!data || length == 0) return ReadError::kNoData;
    if (length < kHeaderSize || std::memcmp(data, kMagic, 4) != 0) return ReadError::kMagic;
    if (ReadU16(data + 4) != kFormatMajor) return ReadError::kVersion;
    if (ReadU32(data + 8) != length) return ReadError::kLength;
    if (ReadU32(data + 12) != Checksum(data, length)) return ReadError::kChecksum;
    uint32_t count = ReadU32(data + 16);
    if (count > (length - kHeaderSize) / kDirectoryEntrySize) return ReadError::kDirectory;

    SkinData skin;
    skin.minor = ReadU16(data + 6);
    std::memcpy(skin.name, data + 24, kNameSize);
    bool haveColours = false, haveMetrics = false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* entry = data + kHeaderSize + i * kDirectoryEntrySize;
        uint32_t tag = ReadU32(entry), offset = ReadU32(entry + 4), size = ReadU32(entry + 8);
        if (offset < kHeaderSize || offset > length || size > length - offset) return ReadError::kDirectory;
        const uint8_t* s = data + offset;
        if (tag == kTagColours) {
            if (size < 4) return ReadError::kBadSection;
            uint32_t n = ReadU32(s);
            if (n < kRoleCount || n > (size - 4) / 4) return ReadError::kBadSection;
            for (int r = 0; r < kRoleCount; ++r) skin.colours[r] = ReadU32(s + 4 + 4 * r) & 0x00FFFFFF;
            haveColours = true;
        } else if (tag == kTagMetrics) {
            if (size < kMetricsSize) return ReadError::kBadSection;
            std::memcpy(&skin.metrics, s, kMetricsSize);
            skin.metrics.fontFace[sizeof skin.metrics.fontFace - 1] = 0;
            haveMetrics = true;
        } else if (tag == kTagTile) {
            if (size < 8) return ReadError::kBadSection;
            Tile t;
            t.width = ReadU16(s);
            t.height = ReadU16(s + 2);
            t.strength = s[4];
            t.mode = s[5];
            if (t.width == 0 || t.height == 0 || size_t(t.width) * t.height > size - 8) return ReadError::kBadSection;
            t.pixels = s + 8;
            skin.tile = t;
        }
    }
    if (!haveColours || !haveMetrics) return ReadError::kMissingSection;
    *out = skin;
    return ReadError::kNone;
}

}  // namespace skin

// The thumbnail header check: the picture's type from its signature, its sides from its header.
#include "app/browser/thumbnail_check.h"

#include <cstring>

#include "ui/picture_fit.h"

namespace app {

namespace {

uint32_t BigEndian16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t BigEndian32(const uint8_t* p) { return BigEndian16(p) << 16 | BigEndian16(p + 2); }
uint32_t LittleEndian16(const uint8_t* p) { return uint32_t(p[1]) << 8 | p[0]; }
int64_t LittleEndianSigned32(const uint8_t* p) { return int32_t(LittleEndian16(p + 2) << 16 | LittleEndian16(p)); }

bool SidesAccepted(int64_t width, int64_t height) {
    return width >= 1 && height >= 1 && width <= ui::kMaxPictureSide && height <= ui::kMaxPictureSide &&
           width * height <= ui::kMaxPicturePixels;
}

bool StartsWith(const uint8_t* data, size_t size, const char* signature, size_t length) {
    return size >= length && std::memcmp(data, signature, length) == 0;
}

// The sides of a JPEG's frame header (SOF0 to SOF15 but DHT, JPG and DAC), found by walking the segments from
// the start. A scan met first, or a header cut off, means there is no frame to show.
bool JpegSidesAccepted(const uint8_t* data, size_t size) {
    size_t at = 2;
    for (;;) {
        if (at >= size || data[at] != 0xFF) return false;
        while (at < size && data[at] == 0xFF) ++at;  // the marker's 0xFF and any fill bytes
        if (at >= size) return false;
        uint8_t marker = data[at++];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // markers without a length
        if (marker == 0x00 || marker == 0xDA || marker == 0xD9 || at + 2 > size) return false;
        size_t length = BigEndian16(data + at);
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame)
            return length >= 7 && at + 7 <= size &&
                   SidesAccepted(BigEndian16(data + at + 5), BigEndian16(data + at + 3));
        if (length < 2) return false;
        at += length;
    }
}

}  // namespace

bool ThumbnailWorthKeeping(const uint8_t* data, size_t size) {
    if (!data || size > ui::kMaxPictureBytes) return false;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return JpegSidesAccepted(data, size);
    if (StartsWith(data, size, "\x89PNG\r\n\x1a\n", 8))
        return size >= 24 && std::memcmp(data + 12, "IHDR", 4) == 0 &&
               SidesAccepted(BigEndian32(data + 16), BigEndian32(data + 20));
    if (StartsWith(data, size, "GIF87a", 6) || StartsWith(data, size, "GIF89a", 6))
        return size >= 10 && SidesAccepted(LittleEndian16(data + 6), LittleEndian16(data + 8));
    if (StartsWith(data, size, "BM", 2) && size >= 26) {
        // BITMAPCOREHEADER has 16-bit sides; the later headers 32-bit ones, the height negative for top-down rows.
        int64_t header = LittleEndianSigned32(data + 14);
        if (header == 12) return SidesAccepted(LittleEndian16(data + 18), LittleEndian16(data + 20));
        int64_t height = LittleEndianSigned32(data + 22);
        return header >= 40 && SidesAccepted(LittleEndianSigned32(data + 18), height < 0 ? -height : height);
    }
    return false;
}

}  // namespace app

// GIF decoder: the first image of a file, its colour table and its transparent index, onto the logical screen.
#include "ui/gif.h"

#include <cstring>
#include <new>

#include "ui/picture_fit.h"

namespace ui {

namespace {

struct ByteReader {
    const uint8_t* p;
    const uint8_t* end;
    bool ok = true;
    uint8_t U8() {
        if (p >= end) return ok = false, 0;
        return *p++;
    }
    uint16_t U16() {
        uint16_t lo = U8();
        return uint16_t(lo | U8() << 8);
    }
    void Skip(size_t n) {
        if (size_t(end - p) < n)
            ok = false, p = end;
        else
            p += n;
    }
    void SkipSubBlocks() {
        while (ok) {
            uint8_t n = U8();
            if (n == 0) return;
            Skip(n);
        }
    }
};

bool ReadColorTable(ByteReader& r, int entries, std::vector<uint32_t>* table) {
    table->resize(size_t(entries));
    for (auto& c : *table) {
        uint32_t red = r.U8(), green = r.U8(), blue = r.U8();
        c = 0xFF000000u | red << 16 | green << 8 | blue;
    }
    return r.ok;
}

// LZW-decodes the image data sub-blocks into at most count indices. Nothing is reserved for count: the indices
// grow as the data gives them.
bool DecodeLzw(ByteReader& r, size_t count, std::vector<uint8_t>* indices) {
    int minCodeSize = r.U8();
    if (!r.ok || minCodeSize < 2 || minCodeSize > 8) return false;
    std::vector<uint8_t> data;
    for (;;) {
        uint8_t n = r.U8();
        if (!r.ok) return false;
        if (n == 0) break;
        if (size_t(r.end - r.p) < n) return false;
        data.insert(data.end(), r.p, r.p + n);
        r.p += n;
    }
    const int clear = 1 << minCodeSize, end = clear + 1;
    std::vector<uint16_t> prefix(4096);
    std::vector<uint8_t> suffix(4096), stack;
    for (int i = 0; i < clear; ++i) suffix[size_t(i)] = uint8_t(i);
    int size = minCodeSize + 1, next = end + 1, previous = -1;
    uint8_t first = 0;
    uint32_t bits = 0;  // read from the data, least significant first, not yet taken as a code
    int bitCount = 0;
    size_t at = 0;
    indices->clear();
    while (indices->size() < count) {
        while (bitCount < size && at < data.size()) {
            bits |= uint32_t(data[at++]) << bitCount;
            bitCount += 8;
        }
        if (bitCount < size) break;  // data ran out: keep what was decoded
        int code = int(bits & ((1u << size) - 1));
        bits >>= size;
        bitCount -= size;
        if (code == clear) {
            size = minCodeSize + 1;
            next = end + 1;
            previous = -1;
            continue;
        }
        if (code == end) break;
        if (previous < 0) {
            if (code >= clear) return false;
            indices->push_back(uint8_t(code));
            previous = code;
            first = uint8_t(code);
            continue;
        }
        int walk = code;
        stack.clear();
        if (code >= next) {
            if (code > next) return false;
            stack.push_back(first);
            walk = previous;
        }
        while (walk >= clear) {
            if (walk >= next || stack.size() > 4096) return false;
            stack.push_back(suffix[size_t(walk)]);
            walk = prefix[size_t(walk)];
        }
        first = uint8_t(walk);
        stack.push_back(first);
        for (auto it = stack.rbegin(); it != stack.rend() && indices->size() < count; ++it) indices->push_back(*it);
        if (next < 4096) {
            prefix[size_t(next)] = uint16_t(previous);
            suffix[size_t(next)] = first;
            ++next;
            if (next == (1 << size) && size < 12) ++size;
        }
        previous = code;
    }
    return true;
}

bool DecodeFirstImage(const uint8_t* data, size_t size, DecodedImage* image) {
    if (!data || size < 13 || (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0))
        return false;
    ByteReader r{data + 6, data + size};
    int screenWidth = r.U16(), screenHeight = r.U16();
    uint8_t flags = r.U8();
    r.Skip(2);
    // The screen is what is allocated, whatever the data holds: its size is capped as a JPEG's is.
    if (!r.ok || screenWidth <= 0 || screenHeight <= 0 || screenWidth > kMaxPictureSide ||
        screenHeight > kMaxPictureSide || int64_t(screenWidth) * screenHeight > kMaxPicturePixels)
        return false;
    std::vector<uint32_t> globalTable, localTable;
    if ((flags & 0x80) && !ReadColorTable(r, 2 << (flags & 7), &globalTable)) return false;
    int transparent = -1;
    for (;;) {
        uint8_t block = r.U8();
        if (!r.ok || block == 0x3B) return false;  // no image at all
        if (block == 0x21) {
            uint8_t label = r.U8();
            if (label == 0xF9) {
                uint8_t n = r.U8();
                if (n < 4) return false;
                uint8_t gce = r.U8();
                r.Skip(2);
                uint8_t index = r.U8();
                r.Skip(size_t(n) - 4);
                if (gce & 1) transparent = index;
            }
            r.SkipSubBlocks();
            if (!r.ok) return false;
            continue;
        }
        if (block != 0x2C) return false;
        int left = r.U16(), top = r.U16(), width = r.U16(), height = r.U16();
        uint8_t imageFlags = r.U8();
        // A frame reaching past its screen is a broken file (clipping it would still mean decoding all of it).
        if (!r.ok || left + width > screenWidth || top + height > screenHeight) return false;
        const std::vector<uint32_t>* table = &globalTable;
        if (imageFlags & 0x80) {
            if (!ReadColorTable(r, 2 << (imageFlags & 7), &localTable)) return false;
            table = &localTable;
        }
        if (table->empty()) return false;
        std::vector<uint8_t> indices;
        if (!DecodeLzw(r, size_t(width) * size_t(height), &indices)) return false;

        image->width = screenWidth;
        image->height = screenHeight;
        image->pixels.assign(size_t(screenWidth) * size_t(screenHeight), 0);
        bool interlaced = (imageFlags & 0x40) != 0;
        std::vector<int> rows;
        if (interlaced) {
            for (int start : {0, 4, 2, 1})
                for (int y = start; y < height; y += (start == 0 ? 8 : start == 4 ? 8 : start == 2 ? 4 : 2))
                    rows.push_back(y);
        } else {
            for (int y = 0; y < height; ++y) rows.push_back(y);
        }
        const uint8_t* index = indices.data();
        size_t remaining = indices.size();
        for (size_t row = 0; row < rows.size() && remaining > 0; ++row) {
            uint32_t* dst = &image->pixels[size_t(top + rows[row]) * size_t(screenWidth) + size_t(left)];
            for (int x = 0; x < width && remaining > 0; ++x, ++index, --remaining)
                if (*index != transparent && *index < table->size()) dst[x] = (*table)[*index];
        }
        return true;
    }
}

}  // namespace

bool DecodeGif(const uint8_t* data, size_t size, DecodedImage* image) {
    // The caps keep a decode to a few megabytes; should even that not be had, the picture is one that cannot be
    // shown, and no exception reaches the window procedure or worker that asked.
    try {
        return DecodeFirstImage(data, size, image);
    } catch (const std::bad_alloc&) {
        *image = DecodedImage{};
        return false;
    }
}

}  // namespace ui

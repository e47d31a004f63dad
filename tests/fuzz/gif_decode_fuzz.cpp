// Fuzz target: the GIF decoder over arbitrary bytes. Input: the file.
// fuzz-sources: ui/gif.cpp
// Whatever it is given, the decoder either refuses or gives the screen the header declares, within the picture
// limits, each pixel transparent or opaque. A decoded image survives a round trip: its colours written as one
// frame of our own LZW encoding decode to the same pixels.
#include <cstdint>
#include <map>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "ui/gif.h"
#include "ui/picture_fit.h"

namespace {

// The image as a GIF of one full-screen frame: a colour table of its opaque colours and index 0 transparent.
// Empty when it has more colours than a table holds.
std::vector<uint8_t> Reencoded(const ui::DecodedImage& image) {
    std::map<uint32_t, uint8_t> indexOf = {{0u, 0}};
    std::vector<uint32_t> colours = {0};
    std::vector<uint8_t> indices;
    indices.reserve(image.pixels.size());
    for (uint32_t p : image.pixels) {
        auto [at, added] = indexOf.try_emplace(p, uint8_t(colours.size()));
        if (added) {
            if (colours.size() == 256) return {};
            colours.push_back(p);
        }
        indices.push_back(at->second);
    }
    colours.resize(256, 0);
    std::vector<uint8_t> file = {'G', 'I', 'F', '8', '9', 'a'};
    ui::gif::Put16(file, uint32_t(image.width));
    ui::gif::Put16(file, uint32_t(image.height));
    file.insert(file.end(), {0xF7, 0, 0});
    for (uint32_t c : colours) file.insert(file.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    file.insert(file.end(), {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0, 0, 0, 0});
    ui::gif::Put16(file, uint32_t(image.width));
    ui::gif::Put16(file, uint32_t(image.height));
    file.push_back(0);
    for (uint8_t b : ui::gif::LzwBlocks(indices, 8)) file.push_back(b);
    file.push_back(0x3B);
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ui::DecodedImage image;
    if (!ui::DecodeGif(data, size, &image)) return 0;
    const int declaredWidth = data[6] | data[7] << 8, declaredHeight = data[8] | data[9] << 8;
    FUZZ_CHECK(image.width == declaredWidth && image.height == declaredHeight)
        << image.width << "x" << image.height << " for a screen of " << declaredWidth << "x" << declaredHeight;
    FUZZ_CHECK(int64_t(image.width) * image.height <= ui::kMaxPicturePixels) << image.width << "x" << image.height;
    FUZZ_CHECK(image.pixels.size() == size_t(image.width) * size_t(image.height)) << image.pixels.size();
    for (uint32_t p : image.pixels) FUZZ_CHECK(p == 0 || p >> 24 == 0xFF) << std::hex << p;
    // The encoder keeps a table of 4096 x 256 entries a call: round trips of small screens only, to stay quick.
    if (image.pixels.size() > 4096) return 0;
    std::vector<uint8_t> again = Reencoded(image);
    if (again.empty()) return 0;
    ui::DecodedImage redecoded;
    FUZZ_CHECK(ui::DecodeGif(again.data(), again.size(), &redecoded)) << "re-encoded image refused";
    FUZZ_CHECK(redecoded.pixels == image.pixels) << "re-encoded image differs";
    return 0;
}

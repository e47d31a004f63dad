// Benchmark of the costliest thumbnails the picture limits still let through, decoded and fitted into a grid cell
// (150 x 143, fit-centred) as the window thread does when it draws the cell. All are noise of kMaxPicturePixels: a
// GIF screen of 256 colours, and JPEGs at full colour resolution and the highest quality their byte limit allows,
// baseline, progressive (libjpeg's progression, and one of full-precision scans) with each of their scans repeated
// up to the scan and byte limits, and arithmetic-coded. Prints each file's size and its slowest and median decode.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "tests/jpeg_writer.h"
#include "ui/gif.h"
#include "ui/picture_fit.h"

namespace {

using namespace ui;

constexpr int kWidth = 1024;  // kWidth x kHeight: the pixel limit
constexpr int kHeight = int(kMaxPicturePixels / kWidth);
constexpr int kRuns = 9;

uint32_t Noise(uint32_t& seed) {
    seed = seed * 1664525 + 1013904223;
    return seed >> 8;
}

struct Timing {
    double slowest = 0, median = 0;
    bool decoded = false;
};

// <chrono> cannot be compiled with GBK narrow literals: the performance counter.
Timing TimeDecode(const std::vector<uint8_t>& file) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> ms;
    Timing timing;
    for (int i = 0; i < kRuns; ++i) {
        FittedPicture picture;
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        timing.decoded = DecodeFittedPicture(file.data(), file.size(), 150, 143, kLayoutFitCentred, 0, &picture);
        QueryPerformanceCounter(&end);
        ms.push_back(double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart));
    }
    std::sort(ms.begin(), ms.end());
    timing.slowest = ms.back();
    timing.median = ms[ms.size() / 2];
    return timing;
}

void Report(const char* what, const std::vector<uint8_t>& file) {
    Timing t = TimeDecode(file);
    std::printf("%-44s %9zu bytes  %s  slowest %7.1f ms  median %7.1f ms\n", what, file.size(),
                t.decoded ? "decoded" : "refused", t.slowest, t.median);
}

std::vector<uint8_t> NoiseGif() {
    uint32_t seed = 7;
    std::vector<uint8_t> indices(size_t(kWidth) * kHeight);
    for (auto& i : indices) i = uint8_t(Noise(seed));
    std::vector<uint8_t> file = {'G', 'I', 'F', '8', '9', 'a'};
    gif::Put16(file, kWidth);
    gif::Put16(file, kHeight);
    file.insert(file.end(), {0xF7, 0, 0});
    for (int c = 0; c < 256; ++c) file.insert(file.end(), {uint8_t(c), uint8_t(255 - c), uint8_t(c * 7)});
    file.push_back(0x2C);
    for (uint32_t v : {0u, 0u, uint32_t(kWidth), uint32_t(kHeight)}) gif::Put16(file, v);
    file.push_back(0);
    for (uint8_t b : gif::LzwBlocks(indices, 8)) file.push_back(b);
    file.push_back(0x3B);
    return file;
}

size_t FileLimit(const testing_support::JpegOptions& options) {
    return options.arithmetic ? kMaxArithmeticJpegBytes : kMaxPictureBytes;
}

// Noise at full colour resolution and the highest quality (in steps of 10) whose file is within its limit.
std::vector<uint8_t> NoiseJpeg(testing_support::JpegOptions options) {
    options.fullColour = true;
    std::vector<uint8_t> file;
    for (options.quality = 100; options.quality > 0; options.quality -= 10) {
        uint32_t seed = 11;
        file = testing_support::EncodeJpeg(
            kWidth, kHeight, [&](int, int) { return Noise(seed) & 0xFFFFFF; }, options);
        if (file.size() <= FileLimit(options)) break;
    }
    return file;
}

// Where each scan's data ends: at the first marker after its SOS (entropy-coded data holds 0xFF only before 0x00
// or a restart marker).
std::vector<size_t> ScanEnds(const std::vector<uint8_t>& jpeg) {
    std::vector<size_t> ends;
    bool inScan = false;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] != 0xFF) continue;
        uint8_t m = jpeg[i + 1];
        if (m == 0xDA) {
            if (inScan) ends.push_back(i);
            inScan = true;
            i += 1 + (size_t(jpeg[i + 2]) << 8 | jpeg[i + 3]);
        } else if (inScan && m != 0x00 && (m < 0xD0 || m > 0xD7)) {
            ends.push_back(i);
            inScan = false;
        }
    }
    return ends;
}

// Scan i with the tables written before it: from the end of scan i - 1 to the end of scan i.
std::vector<uint8_t> Scan(const std::vector<uint8_t>& jpeg, const std::vector<size_t>& ends, size_t i) {
    return std::vector<uint8_t>(jpeg.begin() + ptrdiff_t(ends[i - 1]), jpeg.begin() + ptrdiff_t(ends[i]));
}

// The first `keep` scans of the file, then scan i repeated up to the scan limit or as many times as the file limit
// leaves room for, then the end of the image.
std::vector<uint8_t> WithScanRepeated(const std::vector<uint8_t>& jpeg, const std::vector<size_t>& ends, size_t keep,
                                      size_t i, size_t limit) {
    std::vector<uint8_t> scan = Scan(jpeg, ends, i);
    std::vector<uint8_t> file(jpeg.begin(), jpeg.begin() + ptrdiff_t(ends[keep - 1]));
    for (size_t n = keep; n < size_t(kMaxJpegScans) && file.size() + scan.size() + 2 <= limit; ++n)
        file.insert(file.end(), scan.begin(), scan.end());
    file.insert(file.end(), {0xFF, 0xD9});
    return file;
}

// The file, then for each scan: the file with that scan repeated after all of its scans, and the first scan (the
// DC of all components) followed by that scan only, repeated.
void ReportRepeatedScans(const char* name, testing_support::JpegOptions options) {
    std::vector<uint8_t> jpeg = NoiseJpeg(options);
    Report(name, jpeg);
    std::vector<size_t> ends = ScanEnds(jpeg);
    for (size_t i = 1; i < ends.size(); ++i) {
        char what[64];
        std::snprintf(what, sizeof what, "  scan %zu repeated after all", i + 1);
        Report(what, WithScanRepeated(jpeg, ends, ends.size(), i, FileLimit(options)));
        std::snprintf(what, sizeof what, "  scan %zu repeated after the first", i + 1);
        Report(what, WithScanRepeated(jpeg, ends, 1, i, FileLimit(options)));
    }
}

}  // namespace

int main() {
    std::printf("thumbnails at the limits: %d x %d pixels, %d scans at most\n", kWidth, kHeight, kMaxJpegScans);
    Report("GIF screen of noise, 256 colours", NoiseGif());
    Report("baseline JPEG", NoiseJpeg({}));
    ReportRepeatedScans("progressive JPEG as libjpeg writes it", {.progressive = true});
    // The DC of all components, then each component's AC in full: the most data a scan may carry.
    ReportRepeatedScans(
        "progressive JPEG of full-precision scans",
        {.scans = {{3, {0, 1, 2}, 0, 0, 0, 0}, {1, {0}, 1, 63, 0, 0}, {1, {1}, 1, 63, 0, 0}, {1, {2}, 1, 63, 0, 0}}});
    ReportRepeatedScans("arithmetic-coded progressive JPEG", {.progressive = true, .arithmetic = true});
    Report("arithmetic-coded baseline JPEG", NoiseJpeg({.arithmetic = true}));
    // Refused when its last scan header is read, after the scans before it were decoded.
    std::vector<uint8_t> progressive = NoiseJpeg({.progressive = true});
    std::vector<size_t> ends = ScanEnds(progressive);
    std::vector<uint8_t> over = progressive, last = Scan(progressive, ends, ends.size() - 1);
    for (size_t n = ends.size(); n <= size_t(kMaxJpegScans); ++n) over.insert(over.end() - 2, last.begin(), last.end());
    Report("progressive, one scan over the limit", over);
    return 0;
}

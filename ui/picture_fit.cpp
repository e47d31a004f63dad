// Decoding and fitting of draw-panel pictures: libjpeg decodes at the smallest of its scales that is not below
// the fitted size, and an area-averaging pass takes the result to the exact size.
#include "ui/picture_fit.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>

#include "ui/gif.h"

namespace ui {

namespace {

// libjpeg reports errors, and the scan cap its progress monitor enforces, by jumping back to the decoder's setjmp.
// Between the setjmp and any jump only libjpeg's own memory and the caller's image are held: no C++ object with a
// destructor lives in the frames a jump skips.
struct JpegDecoder {
    jpeg_decompress_struct info;
    jpeg_error_mgr errorManager;
    jpeg_progress_mgr progress;
    jmp_buf jump;
};

JpegDecoder& DecoderOf(j_common_ptr info) { return *reinterpret_cast<JpegDecoder*>(info); }
void OnJpegError(j_common_ptr info) { longjmp(DecoderOf(info).jump, 1); }
void IgnoreJpegMessage(j_common_ptr, int) {}
// Called by libjpeg as it takes in the scans of a multi-scan file, before each row of blocks and after each scan
// header: a scan past the cap ends the decode before its data is read, as an error does.
void OnJpegProgress(j_common_ptr info) {
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxJpegScans) longjmp(DecoderOf(info).jump, 1);
}

// libjpeg's limit for the coefficients a multi-scan file keeps until its last scan: those of three full-resolution
// components at the pixel cap take 6 bytes a pixel. A file that needs more fails instead of allocating it.
constexpr long kMaxJpegMemory = long(kMaxPicturePixels) * 8;
static_assert(kMaxPicturePixels * 8 <= 0x7FFFFFFF, "libjpeg's limit is a long, 32 bits on Windows");

// Source pixels as rows of three bytes (red, green, blue) each.
struct RgbImage {
    int width = 0;
    int height = 0;
    int originalWidth = 0;  // before libjpeg's scaling
    int originalHeight = 0;
    std::vector<uint8_t> rgb;
};

// Owns libjpeg's decompressor: destroyed on every way out, a jump back to the setjmp included.
struct JpegDestroyer {
    jpeg_decompress_struct* info;
    ~JpegDestroyer() { jpeg_destroy_decompress(info); }
};

bool DecodeJpeg(const uint8_t* data, size_t size, int targetWidth, int targetHeight, int32_t layout, RgbImage* image) {
    JpegDecoder decoder;
    jpeg_decompress_struct& info = decoder.info;
    std::memset(&info, 0, sizeof info);  // a destroy before the create finds no memory manager
    info.err = jpeg_std_error(&decoder.errorManager);
    decoder.errorManager.error_exit = OnJpegError;
    decoder.errorManager.emit_message = IgnoreJpegMessage;
    JpegDestroyer destroyer{&info};
    if (setjmp(decoder.jump)) return false;
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kMaxJpegMemory;
    decoder.progress = {};
    decoder.progress.progress_monitor = OnJpegProgress;
    info.progress = &decoder.progress;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    int w = int(info.image_width), h = int(info.image_height);
    if (w <= 0 || h <= 0 || w > kMaxPictureSide || h > kMaxPictureSide || int64_t(w) * h > kMaxPicturePixels ||
        (info.arith_code && size > kMaxArithmeticJpegBytes))
        return false;
    int fitWidth = 0, fitHeight = 0;
    FittedSize(w, h, targetWidth, targetHeight, layout, &fitWidth, &fitHeight);
    // The smallest scale M/8 whose output still covers the fitted size.
    info.scale_denom = 8;
    info.scale_num = 8;
    if (layout != kLayoutNormal) {
        for (unsigned m = 1; m <= 8; ++m) {
            if (uint64_t(w) * m >= uint64_t(fitWidth) * 8 && uint64_t(h) * m >= uint64_t(fitHeight) * 8) {
                info.scale_num = m;
                break;
            }
        }
    }
    info.dct_method = JDCT_IFAST;
    jpeg_calc_output_dimensions(&info);
    image->originalWidth = w;
    image->originalHeight = h;
    image->width = int(info.output_width);
    image->height = int(info.output_height);
    image->rgb.assign(size_t(image->width) * size_t(image->height) * 3, 0);
    jpeg_start_decompress(&info);
    int components = info.output_components;
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * JDIMENSION(components), 1);
    while (info.output_scanline < info.output_height) {
        int y = int(info.output_scanline);
        if (jpeg_read_scanlines(&info, row, 1) != 1) break;
        uint8_t* dst = &image->rgb[size_t(y) * size_t(image->width) * 3];
        for (int x = 0; x < image->width; ++x) {
            const uint8_t* src = &row[0][size_t(x) * size_t(components)];
            dst[3 * x] = src[0];
            dst[3 * x + 1] = components >= 3 ? src[1] : src[0];
            dst[3 * x + 2] = components >= 3 ? src[2] : src[0];
        }
    }
    jpeg_finish_decompress(&info);
    return true;
}

bool DecodeGifRgb(const uint8_t* data, size_t size, uint32_t background, RgbImage* image) {
    DecodedImage decoded;
    if (!DecodeGif(data, size, &decoded)) return false;
    image->width = image->originalWidth = decoded.width;
    image->height = image->originalHeight = decoded.height;
    image->rgb.resize(decoded.pixels.size() * 3);
    for (size_t i = 0; i < decoded.pixels.size(); ++i) {
        uint32_t p = decoded.pixels[i];
        bool opaque = (p >> 24) != 0;
        image->rgb[3 * i] = opaque ? uint8_t(p >> 16) : uint8_t(background);
        image->rgb[3 * i + 1] = opaque ? uint8_t(p >> 8) : uint8_t(background >> 8);
        image->rgb[3 * i + 2] = opaque ? uint8_t(p) : uint8_t(background >> 16);
    }
    return true;
}

// Area-averaging resample of the source's region (cut from its top-left corner when smaller) into the output.
void Resample(const RgbImage& src, int srcWidth, int srcHeight, FittedPicture* out) {
    out->stride = (out->width * 3 + 3) & ~3;
    out->bgr.assign(size_t(out->stride) * size_t(out->height), 0);
    for (int y = 0; y < out->height; ++y) {
        int y0 = int(int64_t(y) * srcHeight / out->height);
        int y1 = int(int64_t(y + 1) * srcHeight / out->height);
        if (y1 <= y0) y1 = y0 + 1;
        for (int x = 0; x < out->width; ++x) {
            int x0 = int(int64_t(x) * srcWidth / out->width);
            int x1 = int(int64_t(x + 1) * srcWidth / out->width);
            if (x1 <= x0) x1 = x0 + 1;
            uint32_t sum[3] = {0, 0, 0};
            for (int sy = y0; sy < y1; ++sy) {
                const uint8_t* p = &src.rgb[(size_t(sy) * size_t(src.width) + size_t(x0)) * 3];
                for (int sx = x0; sx < x1; ++sx, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            uint32_t n = uint32_t((y1 - y0) * (x1 - x0));
            uint8_t* d = &out->bgr[size_t(y) * size_t(out->stride) + size_t(x) * 3];
            d[0] = uint8_t(sum[2] / n);
            d[1] = uint8_t(sum[1] / n);
            d[2] = uint8_t(sum[0] / n);
        }
    }
}

bool DecodeAndFit(const uint8_t* data, size_t size, int boxWidth, int boxHeight, int32_t layout, uint32_t background,
                  FittedPicture* out) {
    if (!data || size < 4 || size > kMaxPictureBytes) return false;
    RgbImage image;
    bool decoded = false;
    if (data[0] == 0xFF && data[1] == 0xD8)
        decoded = DecodeJpeg(data, size, boxWidth, boxHeight, layout, &image);
    else if (std::memcmp(data, "GIF8", 4) == 0)
        decoded = DecodeGifRgb(data, size, background, &image);
    if (!decoded || image.width <= 0 || image.height <= 0) return false;
    FittedSize(image.originalWidth, image.originalHeight, boxWidth, boxHeight, layout, &out->width, &out->height);
    if (out->empty()) return false;
    if (layout == kLayoutNormal) {
        // A cut, not a scale: the source region is exactly the output size.
        Resample(image, out->width, out->height, out);
    } else {
        Resample(image, image.width, image.height, out);
    }
    return true;
}

}  // namespace

void FittedSize(int imageWidth, int imageHeight, int boxWidth, int boxHeight, int32_t layout, int* width, int* height) {
    *width = imageWidth;
    *height = imageHeight;
    if (imageWidth <= 0 || imageHeight <= 0) {
        *width = *height = 0;
        return;
    }
    if (layout == kLayoutStretched) {
        *width = boxWidth > 0 ? boxWidth : 0;
        *height = boxHeight > 0 ? boxHeight : 0;
    } else if (layout == kLayoutFitCentred) {
        if (boxWidth <= 0 || boxHeight <= 0) {
            *width = *height = 0;
        } else if (imageWidth > boxWidth || imageHeight > boxHeight) {
            // Shrink by the smaller of the two ratios, rounding to the nearest pixel and keeping at least one.
            if (int64_t(imageWidth) * boxHeight >= int64_t(imageHeight) * boxWidth) {
                *width = boxWidth;
                *height = int((int64_t(imageHeight) * boxWidth * 2 + imageWidth) / (2 * int64_t(imageWidth)));
            } else {
                *height = boxHeight;
                *width = int((int64_t(imageWidth) * boxHeight * 2 + imageHeight) / (2 * int64_t(imageHeight)));
            }
            if (*width < 1) *width = 1;
            if (*height < 1) *height = 1;
        }
    } else {
        // Normal: the part that shows inside the box.
        if (boxWidth >= 0 && *width > boxWidth) *width = boxWidth;
        if (boxHeight >= 0 && *height > boxHeight) *height = boxHeight;
    }
}

void FittedOrigin(const FittedPicture& picture, int boxWidth, int boxHeight, int32_t layout, int* x, int* y) {
    *x = *y = 0;
    if (layout == kLayoutFitCentred) {
        *x = (boxWidth - picture.width) / 2;
        *y = (boxHeight - picture.height) / 2;
    }
}

bool DecodeFittedPicture(const uint8_t* data, size_t size, int boxWidth, int boxHeight, int32_t layout,
                         uint32_t background, FittedPicture* out) {
    *out = FittedPicture{};
    // The caps keep a decode to some megabytes; should even that not be had, the picture is one that cannot be
    // shown, and no exception reaches the window procedure or worker that asked.
    try {
        return DecodeAndFit(data, size, boxWidth, boxHeight, layout, background, out);
    } catch (const std::bad_alloc&) {
        *out = FittedPicture{};
        return false;
    }
}

}  // namespace ui

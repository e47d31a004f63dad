// Whether a picture's bytes end as a whole picture: a body that ends when its connection closes, without an
// announced length or chunks, may have been cut anywhere, and only the format's own structure tells.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace app {

// What a picture's bytes show of its end: whole, cut, or a format whose end the bytes cannot tell (TIFF, or
// anything that is no picture).
enum class PictureEnd { kWhole, kCut, kUnknown };

// Follows a picture's bytes as they arrive, keeping only what the check needs: the first bytes, the last bytes,
// the count, and where a GIF's block structure has got to. A JPEG is whole when it ends with its end-of-image
// marker FF D9 (NUL padding after it allowed), a PNG when it ends with its IEND chunk, a GIF when its blocks,
// walked from the screen descriptor on, end exactly with the trailer 3B (a 3B byte inside a block is no end), a
// WebP when its RIFF size is there to the byte, a BMP when the file size its header gives arrived.
class PictureEndCheck {
public:
    void Feed(std::string_view bytes);
    PictureEnd Verdict() const;
    bool Whole() const { return Verdict() == PictureEnd::kWhole; }

private:
    // A GIF's structure: where the next byte falls.
    enum class Gif { kScreen, kBlock, kExtensionLabel, kSubBlocks, kImage, kCodeSize, kEnded, kBroken };
    void FeedGif(std::string_view bytes);

    std::string head_;  // the first kHeadBytes
    std::string tail_;  // the last kTailBytes
    Gif gif_ = Gif::kScreen;
    std::string gifFields_;  // the screen or image descriptor being read
    uint64_t gifSkip_ = 0;   // bytes of a colour table or sub-block still to pass over
    uint64_t size_ = 0;      // bytes fed so far
    static constexpr size_t kHeadBytes = 12, kTailBytes = 16;
};

// The check over a whole file at once.
bool IsWholePicture(std::string_view file);

}  // namespace app

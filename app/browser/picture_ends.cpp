// End markers and the GIF block walk of the picture formats a photo album serves.
#include "app/browser/picture_ends.h"

#include <algorithm>

namespace app {

namespace {

// Bytes of a colour table whose presence and size a descriptor's packed field gives.
uint64_t ColourTableBytes(unsigned char packed) { return (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0; }

uint64_t LittleEndian32(std::string_view bytes) {
    uint64_t value = 0;
    for (size_t i = 4; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

PictureEnd WholeIf(bool whole) { return whole ? PictureEnd::kWhole : PictureEnd::kCut; }

}  // namespace

void PictureEndCheck::FeedGif(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size() && gif_ != Gif::kBroken) {
        if (gifSkip_ > 0) {
            size_t passed = size_t(std::min<uint64_t>(gifSkip_, bytes.size() - i));
            gifSkip_ -= passed;
            i += passed;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(bytes[i++]);
        switch (gif_) {
            case Gif::kScreen:  // signature and logical screen descriptor: 13 bytes
                gifFields_ += char(c);
                if (gifFields_.size() < 13) break;
                if (gifFields_.compare(0, 6, "GIF87a") != 0 && gifFields_.compare(0, 6, "GIF89a") != 0) {
                    gif_ = Gif::kBroken;
                    break;
                }
                gifSkip_ = ColourTableBytes(static_cast<unsigned char>(gifFields_[10]));
                gifFields_.clear();
                gif_ = Gif::kBlock;
                break;
            case Gif::kBlock:
                gif_ = c == 0x21 ? Gif::kExtensionLabel : c == 0x2C ? Gif::kImage : c == 0x3B ? Gif::kEnded : Gif::kBroken;
                break;
            case Gif::kExtensionLabel:
                gif_ = Gif::kSubBlocks;
                break;
            case Gif::kSubBlocks:  // a size byte, then that many bytes; size 0 ends the block
                if (c == 0)
                    gif_ = Gif::kBlock;
                else
                    gifSkip_ = c;
                break;
            case Gif::kImage:  // image descriptor after its separator: 9 bytes
                gifFields_ += char(c);
                if (gifFields_.size() < 9) break;
                gifSkip_ = ColourTableBytes(static_cast<unsigned char>(gifFields_[8]));
                gifFields_.clear();
                gif_ = Gif::kCodeSize;
                break;
            case Gif::kCodeSize:
                gif_ = Gif::kSubBlocks;
                break;
            case Gif::kEnded:  // bytes after the trailer
            case Gif::kBroken:
                gif_ = Gif::kBroken;
                break;
        }
    }
}

void PictureEndCheck::Feed(std::string_view bytes) {
    size_ += bytes.size();
    if (head_.size() < kHeadBytes) head_.append(bytes.substr(0, kHeadBytes - head_.size()));
    if (bytes.size() >= kTailBytes) {
        tail_.assign(bytes.substr(bytes.size() - kTailBytes));
    } else {
        tail_.append(bytes);
        if (tail_.size() > kTailBytes) tail_.erase(0, tail_.size() - kTailBytes);
    }
    FeedGif(bytes);  // a file that is no GIF breaks the walk at its signature, after which it costs nothing
}

PictureEnd PictureEndCheck::Verdict() const {
    std::string_view head(head_), tail(tail_);
    if (head.substr(0, 3) == std::string_view("\xFF\xD8\xFF", 3)) {
        while (!tail.empty() && tail.back() == '\0') tail.remove_suffix(1);
        return WholeIf(tail.size() >= 2 && tail.substr(tail.size() - 2) == std::string_view("\xFF\xD9", 2));
    }
    if (head.substr(0, 8) == std::string_view("\x89PNG\r\n\x1A\n", 8)) {
        constexpr std::string_view kEnd("IEND\xAE\x42\x60\x82", 8);
        return WholeIf(tail.size() >= kEnd.size() && tail.substr(tail.size() - kEnd.size()) == kEnd);
    }
    if (head.substr(0, 6) == "GIF87a" || head.substr(0, 6) == "GIF89a")
        return WholeIf(gif_ == Gif::kEnded && gifSkip_ == 0);
    if (head.size() == kHeadBytes && head.substr(0, 4) == "RIFF" && head.substr(8, 4) == "WEBP")
        return WholeIf(size_ == LittleEndian32(head.substr(4)) + 8);
    if (head.size() >= 6 && head.substr(0, 2) == "BM" && LittleEndian32(head.substr(2)) > 0)
        return WholeIf(size_ == LittleEndian32(head.substr(2)));
    return PictureEnd::kUnknown;
}

bool IsWholePicture(std::string_view file) {
    PictureEndCheck check;
    check.Feed(file);
    return check.Whole();
}

}  // namespace app

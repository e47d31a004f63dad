// A draw panel's picture kept compact: the file as it came, and the pixels decoded from it for the panel only
// while the panel is among those drawn most recently. A grid of thousands of thumbnails then holds a few KB of
// file a cell and the pixels of the cells around what is on screen, not a bitmap a cell; a cell never drawn is
// never decoded. Window thread only.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "ui/picture_fit.h"

namespace ui {

using PictureFile = std::shared_ptr<const std::vector<uint8_t>>;

// The most bytes of decoded pixels held for all panels together; beyond it the least recently drawn let theirs go.
constexpr size_t kDecodedPixelBudget = 16u << 20;

class PanelPicture {
public:
    PanelPicture() = default;
    // A copy shares the file and decodes its own pixels when it is first drawn.
    PanelPicture(const PanelPicture& other) : file_(other.file_) {}
    PanelPicture& operator=(const PanelPicture& other);
    ~PanelPicture() { LetPixelsGo(); }

    // Takes a file and the pixels decoded from it; a file that did not decode (empty pixels) keeps nothing.
    void Take(PictureFile file, FittedPicture pixels);
    // Takes a file not decoded yet: it is decoded when the panel is first drawn, and let go should it not decode.
    // Decoding only what is drawn also keeps the pixels of cells never shown from churning the heap, where they
    // would leave holes between the files kept.
    void Keep(PictureFile file);
    void Clear();
    bool empty() const { return !file_; }

    // The pixels to draw in a box of this size and layout, decoded again if they were let go; null when there is
    // no picture. Counts as a use: the pixels drawn last are the last to go.
    const FittedPicture* Pixels(int width, int height, int32_t layout, uint32_t background);

    // Decoded pixels held for all panels, in bytes.
    static size_t HeldPixelBytes();

private:
    void Hold(FittedPicture pixels);
    void LetPixelsGo();

    PictureFile file_;
    FittedPicture pixels_;
    bool held_ = false;
    std::list<PanelPicture*>::iterator slot_;  // in the list of held pixels, while held_
};

}  // namespace ui

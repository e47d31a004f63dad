// Draw-panel pictures: files kept, decoded pixels held for the panels drawn most recently within a byte budget.
#include "ui/panel_picture.h"

#include <utility>

namespace ui {

namespace {

// Panels holding decoded pixels, the most recently drawn first, and the bytes they hold. Never destroyed: panels
// may outlive the program's static objects at its end.
std::list<PanelPicture*>& heldPixels = *new std::list<PanelPicture*>;
size_t heldBytes = 0;

}  // namespace

PanelPicture& PanelPicture::operator=(const PanelPicture& other) {
    if (this != &other) {
        LetPixelsGo();
        file_ = other.file_;
    }
    return *this;
}

void PanelPicture::Take(PictureFile file, FittedPicture pixels) {
    Clear();
    if (!file || pixels.empty()) return;
    file_ = std::move(file);
    Hold(std::move(pixels));
}

void PanelPicture::Keep(PictureFile file) {
    Clear();
    if (file && !file->empty()) file_ = std::move(file);
}

void PanelPicture::Clear() {
    LetPixelsGo();
    file_.reset();
}

const FittedPicture* PanelPicture::Pixels(int width, int height, int32_t layout, uint32_t background) {
    if (!file_) return nullptr;
    if (held_) {
        heldPixels.splice(heldPixels.begin(), heldPixels, slot_);
        return &pixels_;
    }
    FittedPicture pixels;
    if (!DecodeFittedPicture(file_->data(), file_->size(), width, height, layout, background, &pixels)) {
        file_.reset();  // not a picture this panel can show: tried once, not at every paint
        return nullptr;
    }
    Hold(std::move(pixels));
    return &pixels_;
}

size_t PanelPicture::HeldPixelBytes() { return heldBytes; }

void PanelPicture::Hold(FittedPicture pixels) {
    LetPixelsGo();
    pixels_ = std::move(pixels);
    heldPixels.push_front(this);
    slot_ = heldPixels.begin();
    held_ = true;
    heldBytes += pixels_.MemoryBytes();
    // The least recently drawn give their pixels back; the picture just held stays, however large.
    while (heldBytes > kDecodedPixelBudget && heldPixels.back() != this) heldPixels.back()->LetPixelsGo();
}

void PanelPicture::LetPixelsGo() {
    if (!held_) return;
    heldBytes -= pixels_.MemoryBytes();
    heldPixels.erase(slot_);
    held_ = false;
    pixels_ = FittedPicture();
}

}  // namespace ui

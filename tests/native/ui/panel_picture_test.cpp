// Draw-panel pictures kept as files, with decoded pixels only for the panels drawn most recently.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/jpeg_writer.h"
#include "ui/panel_picture.h"

namespace ui {
namespace {

constexpr int kBoxWidth = 150, kBoxHeight = 143;

PictureFile Jpeg(uint32_t rgb, int width = 300, int height = 200) {
    return std::make_shared<const std::vector<uint8_t>>(
        testing_support::EncodeJpeg(width, height, [&](int, int) { return rgb; }));
}

const FittedPicture* Draw(PanelPicture& picture) {
    return picture.Pixels(kBoxWidth, kBoxHeight, kLayoutFitCentred, 0xFFFFFF);
}

// The red of the pixel in the middle of what was drawn.
int MiddleRed(const FittedPicture& pixels) {
    return pixels.bgr[size_t(pixels.height / 2) * size_t(pixels.stride) + size_t(pixels.width / 2) * 3 + 2];
}

TEST(PanelPicture, AFileIsDecodedWhenDrawnAndOnlyThenHoldsPixels) {
    size_t before = PanelPicture::HeldPixelBytes();
    {
        PanelPicture picture;
        picture.Keep(Jpeg(0xFF0000));
        EXPECT_FALSE(picture.empty());
        EXPECT_EQ(PanelPicture::HeldPixelBytes(), before) << "a picture never drawn is never decoded";
        const FittedPicture* pixels = Draw(picture);
        ASSERT_NE(pixels, nullptr);
        EXPECT_EQ(pixels->width, 150);
        EXPECT_EQ(pixels->height, 100);
        EXPECT_GT(MiddleRed(*pixels), 200);
        EXPECT_EQ(PanelPicture::HeldPixelBytes(), before + pixels->MemoryBytes());
        EXPECT_EQ(Draw(picture), pixels) << "drawn again from the pixels held";
    }
    EXPECT_EQ(PanelPicture::HeldPixelBytes(), before) << "a panel that goes gives its pixels back";
}

TEST(PanelPicture, FilesThatAreNoPictureAndEmptyFilesShowNothing) {
    PanelPicture garbage;
    garbage.Keep(std::make_shared<const std::vector<uint8_t>>(std::vector<uint8_t>{'<', 'h', 't', 'm', 'l', '>'}));
    EXPECT_EQ(Draw(garbage), nullptr);
    EXPECT_TRUE(garbage.empty()) << "tried once, then let go";
    PanelPicture none;
    none.Keep(std::make_shared<const std::vector<uint8_t>>());
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(Draw(none), nullptr);
    PanelPicture undecoded;
    undecoded.Take(Jpeg(0xFF0000), FittedPicture());
    EXPECT_TRUE(undecoded.empty()) << "a file that did not decode elsewhere keeps nothing";
}

// Thousands of cells drawn one after another (a scroll through the grid) hold no more pixels than the budget,
// and a cell whose pixels went is drawn again, correctly, from its file.
TEST(PanelPicture, PixelsStayWithinTheBudgetAndComeBackFromTheFile) {
    std::vector<PictureFile> files = {Jpeg(0xFF0000), Jpeg(0x00FF00), Jpeg(0x0000FF)};
    std::vector<PanelPicture> cells(1500);
    for (size_t i = 0; i < cells.size(); ++i) cells[i].Keep(files[i % 3]);
    size_t cell = 0, drawnBytes = 0;
    for (PanelPicture& picture : cells) {
        const FittedPicture* pixels = Draw(picture);
        ASSERT_NE(pixels, nullptr) << "cell " << cell;
        drawnBytes += pixels->MemoryBytes();
        EXPECT_LE(PanelPicture::HeldPixelBytes(), kDecodedPixelBudget);
        ++cell;
    }
    ASSERT_GT(drawnBytes, 2 * kDecodedPixelBudget) << "the cells drawn must not all fit in the budget";
    // The first cell's pixels went long ago; the last one's are still held.
    const FittedPicture* last = Draw(cells.back());
    const FittedPicture* first = Draw(cells.front());
    ASSERT_NE(first, nullptr);
    EXPECT_GT(MiddleRed(*first), 200) << "cell 1 is red, decoded again";
    EXPECT_EQ(Draw(cells.back()), last) << "the most recently drawn kept theirs";
    // Copies share the file, not the pixels.
    PanelPicture copy = cells[1];
    const FittedPicture* copied = Draw(copy);
    ASSERT_NE(copied, nullptr);
    EXPECT_NE(copied, Draw(cells[1]));
    EXPECT_LT(MiddleRed(*copied), 60);
    cells.clear();
    copy.Clear();
    EXPECT_EQ(PanelPicture::HeldPixelBytes(), 0u);
}

}  // namespace
}  // namespace ui

// Grid positions, container heights, scroll tops and highlight places for the album sizes that matter.
#include <gtest/gtest.h>

#include "app/browser/grid_layout.h"

namespace app {
namespace {

TEST(GridPlaces, RowsOfFiveAndContainersOfSixHundred) {
    EXPECT_EQ(PlaceOfCell(1).left, 12);
    EXPECT_EQ(PlaceOfCell(1).top, 12);
    EXPECT_EQ(PlaceOfCell(5).left, 676);
    EXPECT_EQ(PlaceOfCell(6).left, 12);
    EXPECT_EQ(PlaceOfCell(6).top, 191);
    EXPECT_EQ(PlaceOfCell(600).container, 0);
    EXPECT_EQ(PlaceOfCell(600).top, 12 + 119 * 179);
    CellPlace p601 = PlaceOfCell(601);
    EXPECT_EQ(p601.container, 1);
    EXPECT_EQ(p601.left, 12);
    EXPECT_EQ(p601.top, 12);
    EXPECT_EQ(PlaceOfCell(1207).container, 2);
    EXPECT_EQ(PlaceOfCell(1207).left, 12 + 166);
}

TEST(GridPlaces, HighlightFrameSitsSixPixelsUpAndLeft) {
    CellPlace p5 = PlaceOfCell(5);
    EXPECT_EQ(p5.left - kHighlightOffset, 670);
    EXPECT_EQ(p5.top - kHighlightOffset, 6);
    CellPlace p601 = PlaceOfCell(601);
    EXPECT_EQ(p601.container, 1);
    EXPECT_EQ(p601.left - kHighlightOffset, 6);
    EXPECT_EQ(p601.top - kHighlightOffset, 6);
}

struct HeightCase {
    int32_t total;
    int64_t scrollRange;
    int32_t first;
    int32_t extras;
    int32_t lastExtra;
};

TEST(GridHeights, AlbumSizesThatCrossTheLimits) {
    const HeightCase cases[] = {
        {1, -358, 183, 0, 0},      {15, 0, 541, 0, 0},          {16, 179, 720, 0, 0},
        {600, 20943, 21484, 0, 0}, {601, 21122, 21484, 1, 541}, {1200, 42423, 21484, 1, 21484},
    };
    for (const HeightCase& c : cases) {
        GridHeights h = HeightsOfGrid(c.total);
        EXPECT_EQ(h.scrollRange, c.scrollRange) << c.total;
        EXPECT_EQ(h.firstContainer, c.first) << c.total;
        EXPECT_EQ(h.extraContainers, c.extras) << c.total;
        if (c.extras) EXPECT_EQ(h.lastExtraHeight, c.lastExtra) << c.total;
    }
}

TEST(GridScroll, ContainerTopsFollowThePosition) {
    EXPECT_EQ(ContainerTop(21122, 0, 601, 0, 21484), 0);
    EXPECT_EQ(ContainerTop(21122, 0, 601, 1, 21484), 21478);
    EXPECT_EQ(ContainerTop(21122, 0, 601, 2, 21484), 2 * 21478);
    EXPECT_EQ(ContainerTop(21122, 601, 601, 0, 21484), -21122);
    EXPECT_EQ(ContainerTop(179, 1, 16, 0, 720), -11);  // trunc(-179/16)
    // One notch moves about scrollRange / total pixels.
    EXPECT_EQ(ContainerTop(42423, 1, 1200, 0, 21484), -35);
}

TEST(GridScroll, WheelClampsToTheRange) {
    EXPECT_EQ(WheelPosition(5, 1, 0, 16), 4);
    EXPECT_EQ(WheelPosition(0, 1, 0, 16), 0);
    EXPECT_EQ(WheelPosition(16, -3, 0, 16), 16);
    EXPECT_EQ(WheelPosition(3, -2, 0, 16), 5);
}

TEST(GridArithmetic, RoundingUp) {
    EXPECT_EQ(DivideRoundingUp(0, 5), 0);
    EXPECT_EQ(DivideRoundingUp(1, 5), 1);
    EXPECT_EQ(DivideRoundingUp(15, 5), 3);
    EXPECT_EQ(DivideRoundingUp(16, 5), 4);
    EXPECT_EQ(DivideRoundingUp(601, 600), 2);
}

}  // namespace
}  // namespace app

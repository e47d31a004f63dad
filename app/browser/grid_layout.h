// The thumbnail grid's fixed pixel arithmetic: cell positions, container heights, scroll tops and the
// highlight frame's place. Platform-free, so that it is tested natively.
#pragma once

#include <cstdint>

namespace app {

constexpr int32_t kCellsPerRow = 5;
constexpr int32_t kCellsPerContainer = 600;
constexpr int32_t kFirstCell = 12;
constexpr int32_t kColumnPitch = 166;
constexpr int32_t kRowPitch = 179;
constexpr int32_t kCheckBoxOffset = 143;
constexpr int32_t kHighlightOffset = 6;
constexpr int32_t kScreenHeight = 537;
constexpr int32_t kContainerMinimum = 541;
constexpr int32_t kFullContainerHeight = 21484;
constexpr int32_t kScrollThreshold = 15;

// n / d rounded up, in the program's real-number arithmetic (integer divide, plus one for a remainder).
int32_t DivideRoundingUp(int32_t n, int32_t d);

struct CellPlace {
    int32_t container;  // 0 = the first container, k = extra container k
    int32_t left;
    int32_t top;
};
// Where picture number i (1-based) sits: its container and its thumbnail's left and top in it.
CellPlace PlaceOfCell(int32_t i);

struct GridHeights {
    int64_t scrollRange;      // rows x 179 - 537
    int32_t firstContainer;   // height of the first container
    int32_t extraContainers;  // number of extra containers
    int32_t lastExtraHeight;  // height of the last extra container (the others are full)
};
GridHeights HeightsOfGrid(int32_t pictureTotal);

// Top of container k (0 = first) for scroll position p of maximum m.
int32_t ContainerTop(int64_t scrollRange, int32_t position, int32_t maximum, int32_t k, int32_t firstHeight);

// New scroll position after a wheel turn of distance notches (positive away from the user), kept in range.
int32_t WheelPosition(int32_t position, int32_t distance, int32_t minimum, int32_t maximum);

}  // namespace app

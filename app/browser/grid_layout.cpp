// Grid arithmetic in double precision, truncated toward zero, as the listing does it.
#include "app/browser/grid_layout.h"

#include <algorithm>
#include <cmath>

#include "runtime/call.h"

namespace app {

namespace {
double IntegerDivide(double a, double b) { return rt::CallKernel(rt::kIntegerDivide, a, b).AsDouble(); }
double Remainder(double a, double b) { return rt::CallKernel(rt::kRemainder, a, b).AsDouble(); }
bool IsZero(double x) { return std::fabs(x) <= 0.0000001; }
}  // namespace

int32_t DivideRoundingUp(int32_t n, int32_t d) {
    double q = IntegerDivide(n, d);
    return int32_t(IsZero(Remainder(n, d)) ? q : q + 1);
}

CellPlace PlaceOfCell(int32_t i) {
    int32_t inContainer = (i - 1) % kCellsPerContainer;  // 0-based place inside its container
    return {(i - 1) / kCellsPerContainer, kFirstCell + (inContainer % kCellsPerRow) * kColumnPitch,
            kFirstCell + (inContainer / kCellsPerRow) * kRowPitch};
}

GridHeights HeightsOfGrid(int32_t total) {
    GridHeights h{};
    int32_t rows = DivideRoundingUp(total, kCellsPerRow);
    h.scrollRange = int64_t(rows) * kRowPitch - kScreenHeight;
    int32_t containers = DivideRoundingUp(total, kCellsPerContainer);
    h.extraContainers = std::max(containers - 1, 0);
    if (h.extraContainers == 0) {
        h.firstContainer = int32_t(h.scrollRange + kContainerMinimum);
        return h;
    }
    h.firstContainer = kFullContainerHeight;
    int32_t lastCount = total - kCellsPerContainer * h.extraContainers;
    int32_t lastRows = DivideRoundingUp(lastCount, kCellsPerRow);
    h.lastExtraHeight = std::max(lastRows * kRowPitch - kScreenHeight + kContainerMinimum, kContainerMinimum);
    return h;
}

int32_t ContainerTop(int64_t scrollRange, int32_t position, int32_t maximum, int32_t k, int32_t firstHeight) {
    double base = maximum == 0 ? 0.0 : -double(scrollRange) * position / maximum;
    return int32_t(std::trunc(base + double(k) * (firstHeight - 6)));
}

int32_t WheelPosition(int32_t position, int32_t distance, int32_t minimum, int32_t maximum) {
    return std::clamp(position - distance, minimum, std::max(minimum, maximum));
}

}  // namespace app

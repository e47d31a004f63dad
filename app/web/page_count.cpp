// Page count from the last-page link, with the kernel's text commands.
#include "app/web/page_count.h"

#include <algorithm>
#include <limits>

namespace app {

int32_t ProgressRange(int64_t steps) {
    return int32_t(
        std::clamp<int64_t>(steps, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int32_t IndexPageCount(const Text& firstPage) {
    int32_t marker = FindTextReverse(firstPage, "\">[尾页]");
    if (marker == -1) return 1;
    // The last "/" that ends before the marker.
    int32_t slash = FindTextReverse(firstPage, "/", marker);
    if (slash == -1) return 1;
    int64_t lastIndex = ToInteger(MidText(firstPage, slash + 1, marker - slash - 1));
    return int32_t(std::clamp<int64_t>(lastIndex + 1, 1, kMaxIndexPages));
}

}  // namespace app

// The number of index pages of a listing, read from the first page's last-page link.
#pragma once

#include "app/commands.h"

namespace app {

// A lying page must not send the workers after millions of pages; a real listing never comes near this.
constexpr int32_t kMaxIndexPages = 10000;

// The last-page link ends with a double quote and ">[尾页]"; the page index is the number after the last "/"
// before the last such marker. No marker: one page. The count is kept within 1 .. kMaxIndexPages.
int32_t IndexPageCount(const Text& firstPage);

// A progress bar's range from a step count worked out in 64 bits (a lying album count doubled, pages added),
// held within the 32-bit range the bar takes, so that no count overflows on its way there.
int32_t ProgressRange(int64_t steps);

}  // namespace app

// The step shared by the album and the picture listing: count a listing's index pages from its first page and
// fetch them all with ten page workers, keeping each page's data block in its own slot.
#pragma once

#include "app/commands.h"

namespace app {

// Fills pageCount, pageTexts (emptied again once joined), pageBaseUrl and joinedPageText; the maximum of 进度条1
// becomes pageCount plus extraSteps. busy is 1 while the workers run and stays 1 afterwards when keepBusy is set. The
// data blocks kept add up to kListingMaxBytes at most: the first block that would go over it is dropped and no further
// page is asked for. joinedPageText is replaced only here, and this runs only while no listing runs, so the workers of
// a listing can read it in place while busy is 1.
void FetchIndexPages(const Text& firstPage, const Text& baseUrl, int64_t extraSteps, bool keepBusy);

// True while a listing or a download runs: a second one must not start then.
bool WorkRunning();

// While a listing or a download runs, shows the given busy text ("程序正忙，请稍后再…。") and returns true, so that
// a click that cannot act now is never dropped without a word.
bool TellIfBusy(const char* busyText);

// The busy text of the two listing commands.
constexpr const char* kListingBusyText = "程序正忙，请稍后再列出。";

}  // namespace app

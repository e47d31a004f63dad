// Index pages fetched by ten page workers; each data block lands in the slot of its page.
#include "app/web/index_pages.h"

#include <atomic>
#include <cstring>

#include "app/browser/batch_download.h"
#include "app/main_window_access.h"
#include "app/shell/globals.h"
#include "app/web/fetch_limits.h"
#include "app/web/http_request.h"
#include "app/web/page_count.h"
#include "app/web/worker_stage.h"

namespace app {

namespace {

// The bytes of the data blocks kept so far in this listing (changed under workLock), and whether a block has
// been refused for going over kListingMaxBytes: from then on no worker asks for another page.
int64_t listingBytes = 0;
std::atomic<bool> listingFull{false};

int32_t PageWorker(int32_t) {
    while (int32_t k = listingFull ? 0 : TakeNextItem(pageCount)) {
        Text url = Concat(pageBaseUrl ? pageBaseUrl : "", "/index/", ToText(k - 1));
        Text page = ToText(HttpRequest(url));
        void* blocks = SearchAll(forimgsPattern, page.c_str());
        if (CountOf(blocks) >= 1) {
            Text block = MatchText(blocks, 1, page);
            const int64_t size = int64_t(block.size());
            WorkLockHold hold;
            if (listingBytes + size <= kListingMaxBytes) {
                listingBytes += size;
                SetTextAt(pageTexts, k, block.release());
            } else {
                listingFull = true;  // the listing keeps what it has, as after a broken page
            }
        }
        FreeMatchArray(blocks);
        AdvanceStageProgress();
    }
    return FinishWorker();
}

}  // namespace

bool WorkRunning() { return busy == 1 || DownloadRunning(); }

bool TellIfBusy(const char* busyText) {
    if (!WorkRunning()) return false;
    ShowMessageBox(busyText, 64, "提示");
    return true;
}

void FetchIndexPages(const Text& firstPage, const Text& baseUrl, int64_t extraSteps, bool keepBusy) {
    pageCount = IndexPageCount(firstPage);
    ResetTextArray(&pageTexts, pageCount);
    rt::MemFree(pageBaseUrl);
    pageBaseUrl = rt::NewText(baseUrl.c_str());
    SetIntProperty(form::进度条1, 12, ProgressRange(pageCount + extraSteps));
    busy = 1;
    rt::MemFree(joinedPageText);
    joinedPageText = nullptr;
    listingBytes = 0;
    listingFull = false;
    RunWorkerStage(&PageWorker);
    if (!keepBusy) busy = 0;
    // Joined into one block of the kept size, at most kListingMaxBytes, each page's slot emptied once it is in:
    // the joined text is the one copy the searches and the record workers read.
    if (listingBytes == 0) return;
    joinedPageText = static_cast<char*>(rt::MemAlloc(int32_t(listingBytes + 1)));
    char* end = joinedPageText;
    for (int32_t k = 1; k <= CountOf(pageTexts); ++k) {
        const char* block = TextAt(pageTexts, k);
        const size_t size = std::strlen(block);
        std::memcpy(end, block, size);
        end += size;
        SetTextAt(pageTexts, k, nullptr);
    }
    *end = 0;
}

}  // namespace app

// Index pages fetched by ten page workers; each data block lands in the slot of its page.
#include "app/web/index_pages.h"

#include <string>

#include "app/browser/batch_download.h"
#include "app/main_window_access.h"
#include "app/shell/globals.h"
#include "app/web/http_request.h"
#include "app/web/page_count.h"
#include "app/web/worker_stage.h"

namespace app {

namespace {

int32_t PageWorker(int32_t) {
    while (int32_t k = TakeNextItem(pageCount)) {
        Text url = Concat(pageBaseUrl ? pageBaseUrl : "", "/index/", ToText(k - 1));
        Text page = ToText(HttpRequest(url));
        void* blocks = SearchAll(forimgsPattern, page);
        if (CountOf(blocks) >= 1) {
            Text block = MatchText(blocks, 1, page);
            WorkLockHold hold;
            SetTextAt(pageTexts, k, block.release());
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
    RunWorkerStage(&PageWorker);
    if (!keepBusy) busy = 0;
    std::string joined;
    for (int32_t k = 1; k <= CountOf(pageTexts); ++k) joined += TextAt(pageTexts, k);
    joinedPageText = rt::NewText(joined.data(), joined.size());
}

}  // namespace app

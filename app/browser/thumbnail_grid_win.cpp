// The thumbnail grid: listing an album's pictures into cells copied from the templates 画板1 and 选择框1,
// scrolling by moving the containers, the highlight frame, the 选择 menu and its commands.
#include <windows.h>

#include "app/browser/batch_download.h"
#include "app/browser/grid_layout.h"
#include "app/browser/thumbnail_check.h"
#include "app/browser/thumbnail_grid.h"
#include "app/main_window_access.h"
#include "app/shell/globals.h"
#include "app/shell/handler_table.h"
#include "app/web/http_request.h"
#include "app/web/index_pages.h"
#include "app/web/stage_times.h"
#include "app/web/worker_stage.h"
#include "app/web/fetch_limits.h"
#include "runtime/transfer.h"
#include "runtime/errors.h"
#include "runtime/library_commands.h"

#include <atomic>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace app {

namespace {

constexpr int32_t kLeft = 0, kTop = 1, kHeight = 3, kVisible = 5, kDisabled = 6;
constexpr int32_t kPicture = 10, kPictureLayout = 11, kCheckCaption = 11, kChecked = 18;
constexpr int32_t kScrollMin = 8, kScrollMax = 9, kScrollPage = 10, kScrollLine = 11, kScrollPosition = 12;
constexpr int32_t kMenuVisible = 3;

rt::Value MainWindow() { return Control(rt::kTagWindow, form::窗口); }
rt::Value ShapeBox(uint32_t id) { return Control(rt::kTagShapeBox, id); }

void FocusScrollBar() { rt::CallKernel(rt::kFocusControl, Control(rt::kTagVScrollBar, form::纵向滚动条1)); }

void SetButtonsEnabled(std::initializer_list<uint32_t> buttons, bool enabled) {
    for (uint32_t id : buttons) SetBoolProperty(id, kDisabled, !enabled);
}

// The joined index pages, read in place by the searches and the record workers.
const char* JoinedPages() { return joinedPageText ? joinedPageText : ""; }

// Thumbnail bytes this listing's cells keep or will keep (kListingThumbnailMaxBytes at most).
std::atomic<int64_t> keptThumbnailBytes{0};

// HttpReadFile's request, with the cookies of the thumbnail stage's snapshot. A body whose header shows no
// picture the decoder would take, or that would take the listing's thumbnails over their budget, is dropped
// here, before it waits for its cell: the cell stays empty, as for a failed fetch.
Bytes ReadThumbnail(const char* url) {
    std::string body;
    rt::TransferLimits limits;
    limits.maxBytes = kThumbnailMaxBytes;
    limits.baseMs = kThumbnailDeadlineMs;
    if (!rt::TransferToMemory(url, rt::WireProfile::kPage, rt::CookieSource::kSnapshot, limits, &body) ||
        !ThumbnailWorthKeeping(reinterpret_cast<const uint8_t*>(body.data()), body.size()))
        return Bytes();
    const int64_t size = int64_t(body.size());
    if (keptThumbnailBytes.fetch_add(size) + size > kListingThumbnailMaxBytes) {
        keptThumbnailBytes -= size;
        return Bytes();
    }
    return Bytes::Copy(body.data(), body.size());
}

// The psrc and the pname search over the joined pages, side by side on two workers, while the window thread
// keeps answering: the pages may hold megabytes. Both read joinedPageText where it lies (a listing runs, so
// nothing replaces it), and stop at the listing's cap on records.
int32_t SearchWorker(int32_t) {
    while (int32_t k = TakeNextItem(2)) {
        void* found = SearchAll(k == 1 ? psrcPattern : pnamePattern, JoinedPages(), kListingMaxRecords);
        WorkLockHold hold;
        (k == 1 ? psrcMatches : pnameMatches) = found;
    }
    return FinishWorker();
}

// One record per psrc match, stored at its match number so that the lists stay in page order.
int32_t PictureRecordWorker(int32_t) {
    int32_t records = CountOf(psrcMatches);
    const char* joined = JoinedPages();
    const size_t length = std::strlen(joined);
    while (int32_t k = TakeNextItem(records)) {
        Text thumb = MatchText(psrcMatches, k, joined, length);
        Text full = ReplaceAll(thumb, "/abpic/", "/pic/", false);
        Text name = MatchText(pnameMatches, k, joined, length);  // missing names stay empty
        {
            WorkLockHold hold;
            SetTextAt(thumbUrls, k, thumb.release());
            SetTextAt(pictureUrls, k, full.release());
            SetTextAt(pictureNames, k, name.release());
        }
        AdvanceStageProgress();
    }
    return FinishWorker();
}

// Counts the grids made: a reload's picture goes into its cell only while the grid it was asked for stands.
int64_t gridNumber = 0;

// Thumbnails fetched and not yet in their cells: the window thread puts them in, a batch at a time.
std::mutex arrivedLock;
std::deque<std::pair<int32_t, Bytes>> arrivedThumbnails;  // in the order they arrived

int32_t ThumbnailWorker(int32_t) {
    int32_t records = CountOf(pictureUrls);
    while (int32_t k = TakeNextItem(records)) {
        Bytes thumbnail = ReadThumbnail(TextAt(thumbUrls, k));
        std::lock_guard<std::mutex> hold(arrivedLock);
        arrivedThumbnails.emplace_back(k, std::move(thumbnail));
    }
    return FinishWorker();
}

// Puts up to eight arrived thumbnails into their cells (each is decoded here); true when more are waiting.
bool ShowArrivedThumbnails() {
    constexpr size_t kAtOnce = 8;
    std::vector<std::pair<int32_t, Bytes>> batch;
    bool more;
    {
        std::lock_guard<std::mutex> hold(arrivedLock);
        for (size_t n = 0; n < kAtOnce && !arrivedThumbnails.empty(); ++n) {
            batch.push_back(std::move(arrivedThumbnails.front()));
            arrivedThumbnails.pop_front();
        }
        more = !arrivedThumbnails.empty();
    }
    for (auto& [k, thumbnail] : batch) {
        uint32_t cell = ControlAt(thumbControls, k);
        SetIntProperty(cell, kPictureLayout, 2);
        SetBytesProperty(cell, kPicture, std::move(thumbnail));
    }
    return more;
}

// Removes the previous grid: its cells, and the extra containers (the highlight frame first goes home).
void DestroyGrid() {
    ++gridNumber;
    for (void* cells : {thumbControls, checkControls})
        for (int32_t i = 1; i <= CountOf(cells); ++i)
            rt::CallKernel(rt::kDestroyUnit, Control(rt::kTagDrawPanel, ControlAt(cells, i)));
    rt::CallKernel(rt::kSetParentControl, Control(rt::kTagPicBtn, form::图形按钮1), ShapeBox(form::外形框3));
    SetBoolProperty(form::图形按钮1, kVisible, false);
    for (int32_t k = 1; k <= CountOf(extraContainers); ++k)
        rt::CallKernel(rt::kDestroyUnit, ShapeBox(ControlAt(extraContainers, k)));
    ResetControlArray(&thumbControls, rt::kTagDrawPanel, 0);
    ResetControlArray(&checkControls, rt::kTagCheckBox, 0);
    ResetControlArray(&extraContainers, rt::kTagShapeBox, 0);
}

uint32_t ContainerOf(int32_t picture) {
    int32_t k = (picture - 1) / kCellsPerContainer;
    return k == 0 ? form::外形框3 : ControlAt(extraContainers, k);
}

void BuildGrid(int32_t cells) {
    ResetControlArray(&thumbControls, rt::kTagDrawPanel, cells);
    ResetControlArray(&checkControls, rt::kTagCheckBox, cells);
    GridHeights heights = HeightsOfGrid(cells);
    ResetControlArray(&extraContainers, rt::kTagShapeBox, heights.extraContainers);
    // The window answers and paints, and the bar moves, every 15 ms or so rather than after every container or
    // cell: pumping after each of thousands of cells cost more than making them.
    constexpr ULONGLONG kPumpEveryMs = 15;
    ULONGLONG lastPump = GetTickCount64();
    int32_t unpumped = 0;
    auto pumpNowAndThen = [&](bool last) {
        if (GetTickCount64() - lastPump < kPumpEveryMs && !last) return;
        SetIntProperty(form::进度条1, 13, IntProperty(form::进度条1, 13) + unpumped);
        unpumped = 0;
        DoEvents();
        lastPump = GetTickCount64();
    };
    int32_t left = IntProperty(form::外形框3, kLeft), top = IntProperty(form::外形框3, kTop);
    for (int32_t k = 1; k <= heights.extraContainers; ++k) {
        rt::CallKernel(rt::kCopyControl, ShapeBox(form::外形框3),
                       rt::Ref{ControlSlot(extraContainers, k), rt::kTagShapeBox});
        uint32_t box = ControlAt(extraContainers, k);
        SetIntProperty(box, kLeft, left);
        SetIntProperty(box, kTop, top + kContainerMinimum);
        SetBoolProperty(box, kVisible, true);
        pumpNowAndThen(false);
    }
    for (int32_t i = 1; i <= cells; ++i) {
        rt::CallKernel(rt::kCopyControl, Control(rt::kTagDrawPanel, form::画板1),
                       rt::Ref{ControlSlot(thumbControls, i), rt::kTagDrawPanel});
        rt::CallKernel(rt::kCopyControl, Control(rt::kTagCheckBox, form::选择框1),
                       rt::Ref{ControlSlot(checkControls, i), rt::kTagCheckBox});
        uint32_t thumb = ControlAt(thumbControls, i), check = ControlAt(checkControls, i);
        if (i > kCellsPerContainer) {
            rt::CallKernel(rt::kSetParentControl, Control(rt::kTagDrawPanel, thumb), ShapeBox(ContainerOf(i)));
            rt::CallKernel(rt::kSetParentControl, Control(rt::kTagCheckBox, check), ShapeBox(ContainerOf(i)));
        }
        CellPlace place = PlaceOfCell(i);
        SetIntProperty(thumb, kLeft, place.left);
        SetIntProperty(thumb, kTop, place.top);
        SetIntProperty(check, kLeft, place.left);
        SetIntProperty(check, kTop, place.top + kCheckBoxOffset);
        SetCellCaption(i, false);
        SetBoolProperty(thumb, kVisible, true);
        SetBoolProperty(check, kVisible, true);
        ++unpumped;
        pumpNowAndThen(i == cells);
    }
    SetIntProperty(form::进度条1, 13, 0);

    scrollRange = heights.scrollRange;
    SetIntProperty(form::外形框3, kHeight, heights.firstContainer);
    for (int32_t k = 1; k <= heights.extraContainers; ++k)
        SetIntProperty(ControlAt(extraContainers, k), kHeight,
                       k == heights.extraContainers ? heights.lastExtraHeight : kFullContainerHeight);

    SetIntProperty(form::纵向滚动条1, kScrollMax, cells);
    SetIntProperty(form::纵向滚动条1, kScrollMin, 0);
    SetIntProperty(form::纵向滚动条1, kScrollPosition, 0);
    SetIntProperty(form::纵向滚动条1, kScrollPage, 1);
    SetIntProperty(form::纵向滚动条1, kScrollLine, 1);
    SetBoolProperty(form::纵向滚动条1, kDisabled, cells <= kScrollThreshold);
    FocusScrollBar();
}

void ListPictures() {
    if (WorkRunning()) return;
    int32_t selected = IntProperty(form::组合框1, 19);
    if (selected == -1) return;
    if (rt::CallKernel(rt::kComboItemData, Control(rt::kTagComboBox, form::组合框1), selected).AsInt() == 0) {
        ShowMessageBox("该相册还没有图片。", 64, "提示");
        return;
    }
    SetButtonsEnabled({form::按钮1, form::按钮2, form::按钮3, form::按钮4, form::按钮6, form::纵向滚动条1}, false);
    busy = 1;  // from the first fetch on: no menu, no refresh, no close until the grid is complete
    StageTimes times;
    DestroyGrid();
    for (void** list : {&thumbUrls, &pictureUrls, &pictureNames, &pageTexts}) ResetTextArray(list, 0);
    albumPictureTotal = ToInteger(Text::Copy(TextAt(albumPictureCounts, selected + 1)));
    times.Mark("old-grid");

    Text album = Text::Copy(TextAt(albumUrls, selected + 1));
    Text firstPage = ToText(HttpRequest(album));
    DoEvents();
    times.Mark("first-page");
    FetchIndexPages(firstPage, album, 2 * int64_t(albumPictureTotal), true);
    times.Mark("index-pages");

    FreeMatchArray(psrcMatches);
    FreeMatchArray(pnameMatches);
    psrcMatches = pnameMatches = nullptr;
    RunWorkerStage(&SearchWorker);
    times.Mark("searches");
    int32_t records = CountOf(psrcMatches);
    for (void** list : {&thumbUrls, &pictureUrls, &pictureNames}) ResetTextArray(list, records);
    RunWorkerStage(&PictureRecordWorker);
    times.Mark("records");

    // One cell per picture record: the count the album announced may differ from what its pages hold.
    albumPictureTotal = records;
    keptThumbnailBytes = 0;
    // The thumbnails are fetched while the grid is built: fetching waits on the network, building on the
    // window. What arrives before its cell exists waits in arrivedThumbnails until the grid is complete.
    rt::StartCookieSnapshot();  // after the index pages: the cookies they set go with every thumbnail
    StartWorkerStage(&ThumbnailWorker);
    BuildGrid(records);
    times.Mark("grid");
    FinishWorkerStage(&ShowArrivedThumbnails);
    times.Mark("thumbnails");

    busy = 0;
    // 按钮2 comes back last: once it is enabled, the whole window shows the finished listing.
    SetButtonsEnabled({form::按钮3, form::按钮4}, albumPictureTotal > 0);
    SetButtonsEnabled({form::按钮1, form::按钮6, form::按钮2}, true);
}

void ScrollGrid() {
    int32_t position = IntProperty(form::纵向滚动条1, kScrollPosition);
    int32_t maximum = IntProperty(form::纵向滚动条1, kScrollMax);
    int32_t firstHeight = IntProperty(form::外形框3, kHeight);
    SetIntProperty(form::外形框3, kTop, ContainerTop(scrollRange, position, maximum, 0, firstHeight));
    // While a grid is being built, the window answers between containers: only those made so far move.
    for (int32_t k = 1; k <= CountOf(extraContainers); ++k)
        if (uint32_t box = ControlAt(extraContainers, k))
            SetIntProperty(box, kTop, ContainerTop(scrollRange, position, maximum, k, firstHeight));
}

// The clicked thumbnail becomes the current picture, framed by 图形按钮1 in its container.
void HighlightCell() {
    rt::Value source = rt::CallKernel(rt::kGetEventControl);
    if (source.tag != rt::kTagDrawPanel) rt::ErrorReport(rt::kErrTypeMismatch);
    for (int32_t i = 1; i <= CountOf(thumbControls); ++i)
        if (ControlAt(thumbControls, i) == source.high) currentPictureIndex = i;
    if (currentPictureIndex < 1 || currentPictureIndex > CountOf(thumbControls)) return;
    rt::CallKernel(rt::kSetParentControl, Control(rt::kTagPicBtn, form::图形按钮1),
                   ShapeBox(ContainerOf(currentPictureIndex)));
    SetIntProperty(form::图形按钮1, kLeft, IntProperty(source.high, kLeft) - kHighlightOffset);
    SetIntProperty(form::图形按钮1, kTop, IntProperty(source.high, kTop) - kHighlightOffset);
    SetBoolProperty(form::图形按钮1, kVisible, true);
}

void PopUpChoices(bool withReload) {
    SetBoolProperty(form::重新载入, kMenuVisible, withReload);
    SetBoolProperty(form::重新载入分隔线, kMenuVisible, withReload);
    if (busy == 0) rt::CallKernel(rt::kPopupMenu, MainWindow(), Control(rt::kTagMenu, form::选择));
    FocusScrollBar();
}

void SetAllChecks(int mode) {  // 1 check, 0 uncheck, -1 invert
    for (int32_t i = 1; i <= CountOf(checkControls); ++i) {
        uint32_t check = ControlAt(checkControls, i);
        bool checked = mode == -1 ? IntProperty(check, kChecked) == 0 : mode == 1;
        SetBoolProperty(check, kChecked, checked);
    }
}

void StartListing() {
    SetBoolProperty(form::图形按钮1, kVisible, false);
    SetIntProperty(form::外形框3, kTop, 0);
    SetIntProperty(form::外形框3, kHeight, kContainerMinimum);
    ListPictures();
    RunDeferredDownload();
}

}  // namespace

constexpr const char* kFailedMark = "[失败]";

void SetCellCaption(int32_t picture, bool failed) {
    SetTextProperty(
        ControlAt(checkControls, picture), kCheckCaption,
        Concat("(", ToText(picture), ")", failed ? kFailedMark : "", TextAt(pictureNames, picture)).c_str());
}

bool CellMarkedFailed(int32_t picture) {
    Text caption = TextProperty(ControlAt(checkControls, picture), kCheckCaption);
    Text marked = Concat("(", ToText(picture), ")", kFailedMark);
    return caption.str().compare(0, marked.str().size(), marked.str()) == 0;
}

rt::Value OnListPicturesClicked(int32_t, rt::Value*) {
    if (!TellIfBusy(kListingBusyText)) StartListing();
    return {};
}

rt::Value OnRefresh(int32_t, rt::Value*) {
    if (!TellIfBusy("程序正忙，请稍后再刷新。")) StartListing();
    return {};
}

rt::Value OnScrollBarMoved(int32_t, rt::Value*) {
    ScrollGrid();
    return {};
}

rt::Value OnScrollBarWheel(int32_t argc, rt::Value* args) {
    int32_t distance = argc >= 1 ? args[0].AsInt() : 0;
    int32_t position =
        WheelPosition(IntProperty(form::纵向滚动条1, kScrollPosition), distance,
                      IntProperty(form::纵向滚动条1, kScrollMin), IntProperty(form::纵向滚动条1, kScrollMax));
    SetIntProperty(form::纵向滚动条1, kScrollPosition, position);
    ScrollGrid();
    return {};
}

rt::Value OnGridLeftDown(int32_t, rt::Value*) {
    SetBoolProperty(form::图形按钮1, kVisible, false);
    FocusScrollBar();
    return {};
}

rt::Value OnGridRightUp(int32_t, rt::Value*) {
    PopUpChoices(false);
    return {};
}

rt::Value OnThumbLeftDown(int32_t, rt::Value*) {
    HighlightCell();
    FocusScrollBar();
    return {};
}

rt::Value OnThumbRightUp(int32_t, rt::Value*) {
    HighlightCell();
    PopUpChoices(true);
    return {};
}

rt::Value OnFocusScrollBar(int32_t, rt::Value*) {
    FocusScrollBar();
    return {};
}

// A reload's fetch, shared by its worker and the window thread waiting for it: whichever lets go last frees it.
struct ReloadFetch {
    std::string url;
    Bytes thumbnail;
    std::atomic<bool> finished{false};
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~ReloadFetch() {
        if (done) CloseHandle(done);
    }
};

// Longest sleep between two looks at a reload's fetch; its event normally ends the wait long before.
constexpr int64_t kReloadSafetyMicroseconds = 50000;

// 重新载入: the clicked cell's thumbnail fetched again on a worker while the window thread keeps answering. The
// user may list again meanwhile (the grid is destroyed), reload another cell (that reload runs and ends inside
// this wait) or close the window (which ends the program from its handler); so the picture goes into the cell
// only if the same grid still stands with that cell in it.
rt::Value OnReloadThumbnail(int32_t, rt::Value*) {
    const int32_t picture = currentPictureIndex;
    if (picture < 1 || picture > CountOf(thumbControls)) return {};
    const int64_t grid = gridNumber;
    const uint32_t cell = ControlAt(thumbControls, picture);
    SetBytesProperty(cell, kPicture, Bytes());
    auto fetch = std::make_shared<ReloadFetch>();
    fetch->url = TextAt(thumbUrls, picture);
    if (!fetch->done) return {};
    try {
        std::thread([fetch] {
            rt::GuardEntry("线程运行出错!", [&fetch] {
                try {
                    fetch->thumbnail = ReadThumbnail(fetch->url.c_str());
                } catch (const std::bad_alloc&) {  // a body the memory cannot hold is a failed fetch
                }
            });
            fetch->finished = true;
            SetEvent(fetch->done);
        }).detach();
    } catch (const std::system_error&) {
        return {};  // no worker: the cell stays empty, as after a failed fetch
    }
    while (!fetch->finished) ResponsiveDelay(kReloadSafetyMicroseconds, fetch->done);
    if (gridNumber == grid && picture <= CountOf(thumbControls) && ControlAt(thumbControls, picture) == cell)
        SetBytesProperty(cell, kPicture, fetch->thumbnail);
    return {};
}

rt::Value OnCheckAll(int32_t, rt::Value*) {
    SetAllChecks(1);
    return {};
}
rt::Value OnCheckNone(int32_t, rt::Value*) {
    SetAllChecks(0);
    return {};
}
rt::Value OnInvertChecks(int32_t, rt::Value*) {
    SetAllChecks(-1);
    return {};
}

}  // namespace app

// Batch download: the ticked pictures or all of them into a chosen folder, ten downloads at a time. A picture
// counts as saved only when its file was written whole (see SavePicture), and a picture whose bytes the folder
// already holds under its name counts as already there; the report says how many were saved, how many were
// already there and how many failed.
#include <atomic>
#include <initializer_list>
#include <mutex>
#include <utility>
#include <vector>

#include "app/browser/batch_download.h"
#include "app/browser/download_names.h"
#include "app/browser/picture_saver.h"
#include "app/browser/url_download.h"
#include "app/browser/thumbnail_grid.h"
#include "app/main_window_access.h"
#include "app/shell/globals.h"
#include "app/shell/handler_table.h"
#include "app/web/index_pages.h"
#include "app/web/worker_stage.h"
#include "runtime/library_commands.h"

namespace app {

namespace {

std::atomic<bool> downloading{false};
std::atomic<int32_t> savedPictures{0};
std::atomic<int32_t> failedPictures{0};
std::atomic<int32_t> presentPictures{0};
std::mutex failuresLock;
std::vector<int32_t> failures;  // the pictures (1-based) that failed in the running download

using ClickHandler = rt::Value (*)(int32_t, rt::Value*);
ClickHandler deferredClick = nullptr;

// A download click can reach its handler while other work runs: clicks queued before a listing disabled the
// buttons are dispatched while the listing pumps messages, and an album listing leaves 按钮3 and 按钮4 enabled.
// The person clicked a button that looked ready, so the click is not dropped: during a listing it is kept and
// carried out when the listing ends; during a download the person is told why nothing starts.
bool PutOff(ClickHandler click) {
    if (DownloadRunning()) {
        ShowMessageBox("程序正忙，请稍后再下载。", 64, "提示");
        return true;
    }
    if (!WorkRunning()) return false;
    deferredClick = click;
    return true;
}

int32_t DownloadWorker(int32_t) {
    int32_t entries = CountOf(downloadList);
    while (int32_t j = TakeNextItem(entries)) {
        Text url = Text::Copy(TextAt(pictureUrls, IntAt(downloadList, j)));
        Text folder;
        {
            // One backslash at the end of the folder, added once, while no other worker reads it.
            WorkLockHold hold;
            Text withBackslash = FolderWithBackslash(Text::Copy(saveFolder));
            if (!(withBackslash == saveFolder)) {
                rt::MemFree(saveFolder);
                saveFolder = withBackslash.release();
            }
            folder = Text::Copy(saveFolder);
        }
        SaveOutcome outcome = SavePicture(url, folder);
        if (outcome.saved) {
            ++savedPictures;
        } else if (outcome.alreadyThere) {
            ++presentPictures;
        } else {
            ++failedPictures;
            std::lock_guard<std::mutex> hold(failuresLock);
            failures.push_back(IntAt(downloadList, j));
        }
        AdvanceStageProgress();
    }
    return FinishWorker();
}

void SetDownloadButtonsEnabled(bool enabled) {
    for (uint32_t id : {form::按钮2, form::按钮3, form::按钮4}) SetBoolProperty(id, 6, !enabled);
}

// Each picture of the finished download shows whether it failed. After failures exactly the failed pictures
// are ticked, so that 下载选中图片 retries them; a download without failures leaves the ticks alone.
void ShowFailuresInGrid() {
    int32_t cells = CountOf(checkControls);
    std::vector<bool> failed(size_t(cells) + 1, false);
    for (int32_t picture : failures)
        if (picture >= 1 && picture <= cells) failed[size_t(picture)] = true;
    for (int32_t j = 1; j <= CountOf(downloadList); ++j) {
        int32_t picture = IntAt(downloadList, j);
        if (picture < 1 || picture > cells) continue;
        if (failed[size_t(picture)] || CellMarkedFailed(picture)) SetCellCaption(picture, failed[size_t(picture)]);
    }
    if (failures.empty()) return;
    for (int32_t i = 1; i <= cells; ++i) SetBoolProperty(ControlAt(checkControls, i), 18, failed[size_t(i)]);
}

// "已成功下载N张图片。", with "，K张已存在" when some were in the folder already and "，M张下载失败" and the retry
// line when some failed.
Text DownloadReport() {
    Text report = Concat("已成功下载", ToText(savedPictures.load()), "张图片");
    if (presentPictures > 0) report = Concat(report, "，", ToText(presentPictures.load()), "张已存在");
    if (failedPictures == 0) return Concat(report, "。");
    return Concat(report, "，", ToText(failedPictures.load()), "张下载失败。\n",
                  "下载失败的图片已勾选并标记[失败]，点击“下载选中图片”可以重试。");
}

void DownloadPictures() {
    downloading = true;
    SetDownloadButtonsEnabled(false);
    SetIntProperty(form::进度条1, 12, CountOf(downloadList));
    // The browser opens at the folder chosen last, so that saving album after album into one folder is OK alone.
    Text folder = rt::TextResult(rt::CallLibrary(&rt::BrowseForFolder, "选择保存路径", false, saveFolder));
    bool chosen = !folder.empty();
    bool deep = chosen && !FolderTakesPictures(FolderWithBackslash(folder));
    if (chosen) {
        rt::MemFree(saveFolder);
        saveFolder = folder.release();
    }
    if (deep) {
        // Said once for the folder, not as every picture failing in it.
        downloading = false;
        ShowMessageBox("保存路径太长，请选择较短的路径！", 64, "提示");
    } else if (chosen) {
        savedPictures = 0;
        failedPictures = 0;
        presentPictures = 0;
        failures.clear();
        BeginDownloadStage();
        BeginSavingStage(FolderWithBackslash(Text::Copy(saveFolder)));
        RunWorkerStage(&DownloadWorker);
        EndSavingStage();
        ShowFailuresInGrid();
        downloading = false;
        ShowMessageBox(DownloadReport().c_str(), 64, "提示");
    } else {
        downloading = false;
        ShowMessageBox("没有选择保存路径！", 64, "提示");
    }
    SetIntProperty(form::进度条1, 13, 0);
    SetDownloadButtonsEnabled(true);
}

}  // namespace

bool DownloadRunning() { return downloading; }

void RunDeferredDownload() {
    if (ClickHandler click = std::exchange(deferredClick, nullptr)) click(0, nullptr);
}

rt::Value OnDownloadCheckedClicked(int32_t, rt::Value*) {
    if (PutOff(&OnDownloadCheckedClicked)) return {};
    if (CountOf(pictureUrls) == 0) {
        ShowMessageBox("没有可以下载的图片", 64, "提示");
        return {};
    }
    std::vector<int32_t> ticked;
    for (int32_t i = 1; i <= CountOf(checkControls); ++i)
        if (IntProperty(ControlAt(checkControls, i), 18) != 0) ticked.push_back(i);
    ResetIntArray(&downloadList, int32_t(ticked.size()));
    for (size_t j = 0; j < ticked.size(); ++j) SetIntAt(downloadList, int32_t(j + 1), ticked[j]);
    int32_t checked = int32_t(ticked.size());
    if (checked == 0) {
        ShowMessageBox("没有选中的图片！", 64, "提示");
        return {};
    }
    DownloadPictures();
    return {};
}

rt::Value OnDownloadAllClicked(int32_t, rt::Value*) {
    if (PutOff(&OnDownloadAllClicked)) return {};
    int32_t pictures = CountOf(pictureUrls);
    if (pictures == 0) {
        ShowMessageBox("没有可以下载的图片", 64, "提示");
        return {};
    }
    ResetIntArray(&downloadList, pictures);
    for (int32_t i = 1; i <= pictures; ++i) SetIntAt(downloadList, i, i);
    DownloadPictures();
    return {};
}

}  // namespace app

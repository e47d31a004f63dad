// Batch download: the ticked pictures or all of them into a chosen folder, ten downloads at a time. A picture
// counts as saved only when its file was written whole (see SavePicture); the report says how many were saved
// and how many failed.
#include <atomic>
#include <initializer_list>
#include <utility>
#include <vector>

#include "app/browser/batch_download.h"
#include "app/browser/download_names.h"
#include "app/browser/picture_saver.h"
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
        (SavePicture(url, folder).saved ? savedPictures : failedPictures)++;
        AdvanceProgress();
    }
    return FinishWorker();
}

void SetDownloadButtonsEnabled(bool enabled) {
    for (uint32_t id : {form::按钮2, form::按钮3, form::按钮4}) SetBoolProperty(id, 6, !enabled);
}

void DownloadPictures() {
    downloading = true;
    SetDownloadButtonsEnabled(false);
    SetIntProperty(form::进度条1, 12, CountOf(downloadList));
    Text folder = rt::TextResult(rt::CallLibrary(&rt::BrowseForFolder, "选择保存路径"));
    if (!folder.empty()) {
        rt::MemFree(saveFolder);
        saveFolder = folder.release();
        savedPictures = 0;
        failedPictures = 0;
        RunWorkerStage(&DownloadWorker);
        downloading = false;
        Text report = failedPictures == 0 ? Concat("已成功下载", ToText(savedPictures.load()), "张图片。")
                                          : Concat("已成功下载", ToText(savedPictures.load()), "张图片，",
                                                   ToText(failedPictures.load()), "张下载失败。");
        ShowMessageBox(report.c_str(), 64, "提示");
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

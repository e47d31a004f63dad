// Album listing: from the user name in 编辑框1 to the user's albums in 组合框1.
#include <cstring>
#include <string>

#include "app/browser/batch_download.h"
#include "app/main_window_access.h"
#include "app/shell/addresses.h"
#include "app/shell/globals.h"
#include "app/shell/handler_table.h"
#include "app/web/fetch_limits.h"
#include "app/web/http_request.h"
#include "app/web/index_pages.h"
#include "app/web/page_count.h"

namespace app {

namespace {

void ListAlbums() {
    // A listing or a download already runs: its workers share the stage counters, so do not start another.
    if (TellIfBusy(kListingBusyText)) return;
    Text user = TrimSpaces(TextProperty(form::编辑框1, 8));
    if (user.empty()) {
        ShowMessageBox("请输入Pexo用户名。", 64, "提示");
        return;
    }
    for (void** list : {&albumUrls, &albumNames, &albumPictureCounts, &pageTexts}) ResetTextArray(list, 0);

    Text base = Concat(AlbumRoot(), user, "/album");
    busy = 1;  // from the first fetch on, so that no second listing starts during it
    Text firstPage = ToText(HttpRequest(base));
    DoEvents();
    FetchIndexPages(firstPage, base, 0, false);

    // Read in place: nothing replaces the joined text before the next listing.
    const char* joined = joinedPageText ? joinedPageText : "";
    const size_t length = std::strlen(joined);
    void* purls = SearchAll(purlPattern, joined, kListingMaxRecords);
    void* pnames = SearchAll(pnamePattern, joined, kListingMaxRecords);
    void* pnums = SearchAll(pnumPattern, joined, kListingMaxRecords);
    int32_t albums = CountOf(purls);
    SetIntProperty(form::进度条1, 13, 0);
    SetIntProperty(form::进度条1, 12, ProgressRange(2 * int64_t(albums)));
    // A root without its final "/": the purl values start with one.
    std::string root = AlbumRoot();
    if (!root.empty() && root.back() == '/') root.pop_back();
    for (int32_t i = 1; i <= albums; ++i) {
        // A purl is a path on the album root; any other text would lead to another host ("/x" after a root
        // "http://pexo.example" is the root's, ".evil.example/x" is not), so such an album has no address.
        Text purl = MatchText(purls, i, joined, length);
        AppendText(&albumUrls, purl.c_str()[0] == '/' ? Concat(root.c_str(), purl).c_str() : "");
        // Fewer names or counts than addresses: the missing ones are empty texts.
        AppendText(&albumNames, MatchText(pnames, i, joined, length).c_str());
        AppendText(&albumPictureCounts, MatchText(pnums, i, joined, length).c_str());
        AdvanceProgress();
    }
    rt::Value combo = Control(rt::kTagComboBox, form::组合框1);
    rt::CallKernel(rt::kComboClear, combo);
    for (int32_t i = 1; i <= CountOf(albumNames); ++i) {
        Text count = Text::Copy(TextAt(albumPictureCounts, i));
        Text item = Concat(TextAt(albumNames, i), "(", count, ")");
        rt::CallKernel(rt::kComboAddItem, combo, item, ToInteger(count));
        AdvanceProgress();
    }
    SetIntProperty(form::进度条1, 13, 0);
    bool any = rt::CallKernel(rt::kComboItemCount, combo).AsInt() > 0;
    if (any) SetIntProperty(form::组合框1, 19, 0);
    SetBoolProperty(form::按钮2, 6, !any);
    FreeMatchArray(purls);
    FreeMatchArray(pnames);
    FreeMatchArray(pnums);
}

}  // namespace

rt::Value OnListAlbumsClicked(int32_t, rt::Value*) {
    ListAlbums();
    RunDeferredDownload();
    return {};
}

// Enter released in the user-name box lists the albums, exactly as 按钮1 does; other keys do nothing.
rt::Value OnUserNameKeyUp(int32_t argc, rt::Value* args) {
    if (argc >= 1 && args[0].AsInt() == 13) {
        ListAlbums();
        RunDeferredDownload();
    }
    return {};
}

}  // namespace app

// The update check: the program's version against the server's, read at start into the hidden labels.
#include "app/main_window_access.h"
#include "app/shell/addresses.h"
#include "app/shell/handler_table.h"
#include "app/shell/version_compare.h"
#include "app/web/fetch_limits.h"
#include "runtime/library_commands.h"

namespace app {

namespace {

constexpr int32_t kCaption = 8;
constexpr int32_t kYes = 5;

// The two versions, the server's without the spaces and line breaks its file may end with.
struct Versions {
    Text local;
    std::string server;
};
Versions ReadVersions() {
    return {TextProperty(form::本地, kCaption), TrimVersionText(TextProperty(form::服务器, kCaption).c_str())};
}

}  // namespace

rt::Value OnCheckForUpdate(int32_t, rt::Value*) {
    Versions v = ReadVersions();
    if (CompareVersionTexts(v.server.c_str(), v.local.c_str()) == 0) ShowMessageBox("当前已经是最新版本", 64, "恭喜");
    v = ReadVersions();
    if (CompareVersionTexts(v.server.c_str(), v.local.c_str()) <= 0) return {};
    Text question = Concat("您当前版本：", v.local, "当前服务器版本：", v.server.c_str(), "是否升级？");
    if (ShowMessageBox(question.c_str(), 36, "有新版本") != kYes) return {};
    // Trimmed as the version text is: the file's common final line break would fail the web-page check.
    Text fetched = ToText(rt::BytesResult(rt::CallLibrary(&rt::HttpReadFile, Concat(UpdateRoot(), kDownloadAddressPath),
                                                          kUpdateFileMaxBytes, kUpdateFileDeadlineMs)));
    Text address = Text::Copy(TrimVersionText(fetched.c_str()));
    // A failed fetch leaves nothing to open (an empty address must not open the default page instead).
    if (!address.empty()) rt::CallLibrary(&rt::OpenWebPage, address);
    return {};
}

}  // namespace app

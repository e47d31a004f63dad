// Batch download: the handlers of 按钮3 and 按钮4. The download itself is not built yet.
#include "app/shell/handler_table.h"
#include "app/browser/batch_download.h"
#include "app/shell/startup.h"

namespace app {

rt::Value OnDownloadCheckedClicked(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnDownloadAllClicked(int32_t, rt::Value*) { return NotYetBuilt(); }

}  // namespace app

namespace app {

// No download can run before the download is built.
bool DownloadRunning() { return false; }

}  // namespace app

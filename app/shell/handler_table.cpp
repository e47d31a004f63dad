// The handler table in slot order.
#include "app/shell/handler_table.h"

#include "runtime/call.h"

namespace app {

const rt::EventHandler kHandlerTable[kHandlerSlotCount] = {
    nullptr,
    &OnMainWindowCreated,
    &OnMainWindowCloseQuery,
    &OnMainWindowDestroy,
    &OnListAlbumsClicked,
    &OnUserNameKeyUp,
    &OnListPicturesClicked,
    &OnScrollBarMoved,
    &OnScrollBarWheel,
    &OnGridLeftDown,
    &OnGridRightUp,
    &OnThumbLeftDown,
    &OnThumbRightUp,
    &OnFocusScrollBar,
    &OnReloadThumbnail,
    &OnCheckAll,
    &OnCheckNone,
    &OnInvertChecks,
    &OnRefresh,
    &OnDownloadCheckedClicked,
    &OnDownloadAllClicked,
    &OnCheckForUpdate,
    &OnCreateDesktopShortcut,
    &OnDeleteDesktopShortcut,
    &OnSetBrowserHomePage,
};

rt::Value NotYetBuilt() {
    rt::CallKernel(rt::kShowMessageBox, "尚未实现", int32_t(64), "提示");
    return {};
}

}  // namespace app

// The application's event-handler table. The main window's description binds each event to a slot of this
// table (0 = no handler); the runtime calls the function in that slot with the event's arguments.
//
// Slot               bound to                                                  handler lives in
// kCreated           window: creation finished                                 app/shell/startup.cpp
// kCloseQuery        window: close query; 按钮6: clicked                        app/shell/startup.cpp
// kDestroy           window: about to be destroyed                             app/shell/startup.cpp
// kListAlbums        按钮1: clicked                                             app/web/album_listing_win.cpp
// kUserNameKeyUp     编辑框1: key released (key code, key state)                app/web/album_listing_win.cpp
// kListPictures      按钮2: clicked                                             app/browser/thumbnail_grid_win.cpp
// kScrollMoved       纵向滚动条1: position changed                              app/browser/thumbnail_grid_win.cpp
// kScrollWheel       纵向滚动条1: wheel (distance, key state)                   app/browser/thumbnail_grid_win.cpp
// kGridLeftDown      外形框3: left button pressed                               app/browser/thumbnail_grid_win.cpp
// kGridRightUp       外形框3, 图形按钮1, 选择框1: right button released          app/browser/thumbnail_grid_win.cpp
// kThumbLeftDown     画板1 (and copies): left button pressed                    app/browser/thumbnail_grid_win.cpp
// kThumbRightUp      画板1 (and copies): right button released                  app/browser/thumbnail_grid_win.cpp
// kFocusScrollBar    图形按钮1, 选择框1 (and copies): clicked                    app/browser/thumbnail_grid_win.cpp
// kReloadThumbnail   menu 重新载入                                              app/browser/thumbnail_grid_win.cpp
// kCheckAll          menu 全选                                                  app/browser/thumbnail_grid_win.cpp
// kCheckNone         menu 全不选                                                app/browser/thumbnail_grid_win.cpp
// kInvertChecks      menu 反选                                                  app/browser/thumbnail_grid_win.cpp
// kRefresh           menu 刷新                                                  app/browser/thumbnail_grid_win.cpp
// kDownloadChecked   按钮3: clicked                                             app/browser/batch_download_win.cpp
// kDownloadAll       按钮4: clicked                                             app/browser/batch_download_win.cpp
// kCheckForUpdate    menu 在线更新                                              app/shell/update_check_win.cpp
// kCreateShortcut    menu 创建桌面图标                                          app/shell/menu_commands_win.cpp
// kDeleteShortcut    menu 删除桌面图标                                          app/shell/menu_commands_win.cpp
// kSetHomePage       menu 将Quen推荐的导航网站设为首页                           app/shell/menu_commands_win.cpp
#pragma once

#include <cstdint>

#include "runtime/application.h"

namespace app {

enum HandlerSlot : uint32_t {
    kNoHandler = 0,
    kCreated,
    kCloseQuery,
    kDestroy,
    kListAlbums,
    kUserNameKeyUp,
    kListPictures,
    kScrollMoved,
    kScrollWheel,
    kGridLeftDown,
    kGridRightUp,
    kThumbLeftDown,
    kThumbRightUp,
    kFocusScrollBar,
    kReloadThumbnail,
    kCheckAll,
    kCheckNone,
    kInvertChecks,
    kRefresh,
    kDownloadChecked,
    kDownloadAll,
    kCheckForUpdate,
    kCreateShortcut,
    kDeleteShortcut,
    kSetHomePage,
    kHandlerSlotCount,
};

extern const rt::EventHandler kHandlerTable[kHandlerSlotCount];

// The handlers, by the file they live in.
// app/shell/startup.cpp
rt::Value OnMainWindowCreated(int32_t argc, rt::Value* args);
rt::Value OnMainWindowCloseQuery(int32_t argc, rt::Value* args);
rt::Value OnMainWindowDestroy(int32_t argc, rt::Value* args);
// app/web/album_listing_win.cpp
rt::Value OnListAlbumsClicked(int32_t argc, rt::Value* args);
rt::Value OnUserNameKeyUp(int32_t argc, rt::Value* args);
// app/browser/thumbnail_grid_win.cpp
rt::Value OnListPicturesClicked(int32_t argc, rt::Value* args);
rt::Value OnScrollBarMoved(int32_t argc, rt::Value* args);
rt::Value OnScrollBarWheel(int32_t argc, rt::Value* args);
rt::Value OnGridLeftDown(int32_t argc, rt::Value* args);
rt::Value OnGridRightUp(int32_t argc, rt::Value* args);
rt::Value OnThumbLeftDown(int32_t argc, rt::Value* args);
rt::Value OnThumbRightUp(int32_t argc, rt::Value* args);
rt::Value OnFocusScrollBar(int32_t argc, rt::Value* args);
rt::Value OnReloadThumbnail(int32_t argc, rt::Value* args);
rt::Value OnCheckAll(int32_t argc, rt::Value* args);
rt::Value OnCheckNone(int32_t argc, rt::Value* args);
rt::Value OnInvertChecks(int32_t argc, rt::Value* args);
rt::Value OnRefresh(int32_t argc, rt::Value* args);
// app/browser/batch_download_win.cpp
rt::Value OnDownloadCheckedClicked(int32_t argc, rt::Value* args);
rt::Value OnDownloadAllClicked(int32_t argc, rt::Value* args);
// app/shell/update_check_win.cpp
rt::Value OnCheckForUpdate(int32_t argc, rt::Value* args);
// app/shell/menu_commands_win.cpp
rt::Value OnCreateDesktopShortcut(int32_t argc, rt::Value* args);
rt::Value OnDeleteDesktopShortcut(int32_t argc, rt::Value* args);
rt::Value OnSetBrowserHomePage(int32_t argc, rt::Value* args);

// Shown by a handler whose operation is not built yet.
rt::Value NotYetBuilt();

}  // namespace app

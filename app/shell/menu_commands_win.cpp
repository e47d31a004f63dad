// The menu's desktop-shortcut commands, a two-state toggle of their two items, and the browser home page.
#include "app/main_window_access.h"
#include "app/shell/addresses.h"
#include "app/shell/handler_table.h"
#include "app/shell/menu_commands.h"
#include "runtime/library_commands.h"

namespace app {

namespace {

constexpr char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";
constexpr char kHomePage[] = "Software\\Microsoft\\Internet Explorer\\Main\\Start Page";
constexpr char kShortcutName[] = "\\Pexo相册图片批量下载.lnk";
constexpr int32_t kCurrentUser = 3;
constexpr int32_t kMenuVisible = 3;

Text ShortcutPath() { return Concat(GetDesktopFolder("Desktop"), kShortcutName); }

}  // namespace

Text GetDesktopFolder(const char* valueName) {
    return rt::TextResult(rt::CallKernel(rt::kReadRegistryText, kCurrentUser, Concat(kShellFolders, valueName)));
}

rt::Value OnCreateDesktopShortcut(int32_t, rt::Value*) {
    Text runDirectory = rt::TextResult(rt::CallKernel(rt::kGetRunDirectory));
    Text target = Concat(runDirectory, "\\", rt::TextResult(rt::CallKernel(rt::kGetExeName)));
    rt::CallLibrary(&rt::CreateShortcut, ShortcutPath(), target, "Pexo相册图片批量下载", "auto", runDirectory);
    // Show 删除桌面图标, then hide 创建桌面图标.
    SetBoolProperty(form::删除桌面图标, kMenuVisible, true);
    SetBoolProperty(form::创建桌面图标, kMenuVisible, false);
    return {};
}

rt::Value OnDeleteDesktopShortcut(int32_t, rt::Value*) {
    rt::CallKernel(rt::kRemoveFile, ShortcutPath());
    SetBoolProperty(form::删除桌面图标, kMenuVisible, false);
    SetBoolProperty(form::创建桌面图标, kMenuVisible, true);
    return {};
}

rt::Value OnSetBrowserHomePage(int32_t, rt::Value*) {
    rt::CallKernel(rt::kWriteRegistry, kCurrentUser, kHomePage, kNavigationPage);
    return {};
}

}  // namespace app

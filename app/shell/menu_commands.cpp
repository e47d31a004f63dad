// Menu commands of 菜单 that touch the desktop and the browser. The commands are not built yet.
#include "app/shell/handler_table.h"

namespace app {

rt::Value OnCreateDesktopShortcut(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnDeleteDesktopShortcut(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnSetBrowserHomePage(int32_t, rt::Value*) { return NotYetBuilt(); }

}  // namespace app

// Online update check: the handler of the menu item 在线更新. The check itself is not built yet.
#include "app/shell/handler_table.h"

namespace app {

rt::Value OnCheckForUpdate(int32_t, rt::Value*) { return NotYetBuilt(); }

}  // namespace app

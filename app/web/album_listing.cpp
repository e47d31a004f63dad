// Album listing: the handlers of 按钮1 and of Enter in 编辑框1. The listing itself is not built yet.
#include "app/shell/handler_table.h"

namespace app {

rt::Value OnListAlbumsClicked(int32_t, rt::Value*) { return NotYetBuilt(); }

// Enter released in the user-name box lists the albums, exactly as 按钮1 does; other keys do nothing.
rt::Value OnUserNameKeyUp(int32_t argc, rt::Value* args) {
    if (argc >= 1 && args[0].AsInt() == 13) return OnListAlbumsClicked(0, nullptr);
    return {};
}

}  // namespace app

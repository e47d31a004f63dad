// Thumbnail grid: the handlers of 按钮2, the scroll bar, the grid container and cells, and the 选择 menu. The
// grid itself is not built yet.
#include "app/shell/handler_table.h"

namespace app {

rt::Value OnListPicturesClicked(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnScrollBarMoved(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnScrollBarWheel(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnGridLeftDown(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnGridRightUp(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnThumbLeftDown(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnThumbRightUp(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnFocusScrollBar(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnReloadThumbnail(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnCheckAll(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnCheckNone(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnInvertChecks(int32_t, rt::Value*) { return NotYetBuilt(); }
rt::Value OnRefresh(int32_t, rt::Value*) { return NotYetBuilt(); }

}  // namespace app

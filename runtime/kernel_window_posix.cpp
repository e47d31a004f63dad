// Native stand-ins for the window commands: the native build has no window layer.
#include "runtime/kernel_commands.h"
#include "runtime/pending.h"

namespace rt {

PENDING_COMMAND(FocusControl)
PENDING_COMMAND(ComboClear)
PENDING_COMMAND(ComboAddItem)
PENDING_COMMAND(ComboItemCount)
PENDING_COMMAND(ComboItemData)
PENDING_COMMAND(PopupMenu)
PENDING_COMMAND(GetEventControl)
PENDING_COMMAND(CopyControl)
PENDING_COMMAND(SetParentControl)
PENDING_COMMAND(DestroyUnit)

}  // namespace rt

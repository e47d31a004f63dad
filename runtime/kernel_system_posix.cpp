// Native stand-ins for the Win32-only kernel commands: they fail loudly if called.
#include "runtime/kernel_commands.h"
#include "runtime/pending.h"

namespace rt {

PENDING_COMMAND(RemoveFile)
PENDING_COMMAND(FileExists)
PENDING_COMMAND(WriteFileBytes)
PENDING_COMMAND(SetFileAttrs)
PENDING_COMMAND(ReadRegistryText)
PENDING_COMMAND(WriteRegistry)
PENDING_COMMAND(ShowMessageBox)
PENDING_COMMAND(DoEvents)

}  // namespace rt

// Kernel in-memory file commands.
#include "runtime/kernel_commands.h"
#include "runtime/pending.h"

namespace rt {

PENDING_COMMAND(OpenMemoryFile)
PENDING_COMMAND(WriteData)
PENDING_COMMAND(ReadData)
PENDING_COMMAND(WriteBytes)
PENDING_COMMAND(ReadBytes)
PENDING_COMMAND(WriteText)
PENDING_COMMAND(ReadLine)
PENDING_COMMAND(SeekFileStart)
PENDING_COMMAND(AtFileEnd)
PENDING_COMMAND(GetFileLength)
PENDING_COMMAND(DeleteData)
PENDING_COMMAND(CloseFile)

}  // namespace rt

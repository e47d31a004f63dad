// Kernel text, number and byte-set commands.
#include "runtime/kernel_commands.h"
#include "runtime/pending.h"

namespace rt {

PENDING_COMMAND(TextLength)
PENDING_COMMAND(LeftText)
PENDING_COMMAND(RightText)
PENDING_COMMAND(MidText)
PENDING_COMMAND(FindText)
PENDING_COMMAND(FindTextReverse)
PENDING_COMMAND(ReplaceSubtext)
PENDING_COMMAND(ReplaceTextAt)
PENDING_COMMAND(TrimSpaces)
PENDING_COMMAND(RemoveAllSpaces)
PENDING_COMMAND(ToUpper)
PENDING_COMMAND(ToLower)
PENDING_COMMAND(SpaceText)
PENDING_COMMAND(CharFromCode)
PENDING_COMMAND(ToText)
PENDING_COMMAND(ToInteger)
PENDING_COMMAND(ToNumber)
PENDING_COMMAND(IntegerDivide)
PENDING_COMMAND(Remainder)
PENDING_COMMAND(BlankBytes)
PENDING_COMMAND(BytesLength)
PENDING_COMMAND(LeftBytes)

}  // namespace rt

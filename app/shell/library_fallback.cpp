// Stand-ins for the library commands while the runtime's libraries are not part of the build: calling one is
// the runtime's loud "command not available" error, never a made-up result.
#include "app/shell/library_calls.h"

#ifdef PEXO_LIBRARY_COMMANDS_PENDING
#include "runtime/pending.h"

namespace rt {
PENDING_COMMAND(CreateSection)
PENDING_COMMAND(DeleteSection)
PENDING_COMMAND(RegexInit)
PENDING_COMMAND(RegexFree)
PENDING_COMMAND(RegexCompile)
PENDING_COMMAND(RegexMatchFree)
PENDING_COMMAND(HttpReadFile)
}  // namespace rt
#endif

// Native stand-ins for the library commands that only exist on Windows: they fail loudly if called.
#include "runtime/library_commands.h"
#include "runtime/pending.h"

namespace rt {

PENDING_COMMAND(HttpReadFile)
PENDING_COMMAND(BrowseForFolder)
PENDING_COMMAND(CreateShortcut)
PENDING_COMMAND(OpenWebPage)

}  // namespace rt

// The menu commands' shared piece: the desktop folder read from the registry.
#pragma once

#include "app/commands.h"

namespace app {

// The current user's shell folder of that name ("Desktop"), or the empty text when it cannot be read.
Text GetDesktopFolder(const char* valueName);

}  // namespace app

// Saves one picture into a folder without ever overwriting a file or leaving a partial one behind: the free
// name is reserved by creating it exclusively, the download goes to a temporary file in the same folder, and
// only a complete, successful download is moved onto the reserved name.
#pragma once

#include "app/commands.h"

namespace app {

struct SaveOutcome {
    bool saved = false;
    Text path;  // the file written, when saved
};

// folder ends with a backslash. The name is the address's safe base name, numbered when taken.
SaveOutcome SavePicture(const Text& url, const Text& folder);

}  // namespace app

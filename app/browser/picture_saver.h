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

// Longest time a download may go without any progress from the platform before it counts as failed. The
// platform waits for good on a server that takes a request and never answers; one such picture would keep the
// whole download, and with it the program, from ending.
constexpr uint32_t kDownloadSilenceMs = 60000;

// folder ends with a backslash. The name is the address's safe base name, numbered when taken.
SaveOutcome SavePicture(const Text& url, const Text& folder, uint32_t silenceMs = kDownloadSilenceMs);

// Names tried by the free-name search so far in this process: the cost of finding free names.
uint64_t FreeNamesTried();

}  // namespace app

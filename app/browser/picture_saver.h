// Saves one picture into a folder without ever overwriting a file or leaving a partial one behind: the free
// name is taken by creating its file exclusively, marked for deletion on close, and only a complete, successful
// download keeps the file when it is closed.
#pragma once

#include "app/browser/url_download.h"
#include "app/commands.h"

namespace app {

struct SaveOutcome {
    bool saved = false;
    bool alreadyThere = false;  // not saved: a file of the same name (or a numbered form) holds the same bytes
    Text path;                  // the file written, when saved
};

// A download stage into folder (ending with a backslash) begins: its files are listed once, with their sizes.
// Until EndSavingStage, a picture SavePicture downloads into that folder whose bytes equal a file listed under
// its name or one of that name's numbered forms, or one the stage saved, is not kept but counted as already
// there. Files are compared only when their sizes are equal, each read at most once (its hash is kept) unless
// it holds the same bytes; a file that cannot be read counts as different.
void BeginSavingStage(const Text& folder);
void EndSavingStage();

// folder ends with a backslash. The name is the address's safe base name, numbered when taken. A download
// past its limits counts as failed: the platform waits for good on a server that takes a request and never
// answers, and a server may trickle or send without end, and one such picture would keep the whole download,
// and with it the program, from ending.
SaveOutcome SavePicture(const Text& url, const Text& folder, const PictureLimits& limits = PictureLimits());

// Names tried by the free-name search so far in this process: the cost of finding free names.
uint64_t FreeNamesTried();

// The free-name search's exclusive create of a picture's file (a HANDLE, INVALID_HANDLE_VALUE and the last
// error on failure). Tests put another in its place to give the answers Windows gives and Wine does not.
using ExclusiveCreate = void* (*)(const char* path);
extern ExclusiveCreate createExclusively;

}  // namespace app

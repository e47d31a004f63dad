// One picture's download into its file through the runtime's transfer engine, given up when no bytes come for a
// while, when it takes longer than what has arrived allows, or when it is larger than a picture may be.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace app {

struct UrlDownload {
    bool ended = false;     // false: the download was given up and left behind
    bool complete = false;  // the whole picture arrived (see DownloadUrlToFile)
    uint32_t status = 0;    // the response's HTTP status
    uint64_t received = 0;  // body bytes written into the file
    uint64_t hash = 0;      // ContentHash of those bytes
};

// How long and how much one picture's download may take. The whole download may take baseMs plus what has
// arrived at bytesPerSecond: an honest slow line keeps earning time, a trickle does not. The announced length
// only sets the size cap.
struct PictureLimits {
    uint32_t silenceMs = 60000;        // no bytes at all
    uint32_t baseMs = 60000;           // the whole download: this long ...
    uint32_t bytesPerSecond = 4096;    // ... and what has arrived at this rate
    long long maxBytes = 256LL << 20;  // no picture is larger
};

// Starts a download stage: the cookies downloads send are looked up afresh, once per scheme, host and folder.
void BeginDownloadStage();

// Downloads `url` into `file`, an empty file named `path`, open for reading, writing and deletion and marked for
// deletion on close; nothing goes into the platform's cache. Complete means the announced length arrived, or a
// chunked body ended and is not cut by its format, or a body that ended with its connection is a whole picture
// by its format; an empty body is never complete. When the download ended, `file` is the caller's again. A download
// left behind keeps `file` and closes it when it ends (or the program does), so the file goes then; meanwhile it is
// moved out of its picture's name to a temporary name beside it, which frees the name.
UrlDownload DownloadUrlToFile(const std::string& url, HANDLE file, const std::string& path,
                              const PictureLimits& limits);

}  // namespace app

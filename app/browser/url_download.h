// One download of an address into a file over WinINet, on a kept download thread, given up when no bytes come
// for a while, when it takes too long for its length, or when it is larger than a picture may be.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace app {

struct UrlDownload {
    bool ended = false;            // false: the download fell silent and was left behind
    bool succeeded = false;        // the body ended as the server ended it
    uint32_t status = 0;           // the response's HTTP status
    long long contentLength = -1;  // the announced length; -1 when none was announced
};

// How long and how much one picture's download may take.
struct PictureLimits {
    uint32_t silenceMs = 60000;             // no bytes at all
    uint32_t baseMs = 60000;                // the whole download: this long ...
    uint32_t bytesPerSecond = 16384;        // ... and the announced length at this rate
    long long maxBytes = 256LL << 20;       // no picture is larger
};

// Starts a download stage: the cookies downloads send are looked up afresh, once per scheme, host and folder.
void BeginDownloadStage();

// Downloads `url` into `file`, an empty file named `path`, open for reading, writing and deletion and marked for
// deletion on close; nothing goes into the platform's cache. When the download ended, `file` is the caller's
// again. A download left behind keeps `file` and closes it when it ends (or the program does), so the file goes
// then; meanwhile it is moved out of its picture's name to a temporary name beside it, which frees the name.
UrlDownload DownloadUrlToFile(const std::string& url, HANDLE file, const std::string& path,
                              const PictureLimits& limits);

}  // namespace app

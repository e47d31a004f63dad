// One download of an address into a file over WinINet, on a kept download thread, given up when no bytes come
// for a while, when it takes too long for its length, or when it is larger than a picture may be.
#pragma once

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

// Downloads `url` into the existing file `path`; nothing goes into the platform's cache. A download
// left behind keeps `path` open for deletion on close: the name stays taken while its thread may still write
// there, and the file goes when that download ends or the program does.
UrlDownload DownloadUrlToFile(const std::string& url, const std::string& path, const PictureLimits& limits);

}  // namespace app

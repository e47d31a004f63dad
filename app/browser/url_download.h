// One download of an address into a file with the platform's URLDownloadToFileA, on a kept download thread,
// given up when the platform shows no sign of progress for a while.
#pragma once

#include <cstdint>
#include <string>

namespace app {

struct UrlDownload {
    bool ended = false;            // false: the download fell silent and was left behind
    bool succeeded = false;        // the platform reported success
    uint32_t status = 0;           // the response's HTTP status
    long long contentLength = -1;  // the announced length; -1 when none was announced
};

// Downloads `url` into the existing file `path`. The platform's cache copy is removed afterwards. A download
// left behind keeps `path` open for deletion on close: the name stays taken while the platform may still write
// there, and the file goes when that download ends or the program does.
UrlDownload DownloadUrlToFile(const std::string& url, const std::string& path, uint32_t silenceMs);

}  // namespace app

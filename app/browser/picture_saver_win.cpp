// Picture saving: a reserved name, a download into a temporary file beside it, and a move once the download is
// known to be complete.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "app/browser/download_names.h"
#include "app/browser/internet_mark.h"
#include "app/browser/picture_ends.h"
#include "app/browser/picture_saver.h"
#include "app/browser/url_download.h"
#include "runtime/library_rules.h"

namespace app {

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::atomic<uint64_t> namesTried{0};

// The number after the last one handed out, per folder and base name (in lower case, as the file system
// compares names): N pictures of one name then cost about N file opens instead of N²/2. A lower number freed
// meanwhile is not tried again, which loses nothing; the exclusive create still decides every name, so
// another instance of the program never has a file overwritten.
class NameNumbers {
public:
    int32_t Next(const std::string& key) {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = next_.find(key);
        return it == next_.end() ? 0 : it->second;
    }
    void HandedOut(const std::string& key, int32_t dup) {
        std::lock_guard<std::mutex> hold(lock_);
        if (next_.size() >= kMaxRemembered) next_.clear();
        int32_t& next = next_[key];
        next = std::max(next, dup + 1);
    }
    // A name given up again (its picture failed) is offered next time when no later number was handed out.
    void GivenBack(const std::string& key, int32_t dup) {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = next_.find(key);
        if (it != next_.end() && it->second == dup + 1) it->second = dup;
    }

private:
    static constexpr size_t kMaxRemembered = 100000;
    std::mutex lock_;
    std::unordered_map<std::string, int32_t> next_;
};
NameNumbers nameNumbers;

// A picture's name, created empty and exclusively until the picture is moved onto it.
struct Reservation {
    std::string path;  // empty when the folder takes no new file
    std::string key;
    int32_t dup = 0;
    void Release() const {
        DeleteFileA(path.c_str());
        nameNumbers.GivenBack(key, dup);
    }
};

// Creates the first free numbered name exclusively, shortened to fit the folder.
Reservation ReserveFreeName(const Text& folder, const Text& base) {
    size_t room = NameRoom(folder);
    std::string key = folder.str() + '|' + base.str();
    CharLowerBuffA(key.data(), DWORD(key.size()));
    for (int32_t dup = nameNumbers.Next(key); dup < 100000; ++dup) {
        Text name = FittingName(base, dup, room);
        if (name.empty()) return {};
        std::string candidate = std::string(folder.c_str()) + name.c_str();
        ++namesTried;
        HANDLE h =
            CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            nameNumbers.HandedOut(key, dup);
            return {candidate, key, dup};
        }
        // Taken by a file or a directory: try the next number. Any other failure ends the search.
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && !Exists(candidate)) return {};
    }
    return {};
}

// Creates a free temporary name beside the reserved one: "~" and four hexadecimal digits and ".tmp", which
// fits wherever a picture fits (see FolderTakesPictures). The platform's own temporary names need 14 bytes
// more room than the folder leaves in a deep one.
std::string CreateTempFile(const Text& folder) {
    static std::atomic<uint32_t> next{GetTickCount()};
    for (int tries = 0; tries < 0x10000; ++tries) {
        char name[16];
        std::snprintf(name, sizeof name, "~%04X.tmp", unsigned(next++ & 0xFFFF));
        std::string path = std::string(folder.c_str()) + name;
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return path;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && !Exists(path)) return {};
    }
    return {};
}

// Only http and https addresses without control bytes or spaces are downloaded. urlmon would also follow
// ftp:, file: and other schemes in an address that a page supplies, and an ftp: address to a server that never
// greets waits for good.
bool IsWebAddress(const Text& url) {
    return (_strnicmp(url.c_str(), "http://", 7) == 0 || _strnicmp(url.c_str(), "https://", 8) == 0) &&
           rt::IsRequestableAddress(url.str());
}

// A body without an announced length ends when its connection closes, which a cut connection does too: it
// counts as complete only when the file is a whole picture by its format's end marker.
bool EndsAsAWholePicture(const std::string& path, long long size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char head[kPictureHeadBytes] = {}, tail[kPictureTailBytes] = {};
    DWORD headRead = 0, tailRead = 0;
    LARGE_INTEGER tailStart;
    tailStart.QuadPart =
        size > static_cast<long long>(kPictureTailBytes) ? size - static_cast<long long>(kPictureTailBytes) : 0;
    bool read = ReadFile(file, head, sizeof head, &headRead, nullptr) &&
                SetFilePointerEx(file, tailStart, nullptr, FILE_BEGIN) &&
                ReadFile(file, tail, sizeof tail, &tailRead, nullptr);
    CloseHandle(file);
    return read && IsWholePicture(std::string_view(head, headRead), std::string_view(tail, tailRead));
}

long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

uint64_t FreeNamesTried() { return namesTried; }

SaveOutcome SavePicture(const Text& url, const Text& folder, const PictureLimits& limits) {
    SaveOutcome outcome;
    if (!IsWebAddress(url) || !FolderTakesPictures(folder)) return outcome;
    Reservation reservation = ReserveFreeName(folder, PictureBaseName(url));
    const std::string& reserved = reservation.path;
    if (reserved.empty()) return outcome;

    std::string tempPath = CreateTempFile(folder);
    if (tempPath.empty()) {
        reservation.Release();
        return outcome;
    }
    const char* temp = tempPath.c_str();
    UrlDownload download = DownloadUrlToFile(url.c_str(), temp, limits);
    if (!download.ended) {  // fell silent: the temporary file goes with the download left behind
        reservation.Release();
        return outcome;
    }
    long long size = FileSize(temp);
    bool complete = download.succeeded && download.status >= 200 && download.status < 300 && size >= 0 &&
                    size <= limits.maxBytes &&
                    (download.contentLength < 0 ? EndsAsAWholePicture(tempPath, size) : size == download.contentLength);
    // The mark goes on before the move, so the picture never shows under its name without it.
    if (complete) MarkFromInternet(tempPath, url.c_str());
    if (complete && MoveFileExA(temp, reserved.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        outcome.saved = true;
        outcome.path = Text::Copy(reserved);
        return outcome;
    }
    DeleteFileA(temp);
    reservation.Release();
    return outcome;
}

}  // namespace app

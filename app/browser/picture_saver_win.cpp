// Picture saving: the picture's file is created exclusively under its free name and marked for deletion on close
// from the first moment; the download streams into it, and only a complete download takes the mark away. Should
// the download fail, be given up, or the program be killed, closing the file (which the system does for a
// killed program) removes it. One file creation a picture: creating files is what a download costs most here.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "app/browser/download_names.h"
#include "app/browser/internet_mark.h"
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

// Marks an open file for deletion when its last handle closes, or takes that mark away.
bool DeleteOnClose(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(remove)};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

// A picture's file, created exclusively under its name and open for the download, marked for deletion on close.
struct Reservation {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string path;
    std::string key;
    int32_t dup = 0;
};

HANDLE CreateExclusively(const char* path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// Names refused (access denied, sharing violation) that one search passes over before it takes the folder to
// refuse every file: far more than the downloads of a few instances under way at once.
constexpr int32_t kMaxRefusedNames = 64;

// Creates the first free numbered name exclusively, shortened to fit the folder.
Reservation ReserveFreeName(const Text& folder, const Text& base) {
    size_t room = NameRoom(folder);
    std::string key = folder.str() + '|' + base.str();
    CharLowerBuffA(key.data(), DWORD(key.size()));
    int32_t refused = 0;
    for (int32_t dup = nameNumbers.Next(key); dup < 100000; ++dup) {
        Text name = FittingName(base, dup, room);
        if (name.empty()) return {};
        std::string candidate = std::string(folder.c_str()) + name.c_str();
        ++namesTried;
        HANDLE h = createExclusively(candidate.c_str());
        if (h != INVALID_HANDLE_VALUE) {
            if (!DeleteOnClose(h, true)) {
                CloseHandle(h);
                DeleteFileA(candidate.c_str());
                return {};
            }
            nameNumbers.HandedOut(key, dup);
            return {h, candidate, key, dup};
        }
        // Taken by a file or a directory: try the next number. Windows refuses a name whose file is being deleted
        // (another instance's picture under way, or one whose move aside failed) with access denied or a sharing
        // violation, and no longer shows it as existing: that name is taken too. Any other failure ends the search.
        DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
        if ((error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) && ++refused <= kMaxRefusedNames)
            continue;
        if (!Exists(candidate)) return {};
    }
    return {};
}

// Only http and https addresses without control bytes are downloaded (spaces go out as %20): an address a page
// supplies could otherwise name ftp:, file: or any other scheme.
bool IsWebAddress(const Text& url) {
    return (_strnicmp(url.c_str(), "http://", 7) == 0 || _strnicmp(url.c_str(), "https://", 8) == 0) &&
           rt::IsRequestableAddress(rt::EncodeSpaces(url.str()));
}

}  // namespace

ExclusiveCreate createExclusively = &CreateExclusively;

uint64_t FreeNamesTried() { return namesTried; }

SaveOutcome SavePicture(const Text& url, const Text& folder, const PictureLimits& limits) {
    SaveOutcome outcome;
    if (!IsWebAddress(url) || !FolderTakesPictures(folder)) return outcome;
    Reservation reservation = ReserveFreeName(folder, PictureBaseName(url));
    if (reservation.file == INVALID_HANDLE_VALUE) return outcome;
    UrlDownload download = DownloadUrlToFile(url.c_str(), reservation.file, reservation.path, limits);
    if (!download.ended) {  // left behind: the file goes with the download, and the name is free again
        nameNumbers.GivenBack(reservation.key, reservation.dup);
        return outcome;
    }
    bool complete = download.complete && download.status >= 200 && download.status < 300;
    // The mark goes on while the file is still open to this download alone, so nobody opens it without the mark.
    // A picture its volume could mark and did not is not saved: it goes when it is closed, as a failed one does.
    bool kept = complete && DeleteOnClose(reservation.file, false);
    bool marked = kept && MarkFromInternet(reservation.path, url.c_str()) != InternetMark::kFailed;
    if (kept && !marked && DeleteOnClose(reservation.file, true)) kept = false;
    if (CloseHandle(reservation.file) && marked) {
        outcome.saved = true;
        outcome.path = Text::Copy(reservation.path);
        return outcome;
    }
    if (kept) DeleteFileA(reservation.path.c_str());
    nameNumbers.GivenBack(reservation.key, reservation.dup);
    return outcome;
}

}  // namespace app

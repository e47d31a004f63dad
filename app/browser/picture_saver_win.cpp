// Picture saving: the picture's file is created exclusively under its free name and marked for deletion on close
// from the first moment; the download streams into it, and only a complete download takes the mark away. Should
// the download fail, be given up, or the program be killed, closing the file (which the system does for a
// killed program) removes it. One file creation a picture: creating files is what a download costs most here.
// A picture whose bytes a file of its name already holds is not kept: see BeginSavingStage.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/browser/download_names.h"
#include "app/browser/folder_record.h"
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

// The running download stage's folder and what it holds.
struct SavingStage {
    std::mutex lock;
    bool active = false;
    std::string folder;  // folded (FoldedName), ending with a backslash
    FolderRecord record;
};
SavingStage stage;

struct FileHandle {
    HANDLE h;
    explicit FileHandle(HANDLE handle) : h(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

struct SearchHandle {
    HANDLE h;
    explicit SearchHandle(HANDLE handle) : h(handle) {}
    SearchHandle(const SearchHandle&) = delete;
    SearchHandle& operator=(const SearchHandle&) = delete;
    ~SearchHandle() {
        if (h != INVALID_HANDLE_VALUE) FindClose(h);
    }
};

bool ReadFully(HANDLE file, char* buffer, DWORD size) {
    DWORD got = 0;
    return ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

// Reads the candidate file at path whole, comparing it with `mine` (the new picture, read back from its handle
// from the start) for as long as they agree. True when every byte is equal. The candidate's hash is set when it
// was read whole. A candidate being deleted, locked, changed in size or unreadable is simply not the same.
bool SameBytes(HANDLE mine, const std::string& path, uint64_t size, std::optional<uint64_t>& theirHash) {
    // Shared for reading only: a file open for writing or deletion elsewhere (another instance's picture under
    // way, a file being deleted, which Wine still opens) is refused, and while it is open here nobody can change
    // or delete the file this picture is found equal to.
    FileHandle theirs(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER length{};
    if (theirs.h == INVALID_HANDLE_VALUE || !GetFileSizeEx(theirs.h, &length) || uint64_t(length.QuadPart) != size)
        return false;
    LARGE_INTEGER start{};
    bool equal = SetFilePointerEx(mine, start, nullptr, FILE_BEGIN);
    constexpr DWORD kChunk = 64 * 1024;
    std::vector<char> ours(kChunk), their(kChunk);
    uint64_t hash = kContentHashStart;
    for (uint64_t done = 0; done < size;) {
        DWORD piece = DWORD(std::min<uint64_t>(kChunk, size - done));
        if (!ReadFully(theirs.h, their.data(), piece)) return false;
        hash = ContentHash(hash, std::string_view(their.data(), piece));
        if (equal) equal = ReadFully(mine, ours.data(), piece) && std::memcmp(ours.data(), their.data(), piece) == 0;
        done += piece;
    }
    theirHash = hash;
    return equal;
}

// True when a file of the running stage's folder holds the picture just downloaded into `mine`: one named base
// or a numbered form of it, of the same size and hash, whose bytes are read and found equal.
bool AlreadyInFolder(const Text& folder, const Text& base, HANDLE mine, const UrlDownload& download) {
    std::vector<FolderRecord::File> candidates;
    std::vector<size_t> indexes;
    size_t room = NameRoom(folder);
    {
        std::lock_guard<std::mutex> hold(stage.lock);
        if (!stage.active || stage.folder != FoldedName(folder.str())) return false;
        indexes = stage.record.Candidates(base.str(), download.received, download.hash,
                                          [&](int32_t dup) { return FittingName(base, dup, room).str(); });
        for (size_t index : indexes) candidates.push_back(stage.record.file(index));
    }
    for (size_t i = 0; i < candidates.size(); ++i) {
        const FolderRecord::File& file = candidates[i];
        std::optional<uint64_t> hash = file.hash;
        bool same = SameBytes(mine, folder.str() + file.name, file.size, hash);
        if (hash && !file.hash) {
            std::lock_guard<std::mutex> hold(stage.lock);
            if (stage.active && indexes[i] < stage.record.size()) stage.record.Hashed(indexes[i], *hash);
        }
        if (same) return true;
    }
    return false;
}

// A picture this stage saved is a candidate for the pictures after it.
void RecordSaved(const Text& folder, const std::string& path, const UrlDownload& download) {
    std::lock_guard<std::mutex> hold(stage.lock);
    if (stage.active && stage.folder == FoldedName(folder.str()))
        stage.record.Add(path.substr(folder.str().size()), download.received, download.hash);
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

void BeginSavingStage(const Text& folder) {
    FolderRecord record;
    WIN32_FIND_DATAA found;
    SearchHandle search(FindFirstFileA((folder.str() + "*").c_str(), &found));
    if (search.h != INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            record.Add(found.cFileName, (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
        } while (FindNextFileA(search.h, &found));
    }
    std::lock_guard<std::mutex> hold(stage.lock);
    stage.active = true;
    stage.folder = FoldedName(folder.str());
    stage.record = std::move(record);
}

void EndSavingStage() {
    std::lock_guard<std::mutex> hold(stage.lock);
    stage.active = false;
    stage.record = FolderRecord();
}

SaveOutcome SavePicture(const Text& url, const Text& folder, const PictureLimits& limits) {
    SaveOutcome outcome;
    if (!IsWebAddress(url) || !FolderTakesPictures(folder)) return outcome;
    Text base = PictureBaseName(url);
    Reservation reservation = ReserveFreeName(folder, base);
    if (reservation.file == INVALID_HANDLE_VALUE) return outcome;
    UrlDownload download = DownloadUrlToFile(url.c_str(), reservation.file, reservation.path, limits);
    if (!download.ended) {  // left behind: the file goes with the download, and the name is free again
        nameNumbers.GivenBack(reservation.key, reservation.dup);
        return outcome;
    }
    bool complete = download.complete && download.status >= 200 && download.status < 300;
    if (complete && AlreadyInFolder(folder, base, reservation.file, download)) {
        // Still marked for deletion: the copy goes when it is closed, and its name is free again.
        CloseHandle(reservation.file);
        nameNumbers.GivenBack(reservation.key, reservation.dup);
        outcome.alreadyThere = true;
        return outcome;
    }
    // The mark goes on while the file is still open to this download alone, so nobody opens it without the mark.
    // A picture its volume could mark and did not is not saved: it goes when it is closed, as a failed one does.
    bool kept = complete && DeleteOnClose(reservation.file, false);
    bool marked = kept && MarkFromInternet(reservation.path, url.c_str()) != InternetMark::kFailed;
    if (kept && !marked && DeleteOnClose(reservation.file, true)) kept = false;
    if (CloseHandle(reservation.file) && marked) {
        RecordSaved(folder, reservation.path, download);
        outcome.saved = true;
        outcome.path = Text::Copy(reservation.path);
        return outcome;
    }
    if (kept) DeleteFileA(reservation.path.c_str());
    nameNumbers.GivenBack(reservation.key, reservation.dup);
    return outcome;
}

}  // namespace app

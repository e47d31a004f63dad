// A picture's download: the transfer engine streams the body into the picture's file, which this sink writes,
// checks for a whole picture as it goes, and moves aside when the download is given up.
#include "app/browser/url_download.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/browser/folder_record.h"
#include "app/browser/picture_ends.h"
#include "runtime/transfer.h"

namespace app {

namespace {

std::wstring Wide(const std::string& ansi) {
    int units = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    std::wstring wide(size_t(units > 0 ? units : 1), L'\0');
    if (units > 0) MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), units);
    wide.resize(wide.size() - 1);
    return wide;
}

// Moves a file given up to a free temporary name beside it ("~" and four hexadecimal digits and ".tmp"), so that
// its picture's name is free at once while the file waits for its download to end. Stays put when no name is
// free or the file system refuses.
void MoveAside(HANDLE file, const std::string& path) {
    static std::atomic<uint32_t> next{GetTickCount()};
    std::string folder = path.substr(0, path.rfind('\\') + 1);
    for (int tries = 0; tries < 16; ++tries) {
        char name[16];
        std::snprintf(name, sizeof name, "~%04X.tmp", unsigned(next++ & 0xFFFF));
        std::wstring target = Wide(folder + name);
        std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        info->ReplaceIfExists = FALSE;
        info->RootDirectory = nullptr;
        info->FileNameLength = DWORD(target.size() * sizeof(wchar_t));
        std::memcpy(info->FileName, target.c_str(), info->FileNameLength);
        if (SetFileInformationByHandle(file, FileRenameInfo, info, DWORD(buffer.size()))) return;
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return;
    }
}

// Writes the body into the picture's file, hashing what it writes so that the picture can be told from the files
// already in its folder without reading it back. Given up, the file is moved aside and stays open, marked for deletion,
// while the transfer may still write to it, and goes when the transfer ends or, should it never end, when the
// program does.
struct PictureFileSink final : rt::TransferSink {
    HANDLE file;
    std::string path;
    PictureEndCheck end;
    uint64_t hash = kContentHashStart;
    PictureFileSink(HANDLE f, std::string p) : file(f), path(std::move(p)) {}
    bool Take(const char* data, size_t size) override {
        DWORD written = 0;
        end.Feed(std::string_view(data, size));
        hash = ContentHash(hash, std::string_view(data, size));
        return WriteFile(file, data, DWORD(size), &written, nullptr) && written == size;
    }
    void GivenUp() override { MoveAside(file, path); }
    void EndedAfterGivingUp() override { CloseHandle(file); }
};

}  // namespace

void BeginDownloadStage() { rt::StartCookieSnapshot(); }

UrlDownload DownloadUrlToFile(const std::string& url, HANDLE file, const std::string& path,
                              const PictureLimits& limits) {
    rt::TransferLimits transfer;
    transfer.maxBytes = uint64_t(std::max(limits.maxBytes, 0LL));
    transfer.silenceMs = limits.silenceMs;
    transfer.baseMs = limits.baseMs;
    transfer.floorBytesPerSecond = limits.bytesPerSecond;
    auto sink = std::make_shared<PictureFileSink>(file, path);
    rt::TransferOutcome outcome =
        rt::Transfer(url, rt::WireProfile::kPicture, rt::CookieSource::kSnapshot, transfer, sink);
    UrlDownload download;
    download.ended = outcome.ended;
    download.status = outcome.status;
    download.received = outcome.received;
    download.hash = sink->hash;
    // The platform reports a chunked body cut short as ended, so a picture whose format tells its end must
    // show it there too; one that ended with its connection must show it whatever it is.
    PictureEnd end = sink->end.Verdict();
    bool bodyEnded = outcome.body == rt::BodyEnd::kAnnouncedLength ||
                     (outcome.body == rt::BodyEnd::kChunkedEnd && end != PictureEnd::kCut) ||
                     (outcome.body == rt::BodyEnd::kConnectionClosed && end == PictureEnd::kWhole);
    download.complete = outcome.ended && bodyEnded && outcome.received > 0;
    return download;
}

}  // namespace app

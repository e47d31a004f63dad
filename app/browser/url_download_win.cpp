// Downloads a picture over WinINet into a file, streamed in 64 KB pieces on a kept download thread, with the
// response's status and announced length, every sign of progress, and the limits checked between pieces. The
// caller gives a download up when it falls silent, runs past its deadline or grows past a picture's size.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/browser/url_download.h"
#include "runtime/cookie_snapshot_win.h"
#include "runtime/internet_win.h"
#include "runtime/kept_threads_win.h"
#include "runtime/library_rules.h"
#include "runtime/system_functions_win.h"

namespace app {

namespace {

// What the download thread reports while it runs; the caller reads it to decide whether to give up.
struct DownloadProgress {
    std::atomic<uint32_t> status{0};
    std::atomic<long long> contentLength{-1};
    std::atomic<ULONGLONG> lastSign{GetTickCount64()};  // when the last bytes (or the answer's head) arrived
    std::atomic<long long> received{0};
    std::atomic<bool> stop{false};  // set when the caller gives the download up: no further piece is written
};

constexpr DWORD kPieceBytes = 64 * 1024;
// Never from the cache, never into it: the saved file is the copy the user wants, and under Wine a cache holding
// every picture also slows every later request.
// Redirects are followed here (see rt::IsRedirect), each hop with the cookies of its own address.
constexpr DWORD kDownloadFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                                 INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT;

// The agent the platform's own URL downloads send.
std::string DownloadAgent() {
    char agent[512] = "";
    DWORD size = sizeof agent;
    if (FAILED(rt::sys::ObtainUserAgentString(0, agent, &size))) return "Mozilla/4.0 (compatible; MSIE 7.0)";
    return agent;
}

// One internet handle for every download, kept to the program's end, with the connections per server lifted to
// the ten downloads that run at once (Windows would otherwise let only two to six of them transfer).
HINTERNET DownloadInternet() {
    static HINTERNET internet = [] {
        DWORD connections = 10;
        rt::sys::InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &connections, sizeof connections);
        rt::sys::InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &connections,
                                    sizeof connections);
        return rt::sys::InternetOpenA(DownloadAgent().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    }();
    return internet;
}

// Closes an internet handle when the download ends or moves on to a redirect's target.
struct InternetHandle {
    HINTERNET h = nullptr;
    ~InternetHandle() { reset(nullptr); }
    void reset(HINTERNET next) {
        if (h) rt::sys::InternetCloseHandle(h);
        h = next;
    }
};

long long AnnouncedLength(HINTERNET request) {
    char text[32] = "";
    DWORD size = sizeof text;
    if (!rt::sys::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return -1;
    return std::atoll(text);
}

// Opens and sends the download's request for url, with the cookies of the stage's snapshot.
bool Send(const std::string& url, DWORD silenceMs, InternetHandle* connection, InternetHandle* request) {
    request->reset(nullptr);
    connection->reset(nullptr);
    rt::UrlParts parts;
    HINTERNET internet = DownloadInternet();
    if (!internet || !rt::SplitUrl(url, &parts)) return false;
    connection->reset(rt::sys::InternetConnectA(
        internet, parts.host.c_str(), parts.port, parts.user.empty() ? nullptr : parts.user.c_str(),
        parts.password.empty() ? nullptr : parts.password.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection->h) return false;
    const char* accept[] = {"*/*", nullptr};
    request->reset(rt::sys::HttpOpenRequestA(connection->h, "GET", parts.path.c_str(), "HTTP/1.1", nullptr, accept,
                                             kDownloadFlags | (parts.secure ? INTERNET_FLAG_SECURE : 0), 0));
    if (!request->h) return false;
    for (DWORD option : {INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        rt::sys::InternetSetOptionA(request->h, option, &silenceMs, sizeof silenceMs);
    std::string cookies = rt::SnapshotCookieLine(url);
    if (!rt::sys::HttpSendRequestA(request->h, cookies.empty() ? nullptr : cookies.c_str(), DWORD(cookies.size()),
                                   nullptr, 0))
        return false;
    rt::HandBackSetCookies(url, request->h);
    return true;
}

// Downloads url, through at most rt::kMaxRedirects redirects, into file; true when the body ended as the
// server ended it (its length, the chunked end, or the connection's close), false on any failure, on a body
// over maxBytes, or when stopped.
bool Stream(std::string url, HANDLE file, DWORD silenceMs, long long maxBytes, DownloadProgress* progress) {
    InternetHandle connection, request;
    for (int hop = 0;; ++hop) {
        if (progress->stop || !Send(url, silenceMs, &connection, &request)) return false;
        progress->lastSign = GetTickCount64();
        std::string target;
        if (!rt::IsRedirect(request.h, url, &target)) break;
        if (target.empty() || hop == rt::kMaxRedirects) return false;
        url = target;
    }
    DWORD status = 0, size = sizeof status;
    rt::sys::HttpQueryInfoA(request.h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    progress->status = status;
    progress->contentLength = AnnouncedLength(request.h);
    if (progress->contentLength.load() > maxBytes) return false;

    std::vector<char> piece(kPieceBytes);
    while (!progress->stop) {
        // Reads only what has arrived, so a trickling server cannot hold a read past the caller's limits.
        DWORD available = 0, read = 0, written = 0;
        if (!rt::sys::InternetQueryDataAvailable(request.h, &available, 0, 0)) return false;
        if (available == 0) return !progress->stop;
        if (!rt::sys::InternetReadFile(request.h, piece.data(), std::min(available, kPieceBytes), &read)) return false;
        if (read == 0) return !progress->stop;
        progress->lastSign = GetTickCount64();
        if ((progress->received += read) > maxBytes) return false;
        if (!WriteFile(file, piece.data(), read, &written, nullptr) || written != read) return false;
    }
    return false;
}

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

// One download on a kept thread. Given up, it is stopped before its next piece and its file moved aside; the
// file stays open, marked for deletion, while the thread may still write to it, and goes when the download ends
// or, should it never end, when the program does.
struct DownloadWork final : rt::KeptWork {
    std::string url, path;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD silenceMs = 0;
    long long maxBytes = 0;
    DownloadProgress progress;
    bool ok = false;
    void Run() override { ok = Stream(url, file, silenceMs, maxBytes, &progress); }
    void GivenUp() override {
        progress.stop = true;
        MoveAside(file, path);
    }
    void FinishedAfterGivingUp() override { CloseHandle(file); }
};

// Why a running download is given up: silent for too long, past its deadline (a base time and its announced
// length at the slowest rate allowed), or larger than a picture may be.
bool GivenUp(const DownloadProgress& watch, ULONGLONG started, const PictureLimits& limits) {
    ULONGLONG now = GetTickCount64();
    if (now - watch.lastSign.load() >= limits.silenceMs) return true;
    long long length = std::max(watch.contentLength.load(), watch.received.load());
    if (length > limits.maxBytes) return true;
    ULONGLONG allowed = limits.baseMs + ULONGLONG(std::max(length, 0LL)) * 1000 / std::max(limits.bytesPerSecond, 1u);
    return now - started >= allowed;
}

}  // namespace

void BeginDownloadStage() { rt::StartCookieSnapshot(); }

UrlDownload DownloadUrlToFile(const std::string& url, HANDLE file, const std::string& path,
                              const PictureLimits& limits) {
    UrlDownload outcome;
    auto* work = new DownloadWork;
    work->url = url;
    work->path = path;
    work->file = file;
    work->silenceMs = limits.silenceMs;
    work->maxBytes = limits.maxBytes;
    // Waits while bytes keep coming within the limits; a download past them is given up.
    const ULONGLONG started = GetTickCount64();
    if (!rt::RunOnKeptThread(work, 200, [&] { return !GivenUp(work->progress, started, limits); })) return outcome;
    outcome.ended = true;
    outcome.succeeded = work->ok;
    outcome.status = work->progress.status;
    outcome.contentLength = work->progress.contentLength;
    rt::LetGo(work);
    return outcome;
}

}  // namespace app

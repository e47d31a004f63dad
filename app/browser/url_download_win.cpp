// Downloads a picture over WinINet into a file, streamed in 64 KB pieces on a kept download thread, with the
// response's status and announced length, every sign of progress, and the limits checked between pieces. The
// caller gives a download up when it falls silent, runs past its deadline or grows past a picture's size.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/browser/url_download.h"
#include "runtime/cookie_snapshot_win.h"
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
constexpr DWORD kDownloadFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                                 INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES;

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

// Closes an internet handle when the download ends.
struct InternetHandle {
    HINTERNET h;
    ~InternetHandle() {
        if (h) rt::sys::InternetCloseHandle(h);
    }
};

long long AnnouncedLength(HINTERNET request) {
    char text[32] = "";
    DWORD size = sizeof text;
    if (!rt::sys::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return -1;
    return std::atoll(text);
}

// Downloads url into the existing file path; true when the body ended as the server ended it (its length, the
// chunked end, or the connection's close), false on any failure, on a body over maxBytes, or when stopped.
bool Stream(const std::string& url, const std::string& path, DWORD silenceMs, long long maxBytes,
            DownloadProgress* progress) {
    rt::UrlParts parts;
    HINTERNET internet = DownloadInternet();
    if (!internet || !rt::SplitUrl(url, &parts)) return false;
    InternetHandle connection{rt::sys::InternetConnectA(
        internet, parts.host.c_str(), parts.port, parts.user.empty() ? nullptr : parts.user.c_str(),
        parts.password.empty() ? nullptr : parts.password.c_str(), INTERNET_SERVICE_HTTP, 0, 0)};
    if (!connection.h) return false;
    const char* accept[] = {"*/*", nullptr};
    InternetHandle request{rt::sys::HttpOpenRequestA(connection.h, "GET", parts.path.c_str(), "HTTP/1.1", nullptr,
                                                     accept, kDownloadFlags | (parts.secure ? INTERNET_FLAG_SECURE : 0),
                                                     0)};
    if (!request.h) return false;
    for (DWORD option : {INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        rt::sys::InternetSetOptionA(request.h, option, &silenceMs, sizeof silenceMs);
    std::string cookies = rt::SnapshotCookieLine(url);
    if (!rt::sys::HttpSendRequestA(request.h, cookies.empty() ? nullptr : cookies.c_str(), DWORD(cookies.size()),
                                   nullptr, 0))
        return false;
    progress->lastSign = GetTickCount64();
    rt::HandBackSetCookies(url, request.h);
    DWORD status = 0, size = sizeof status;
    rt::sys::HttpQueryInfoA(request.h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    progress->status = status;
    progress->contentLength = AnnouncedLength(request.h);
    if (progress->contentLength.load() > maxBytes) return false;

    // Others may open the file meanwhile, so that a caller who gives the download up can mark it for deletion.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::vector<char> piece(kPieceBytes);
    bool ended = false;
    while (!progress->stop) {
        // Reads only what has arrived, so a trickling server cannot hold a read past the caller's limits.
        DWORD available = 0, read = 0, written = 0;
        if (!rt::sys::InternetQueryDataAvailable(request.h, &available, 0, 0)) break;
        if (available == 0) {
            ended = true;
            break;
        }
        if (!rt::sys::InternetReadFile(request.h, piece.data(), std::min(available, kPieceBytes), &read)) break;
        if (read == 0) {
            ended = true;
            break;
        }
        progress->lastSign = GetTickCount64();
        if ((progress->received += read) > maxBytes) break;
        if (!WriteFile(file, piece.data(), read, &written, nullptr) || written != read) break;
    }
    bool closed = CloseHandle(file);
    return ended && closed && !progress->stop;
}

// One download on a kept thread. Given up, it is stopped before its next piece, and its temporary file is kept
// open for deletion on close: its name stays taken (no later download gets it while the thread may still write
// there), and the file goes when the download ends or, should it never end, when the program does.
struct DownloadWork final : rt::KeptWork {
    std::string url, temp;
    DWORD silenceMs = 0;
    long long maxBytes = 0;
    DownloadProgress progress;
    bool ok = false;
    HANDLE deleteOnClose = INVALID_HANDLE_VALUE;
    ~DownloadWork() override {
        if (deleteOnClose != INVALID_HANDLE_VALUE) CloseHandle(deleteOnClose);
    }
    void Run() override { ok = Stream(url, temp, silenceMs, maxBytes, &progress); }
    void GivenUp() override {
        progress.stop = true;
        deleteOnClose = CreateFileA(temp.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    }
    void FinishedAfterGivingUp() override { DeleteFileA(temp.c_str()); }
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

UrlDownload DownloadUrlToFile(const std::string& url, const std::string& path, const PictureLimits& limits) {
    UrlDownload outcome;
    auto* work = new DownloadWork;
    work->url = url;
    work->temp = path;
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

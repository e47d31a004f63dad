// The transfer engine over WinINet: one request per hop on a kept thread, redirects followed here, cookies from
// the store or the stage's snapshot, the body streamed into its sink under the caller's limits.
#include "runtime/transfer.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "runtime/kept_threads_win.h"
#include "runtime/library_rules.h"
#include "runtime/program.h"
#include "runtime/scoped_handles_win.h"
#include "runtime/system_functions_win.h"

namespace rt {

namespace {

// Always from the server, never into the cache (under Wine a cache holding every thumbnail and picture slows
// every later request); redirects followed here, since WinINet under Wine follows a loop for ever; and no
// answer to a server's authentication challenge: a dotless intranet host named by a page would otherwise
// collect the user's NTLM response.
constexpr DWORD kCommonFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_AUTH;
constexpr DWORD kPieceBytes = 64 * 1024;

// A WinINet handle, closed through the system binding.
struct InternetKind {
    using Handle = HINTERNET;
    static Handle Empty() { return nullptr; }
    static void Close(Handle h) { sys::InternetCloseHandle(h); }
};
using InternetHandle = Scoped<InternetKind>;

// ---- Sessions: one internet handle per profile, opened by the first transfer and kept to the program's end.

std::string PlatformAgent() {
    char agent[512] = "";
    DWORD size = sizeof agent;
    if (FAILED(sys::ObtainUserAgentString(0, agent, &size))) return "Mozilla/4.0 (compatible; MSIE 7.0)";
    return agent;
}

std::mutex sessionsLock;
HINTERNET sessions[2] = {nullptr, nullptr};

void CloseSessions() {
    std::lock_guard<std::mutex> hold(sessionsLock);
    for (HINTERNET& session : sessions)
        if (session) sys::InternetCloseHandle(std::exchange(session, nullptr));
}

// Pages go direct, as HttpReadFile always has; pictures go through the system's proxy settings, as the
// platform's own downloads do.
HINTERNET Session(WireProfile profile) {
    PrepareTransfers();
    std::lock_guard<std::mutex> hold(sessionsLock);
    HINTERNET& session = sessions[profile == WireProfile::kPage ? 0 : 1];
    if (!session) {
        bool first = !sessions[0] && !sessions[1];
        session = profile == WireProfile::kPage
                      ? sys::InternetOpenA(kPageAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)
                      : sys::InternetOpenA(PlatformAgent().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (session && first) AddShutdownStep(&CloseSessions);
    }
    return session;
}

// ---- Header reads, each bounded (see ReadBoundedHeader).

bool QueryHeader(HINTERNET request, DWORD what, DWORD* index, std::string* value) {
    return ReadBoundedHeader(
        [&](char* buffer, uint32_t* size) {
            DWORD length = *size, asked = index ? *index : 0;
            BOOL ok = sys::HttpQueryInfoA(request, what, buffer, &length, index);
            DWORD error = GetLastError();
            *size = length;
            if (ok) return buffer && (!index || *index != asked) ? HeaderQuery::kOk : HeaderQuery::kFailed;
            return error == ERROR_INSUFFICIENT_BUFFER ? HeaderQuery::kTooSmall : HeaderQuery::kFailed;
        },
        value);
}

bool QueryHeader(HINTERNET request, DWORD what, std::string* value) { return QueryHeader(request, what, nullptr, value); }

uint32_t StatusOf(HINTERNET request) {
    DWORD status = 0, size = sizeof status;
    if (!sys::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return 0;
    return status;
}

// The announced length; -1 when none (or none that is a plain number) was announced.
int64_t AnnouncedLength(HINTERNET request) {
    std::string text;
    if (!QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH, &text) || text.empty() || text.size() > 18) return -1;
    int64_t length = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        length = length * 10 + (c - '0');
    }
    return length;
}

bool HeaderIs(HINTERNET request, DWORD what, const char* expected) {
    std::string value;
    return QueryHeader(request, what, &value) && _stricmp(value.c_str(), expected) == 0;
}

bool HasHeader(HINTERNET request, DWORD what) {
    std::string value;
    return QueryHeader(request, what, &value);
}

// ---- The cookie snapshot, shared by every worker thread of a stage.

std::mutex snapshotLock;
std::map<std::string, std::string> snapshot;  // CookieFolderKey -> "Cookie: ...\r\n" or ""

std::string LookUpCookies(const std::string& address) {
    DWORD size = 0;
    if (!sys::InternetGetCookieExA(address.c_str(), nullptr, nullptr, &size, INTERNET_COOKIE_HTTPONLY, nullptr) ||
        size <= 1 || size > (1u << 20))
        return "";
    std::string cookies(size_t(size) + 1, '\0');
    DWORD filled = size;
    if (!sys::InternetGetCookieExA(address.c_str(), nullptr, cookies.data(), &filled, INTERNET_COOKIE_HTTPONLY,
                                   nullptr))
        return "";
    cookies.resize(std::strlen(cookies.c_str()));
    return cookies.empty() ? "" : "Cookie: " + cookies + "\r\n";
}

std::string SnapshotCookieLine(const UrlParts& parts) {
    std::string key = CookieFolderKey(parts);
    {
        std::lock_guard<std::mutex> hold(snapshotLock);
        auto it = snapshot.find(key);
        if (it != snapshot.end()) return it->second;
    }
    std::string line = LookUpCookies(CookieAddress(parts));
    std::lock_guard<std::mutex> hold(snapshotLock);
    snapshot[key] = line;
    return line;
}

// Hands every Set-Cookie line of the answer to the store for the address that answered. A cookie may be set for
// a wider path or a whole domain, so any cookie set drops the whole snapshot: the next request anywhere looks
// its cookies up as the store now has them.
void HandBackSetCookies(HINTERNET request, const UrlParts& parts) {
    std::string address = CookieAddress(parts), value;
    bool any = false;
    for (DWORD index = 0; QueryHeader(request, HTTP_QUERY_SET_COOKIE, &index, &value);) {
        sys::InternetSetCookieExA(address.c_str(), nullptr, value.c_str(), INTERNET_COOKIE_HTTPONLY, 0);
        any = true;
    }
    if (!any) return;
    std::lock_guard<std::mutex> hold(snapshotLock);
    snapshot.clear();
}

// ---- One transfer on a kept thread.

std::atomic<int> abandoned{0};

struct TransferWork final : KeptWork {
    std::string address;
    WireProfile profile = WireProfile::kPage;
    CookieSource cookies = CookieSource::kStore;
    TransferLimits limits;
    std::shared_ptr<TransferSink> sink;
    ULONGLONG started = GetTickCount64();
    TransferOutcome outcome;

    // What the caller watches while it waits.
    std::atomic<ULONGLONG> lastSign{GetTickCount64()};  // when the last bytes (or the answer's head) arrived
    std::atomic<uint64_t> received{0};
    std::atomic<int64_t> announced{-1};
    std::atomic<bool> stop{false};  // set when the caller gives up: the thread touches its request no more

    // The request in flight, closed exactly once: by the thread when it is done with it, or by the caller when
    // it gives up (which on Windows ends a send or read blocked in it).
    std::mutex requestLock;
    HINTERNET request = nullptr;

    void Run() override;
    bool counted = false;  // counted among the abandoned transfers (a work whose thread never started is not)
    void GivenUp() override {
        stop = true;
        counted = true;
        ++abandoned;
        CloseRequest();
        sink->GivenUp();
    }
    void FinishedAfterGivingUp() override {
        sink->EndedAfterGivingUp();
        if (counted) --abandoned;
    }

    // How long the transfer may take from its start, given what has arrived.
    ULONGLONG Allowed() const {
        if (limits.baseMs == 0) return ~ULONGLONG(0);
        ULONGLONG allowed = limits.baseMs;
        if (limits.floorBytesPerSecond > 0) allowed += received.load() * 1000 / limits.floorBytesPerSecond;
        return allowed;
    }
    bool WithinLimits() const {
        ULONGLONG now = GetTickCount64();
        uint64_t size = std::max<uint64_t>(received.load(), uint64_t(std::max<int64_t>(announced.load(), 0)));
        return now - lastSign.load() < limits.silenceMs && size <= limits.maxBytes && now - started < Allowed();
    }

    // Each wait of the request lasts no longer than the silence limit, nor past a fixed deadline.
    void LimitWaits(HINTERNET h) const {
        ULONGLONG waitMs = limits.silenceMs;
        if (limits.baseMs > 0 && limits.floorBytesPerSecond == 0) {
            ULONGLONG elapsed = GetTickCount64() - started;
            waitMs = std::min<ULONGLONG>(waitMs, elapsed < limits.baseMs ? limits.baseMs - elapsed : 1);
        }
        LimitRequestWaits(h, uint32_t(std::max<ULONGLONG>(waitMs, 1)));
    }

    // The thread's request from now on; null when the caller gave up meanwhile (the handle is closed then).
    HINTERNET Adopt(HINTERNET h) {
        std::lock_guard<std::mutex> hold(requestLock);
        if (stop) {
            if (h) sys::InternetCloseHandle(h);
            return nullptr;
        }
        request = h;
        return h;
    }
    void CloseRequest() {
        std::lock_guard<std::mutex> hold(requestLock);
        if (request) sys::InternetCloseHandle(std::exchange(request, nullptr));
    }

    // The thread uses its request's handle only while stop is unset: once the caller has closed it, the
    // platform may hand the same value to another transfer. Between the thread's look at stop and its next call
    // there is still an instant in which the caller may close the handle; only WinINet's asynchronous mode, with
    // every call on one thread, would close that gap.
    HINTERNET Send(const UrlParts& parts, InternetHandle* connection);
    bool Follow(HINTERNET h, UrlParts* parts);
    BodyEnd ReadBody(HINTERNET h);
};

HINTERNET TransferWork::Send(const UrlParts& parts, InternetHandle* connection) {
    CloseRequest();
    HINTERNET session = Session(profile);
    if (!session || stop) return nullptr;
    connection->reset(sys::InternetConnectA(session, parts.host.c_str(), parts.port, nullptr, nullptr,
                                            INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection->get()) return nullptr;
    bool page = profile == WireProfile::kPage;
    DWORD flags = kCommonFlags | (parts.secure ? INTERNET_FLAG_SECURE : 0) |
                  (cookies == CookieSource::kSnapshot ? INTERNET_FLAG_NO_COOKIES : 0) |
                  (page ? 0 : INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI);
    const char* pageAccept[] = {"Accept: */* \r\n", nullptr};
    const char* pictureAccept[] = {"*/*", nullptr};
    HINTERNET h = Adopt(sys::HttpOpenRequestA(connection->get(), "GET", parts.path.c_str(),
                                              page ? "HTTP/1.0" : "HTTP/1.1", nullptr,
                                              page ? pageAccept : pictureAccept, flags, 0));
    if (!h) return nullptr;
    LimitWaits(h);
    std::string headers = page ? "Accept: */*\r\n" : "";
    if (cookies == CookieSource::kSnapshot) headers += SnapshotCookieLine(parts);
    if (page) headers += "\r\n";
    BOOL sent = sys::HttpSendRequestA(h, headers.empty() ? nullptr : headers.c_str(), DWORD(headers.size()), nullptr, 0);
    if (stop || !sent) return nullptr;
    lastSign = GetTickCount64();
    if (cookies == CookieSource::kSnapshot) HandBackSetCookies(h, parts);
    return h;
}

// Whether the answer is a redirect (301, 302, 303, 307 or 308 with a Location); parts then name its target,
// or address is left empty when it leads nowhere a transfer may go.
bool TransferWork::Follow(HINTERNET h, UrlParts* parts) {
    uint32_t status = StatusOf(h);
    if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) return false;
    std::string location;
    if (!QueryHeader(h, HTTP_QUERY_LOCATION, &location)) return false;
    std::string target = RedirectTarget(address, location);
    address = target.empty() || !SplitTransferAddress(target, parts) ? "" : EncodeSpaces(target);
    return true;
}

BodyEnd TransferWork::ReadBody(HINTERNET h) {
    outcome.status = StatusOf(h);
    outcome.contentLength = AnnouncedLength(h);
    announced = outcome.contentLength;
    if (outcome.contentLength > int64_t(limits.maxBytes)) return BodyEnd::kFailed;
    if (HasHeader(h, HTTP_QUERY_CONTENT_ENCODING) && !HeaderIs(h, HTTP_QUERY_CONTENT_ENCODING, "identity"))
        return BodyEnd::kFailed;
    bool chunked = HeaderIs(h, HTTP_QUERY_TRANSFER_ENCODING, "chunked");
    std::vector<char> piece(kPieceBytes);
    for (;;) {
        // Reads only what has arrived: a read asking for more waits until it all comes, and a server trickling
        // a byte a second would hold it past every limit.
        if (!WithinLimits()) return BodyEnd::kFailed;
        LimitWaits(h);
        DWORD available = 0, read = 0;
        BOOL queried = sys::InternetQueryDataAvailable(h, &available, 0, 0);
        if (stop || !queried) return BodyEnd::kFailed;
        if (available == 0) break;
        BOOL ok = sys::InternetReadFile(h, piece.data(), std::min(available, kPieceBytes), &read);
        if (stop || !ok) return BodyEnd::kFailed;
        if (read == 0) break;
        lastSign = GetTickCount64();
        if ((received += read) > limits.maxBytes || !sink->Take(piece.data(), read)) return BodyEnd::kFailed;
    }
    if (!WithinLimits()) return BodyEnd::kFailed;
    if (outcome.contentLength >= 0)
        return uint64_t(outcome.contentLength) == received ? BodyEnd::kAnnouncedLength : BodyEnd::kFailed;
    return chunked ? BodyEnd::kChunkedEnd : BodyEnd::kConnectionClosed;
}

void TransferWork::Run() {
    UrlParts parts;
    InternetHandle connection;
    if (SplitTransferAddress(address, &parts)) {
        address = EncodeSpaces(address);
        for (int hop = 0;; ++hop) {
            HINTERNET h = Send(parts, &connection);
            if (!h || stop) break;
            if (!Follow(h, &parts)) {
                outcome.body = ReadBody(h);
                break;
            }
            if (address.empty() || hop == kMaxRedirects) break;
        }
    }
    outcome.received = received;
    outcome.ended = true;
    CloseRequest();
}

// Keeps what arrives in memory.
struct MemorySink final : TransferSink {
    std::string body;
    bool Take(const char* data, size_t size) override {
        body.append(data, size);
        return true;
    }
};

}  // namespace

void LimitRequestWaits(void* request, uint32_t ms) {
    DWORD timeout = ms;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        sys::InternetSetOptionA(request, option, &timeout, sizeof timeout);
}

void PrepareTransfers() {
    static std::once_flag prepared;
    std::call_once(prepared, [] {
        DWORD connections = 10;
        sys::InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &connections, sizeof connections);
        sys::InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &connections, sizeof connections);
    });
}

int AbandonedTransfers() { return abandoned.load(); }

void CountAbandonedTransfer(int change) { abandoned += change; }

void StartCookieSnapshot() {
    std::lock_guard<std::mutex> hold(snapshotLock);
    snapshot.clear();
}

TransferOutcome Transfer(const std::string& address, WireProfile profile, CookieSource cookies,
                         const TransferLimits& limits, const std::shared_ptr<TransferSink>& sink) {
    TransferOutcome refused;
    refused.ended = true;
    if (abandoned.load() >= kMaxAbandonedTransfers) return refused;
    auto* work = new TransferWork;
    work->address = address;
    work->profile = profile;
    work->cookies = cookies;
    work->limits = limits;
    work->sink = sink;
    DWORD pollMs = profile == WireProfile::kPage ? 50 : 200;
    if (!RunOnKeptThread(work, pollMs, [work] { return work->WithinLimits(); })) return TransferOutcome{};
    TransferOutcome outcome = work->outcome;
    LetGo(work);
    return outcome;
}

bool TransferToMemory(const std::string& address, WireProfile profile, CookieSource cookies,
                      const TransferLimits& limits, std::string* body) {
    auto sink = std::make_shared<MemorySink>();
    TransferOutcome outcome = Transfer(address, profile, cookies, limits, sink);
    if (!outcome.ended || outcome.body == BodyEnd::kFailed) return false;
    body->swap(sink->body);
    return true;
}

}  // namespace rt

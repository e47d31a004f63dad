// The internet library over WinINet: HttpReadFile, and the same fetch with the cookies of a stage's snapshot, with
// one internet handle shared by every call.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "runtime/args.h"
#include "runtime/cookie_snapshot_win.h"
#include "runtime/internet_win.h"
#include "runtime/kept_threads_win.h"
#include "runtime/library_commands.h"
#include "runtime/library_rules.h"
#include "runtime/memory.h"
#include "runtime/program.h"
#include "runtime/system_functions_win.h"

namespace rt {

namespace {

constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
// Always fetch from the server and never write to the cache; https adds secure transfer. Redirects are followed
// here, not by WinINet: under Wine it follows a redirect loop for ever.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
// Longest silence while sending the request or waiting for answer bytes. Wine's WinINet waits forever by
// default, so a server that accepts a thumbnail request and never answers would hold its worker, and with it
// the whole listing, for good.
constexpr DWORD kSilenceTimeoutMs = 30000;

// Closes a connection or request handle when the call ends.
class InternetHandle {
public:
    explicit InternetHandle(HINTERNET h) : h_(h) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() { reset(nullptr); }
    HINTERNET get() const { return h_; }
    void reset(HINTERNET h) {
        if (h_) sys::InternetCloseHandle(h_);
        h_ = h;
    }

private:
    HINTERNET h_;
};

std::mutex internetLock;
HINTERNET sharedInternet = nullptr;

void CloseSharedInternet() {
    std::lock_guard<std::mutex> guard(internetLock);
    if (sharedInternet) sys::InternetCloseHandle(std::exchange(sharedInternet, nullptr));
}

// Opened by the first call (a direct connection: no proxy is ever configured) and kept to the program's end.
// Worker threads may make the first call too, so the opening is locked.
HINTERNET SharedInternet() {
    std::lock_guard<std::mutex> guard(internetLock);
    if (!sharedInternet) {
        sharedInternet = sys::InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        if (sharedInternet) AddShutdownStep(&CloseSharedInternet);
    }
    return sharedInternet;
}

const char* OrNull(const std::string& s) { return s.empty() ? nullptr : s.c_str(); }

// Each read waits no longer than the silence limit, nor past the deadline.
void LimitWaits(HINTERNET request, ULONGLONG deadline) {
    ULONGLONG now = GetTickCount64();
    DWORD timeout = deadline <= now ? 1 : DWORD(std::min<ULONGLONG>(kSilenceTimeoutMs, deadline - now));
    sys::InternetSetOptionA(request, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
    sys::InternetSetOptionA(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
}

// The whole body of a sent request; a failing read ends it with what arrived so far. False when the body
// grows past maxBytes or the deadline passes: the fetch has failed then.
bool ReadBody(HINTERNET request, size_t maxBytes, ULONGLONG deadline, std::string* body) {
    DWORD length = 0;
    DWORD size = sizeof length;
    bool known =
        sys::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr);
    if (known && length > maxBytes) return false;
    std::vector<char> buffer(size_t(ReadBufferSize(known, int64_t(length))));
    for (;;) {
        // Reads only what has arrived: a read asking for more waits until it all comes, and a server trickling
        // a byte a second would hold it far past the deadline.
        LimitWaits(request, deadline);
        DWORD available = 0;
        if (!sys::InternetQueryDataAvailable(request, &available, 0, 0) || available == 0) break;
        DWORD read = 0;
        DWORD wanted = std::min<DWORD>(available, DWORD(buffer.size()));
        if (!sys::InternetReadFile(request, buffer.data(), wanted, &read) || read == 0) break;
        if (read > maxBytes - body->size()) return false;
        body->append(buffer.data(), read);
        if (GetTickCount64() >= deadline) return false;
    }
    return GetTickCount64() < deadline;
}

// How a fetch finds the cookies it sends: the platform's store per request, or the stage's snapshot.
enum class Cookies { kStore, kSnapshot };

// Opens and sends HttpReadFile's request for address. With the snapshot the request skips the store and
// carries the Cookie line the store would have added, in its place.
bool Send(const std::string& address, ULONGLONG deadline, Cookies cookies, InternetHandle* connection,
          InternetHandle* request) {
    request->reset(nullptr);
    connection->reset(nullptr);
    UrlParts url;
    HINTERNET internet = SharedInternet();
    if (!SplitUrl(address.c_str(), &url) || !internet) return false;
    connection->reset(sys::InternetConnectA(internet, url.host.c_str(), url.port, OrNull(url.user),
                                            OrNull(url.password), INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection->get()) return false;
    const char* acceptTypes[] = {"Accept: */* \r\n", nullptr};
    DWORD flags = kRequestFlags | (url.secure ? INTERNET_FLAG_SECURE : 0) |
                  (cookies == Cookies::kSnapshot ? INTERNET_FLAG_NO_COOKIES : 0);
    request->reset(
        sys::HttpOpenRequestA(connection->get(), "GET", url.path.c_str(), "HTTP/1.0", nullptr, acceptTypes, flags, 0));
    if (!request->get()) return false;
    LimitWaits(request->get(), deadline);
    std::string headers = "Accept: */*\r\n";
    if (cookies == Cookies::kSnapshot) headers += SnapshotCookieLine(address);
    headers += "\r\n";
    if (!sys::HttpSendRequestA(request->get(), headers.c_str(), DWORD(headers.size()), nullptr, 0)) return false;
    if (cookies == Cookies::kSnapshot) HandBackSetCookies(address, request->get());
    return true;
}

// One fetch: the request HttpReadFile sends, through at most kMaxRedirects redirects, and the body it reads;
// false when the fetch failed.
bool Fetch(std::string address, size_t maxBytes, ULONGLONG deadline, Cookies cookies, std::string* body) {
    InternetHandle connection(nullptr), request(nullptr);
    for (int hop = 0;; ++hop) {
        if (!Send(address, deadline, cookies, &connection, &request)) return false;
        std::string target;
        if (!IsRedirect(request.get(), address, &target)) break;
        if (target.empty() || hop == kMaxRedirects) return false;
        address = target;
    }
    return ReadBody(request.get(), maxBytes, deadline, body);
}

// A fetch with a deadline runs on a kept thread while its caller waits no longer than the deadline: sending the
// request waits for the whole answer head, which a server trickling a byte a second can stretch without end.
struct FetchWork final : KeptWork {
    std::string address, body;
    size_t maxBytes = 0;
    ULONGLONG deadline = 0;
    Cookies cookies = Cookies::kStore;
    bool fetched = false;
    void Run() override { fetched = Fetch(address, maxBytes, deadline, cookies, &body); }
};

bool FetchWithinDeadline(const std::string& address, size_t maxBytes, ULONGLONG deadline, Cookies cookies,
                         std::string* body) {
    auto* work = new FetchWork;
    work->address = address;
    work->maxBytes = maxBytes;
    work->deadline = deadline;
    work->cookies = cookies;
    if (!RunOnKeptThread(work, 50, [deadline] { return GetTickCount64() < deadline; })) return false;
    bool fetched = work->fetched;
    if (fetched) body->swap(work->body);
    LetGo(work);
    return fetched;
}

}  // namespace

void HttpReadFile(Value* result, int32_t argc, Value* args) {
    // Optional limits: the largest body (bytes) and the longest whole fetch (milliseconds).
    size_t maxBytes = ArgOmitted(argc, args, 1) ? kMaxHttpBody : size_t(std::max(ArgInt(argc, args, 1), 0));
    int32_t deadlineMs = ArgOmitted(argc, args, 2) ? 0 : ArgInt(argc, args, 2);
    std::string address = ArgText(argc, args, 0), body;
    bool fetched = deadlineMs > 0 ? FetchWithinDeadline(address, maxBytes, GetTickCount64() + ULONGLONG(deadlineMs),
                                                        Cookies::kStore, &body)
                                  : Fetch(address, maxBytes, ~ULONGLONG(0), Cookies::kStore, &body);
    if (!fetched) return SetBytes(result, nullptr);
    SetBytes(result, NewBytes(body.data(), body.size()));
}

bool IsRedirect(HINTERNET request, const std::string& address, std::string* target) {
    DWORD status = 0, size = sizeof status;
    if (!sys::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        (status != 301 && status != 302 && status != 303 && status != 307 && status != 308))
        return false;
    // The Location's length first; without a Location the answer is an ordinary one of its status.
    size = 0;
    if (!sys::HttpQueryInfoA(request, HTTP_QUERY_LOCATION, nullptr, &size, nullptr) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    std::string location(size_t(size) + 1, '\0');
    target->clear();
    if (!sys::HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location.data(), &size, nullptr)) return true;
    location.resize(size);
    *target = RedirectTarget(address, location);
    return true;
}

bool FetchWithCookieSnapshot(const std::string& address, size_t maxBytes, uint32_t deadlineMs, std::string* body) {
    return FetchWithinDeadline(address, maxBytes, GetTickCount64() + deadlineMs, Cookies::kSnapshot, body);
}

}  // namespace rt

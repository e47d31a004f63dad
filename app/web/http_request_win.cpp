// HttpRequest and its worker over WinINet. The caller and the worker share one hand-over stream (an in-memory
// file); whoever lets go of it last closes it, so a worker abandoned after a time-out finishes on its own and
// its late result never reaches the caller.
#include <windows.h>
#include <wininet.h>

#include <map>
#include <new>
#include <mutex>

#include "app/web/fetch_limits.h"
#include "app/web/http_request.h"
#include "app/web/http_rules.h"
#include "runtime/dll_declarations_win.h"
#include "runtime/errors.h"
#include "runtime/library_rules.h"
#include "runtime/scoped_handles_win.h"
#include "runtime/transfer.h"

namespace app {

namespace {

constexpr const char kKey[] = "Vexlorn";
constexpr const char kStatusOk[] = "Vexlorn_OK";
constexpr DWORD kWaitTimeout = 258;

// Holders of each hand-over stream: the caller and the worker. The last to let go closes the stream. A worker
// whose caller gave up on it counts among the runtime's abandoned transfers until it ends.
struct StreamHolders {
    int holders = 0;
    bool abandoned = false;
};
std::mutex streamsLock;
std::map<int32_t, StreamHolders> streamHolders;

void HoldStream(int32_t stream, int holders) {
    std::lock_guard<std::mutex> guard(streamsLock);
    streamHolders[stream] = {holders, false};
}

// The caller's release after a time-out, while the worker still holds the stream.
void AbandonStream(int32_t stream) {
    std::lock_guard<std::mutex> guard(streamsLock);
    auto it = streamHolders.find(stream);
    if (it == streamHolders.end() || it->second.holders < 2) return;
    it->second.abandoned = true;
    rt::CountAbandonedTransfer(+1);
}

void ReleaseStream(int32_t stream) {
    {
        std::lock_guard<std::mutex> guard(streamsLock);
        auto it = streamHolders.find(stream);
        if (it == streamHolders.end() || --it->second.holders > 0) return;
        if (it->second.abandoned) rt::CountAbandonedTransfer(-1);
        streamHolders.erase(it);
    }
    CloseFile(stream);
}

bool IsBlank(const Text& t) { return RemoveAllSpaces(t).empty(); }

// One header of the response, read with a bounded buffer whatever length the platform reports.
bool QueryHeader(HINTERNET request, DWORD what, std::string* value) {
    return rt::ReadBoundedHeader(
        [&](char* buffer, uint32_t* size) {
            DWORD length = *size;
            BOOL ok = rt::dll::HttpQueryInfoA(request, what, buffer, &length, nullptr);
            DWORD error = GetLastError();
            *size = length;
            if (ok) return buffer ? rt::HeaderQuery::kOk : rt::HeaderQuery::kFailed;
            return error == ERROR_INSUFFICIENT_BUFFER ? rt::HeaderQuery::kTooSmall : rt::HeaderQuery::kFailed;
        },
        value);
}

// The raw response headers, read whole whatever their length; 1024 spaces when none can be read.
Text ReadResponseHeaders(HINTERNET request) {
    std::string headers;
    if (!QueryHeader(request, HTTP_QUERY_RAW_HEADERS_CRLF, &headers)) return Text::Copy(std::string(1024, ' '));
    return Text::Copy(headers.c_str());
}

// Hands every Set-Cookie line of the response to the platform's cookie store for http:// + host.
void HandBackCookies(const Text& headers, const Text& host) {
    if (!HasSetCookie(headers)) return;
    int32_t file = OpenMemoryFile();
    WriteBytes(file, Bytes::Copy(headers.c_str(), headers.size()));
    SeekFileStart(file);
    Text url = Concat("http://", host);
    // Stop also in front of a NUL or 0x1A byte: ReadLine never steps over one.
    while (!AtFileEnd(file, true)) {
        Text line = ReadLine(file), name, data;
        if (ParseSetCookieLine(line, &name, &data))
            rt::dll::InternetSetCookieA(url.c_str(), name.c_str(), data.c_str());
    }
    CloseFile(file);
}

// A WinINet handle, closed through the declared command.
struct DeclaredInternetKind {
    using Handle = HINTERNET;
    static Handle Empty() { return nullptr; }
    static void Close(Handle h) { rt::dll::InternetCloseHandle(h); }
};
using InternetHandle = rt::Scoped<DeclaredInternetKind>;

// Where a redirect leads: the address its Location names from url, when the answer is one (301, 302, 303, 307
// or 308 with a Location) and the address is one this request can go to; empty otherwise.
Text RedirectOf(HINTERNET request, const Text& url) {
    DWORD status = 0, size = sizeof status;
    if (!rt::dll::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        (status != 301 && status != 302 && status != 303 && status != 307 && status != 308))
        return Text();
    std::string location;
    if (!QueryHeader(request, HTTP_QUERY_LOCATION, &location)) return Text();
    std::string target = rt::RedirectTarget(url.str(), location);
    if (_strnicmp(target.c_str(), "http://", 7) != 0 || !rt::IsRequestableAddress(target)) return Text();
    return Text::Copy(target);
}

// Never from the cache; redirects followed below (at most rt::kMaxRedirects, since WinINet under Wine follows a
// loop for ever); no answer to a server's authentication challenge.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_AUTH;
// The longest silence of any wait: the default time-out, so that a worker given up by its caller ends when the
// platform's wait does instead of never, while a caller's own time-out still decides when it gives up.
constexpr uint32_t kSilenceMs = 90000;

// Carries out the request read from the stream; true when a result was written into it.
bool PerformRequest(int32_t stream) {
    SeekFileStart(stream);
    Text key;
    if (!ReadData(stream, &key) || !(key == kKey)) return false;
    Text url, method, proxy, userName, password, headers, postData;
    for (Text* t : {&url, &method, &proxy, &userName, &password, &headers, &postData}) ReadData(stream, t);
    SeekFileStart(stream);
    DeleteData(stream, GetFileLength(stream));

    if (!rt::IsRequestableAddress(url.str())) return false;  // a CR or LF would reach the request line
    InternetHandle internet, connection, request;
    if (IsBlank(proxy)) {
        internet.reset(rt::dll::InternetOpenA(rt::kPageAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    } else {
        Text proxyList = Concat("http=", proxy);
        internet.reset(rt::dll::InternetOpenA(rt::kPageAgent, INTERNET_OPEN_TYPE_PROXY, proxyList.c_str(), nullptr, 0));
    }
    if (!internet.get()) return false;

    Text upper = ToUpper(method);
    bool isGet = method.empty() || upper == "GET", isPost = upper == "POST";
    if (!isGet && !isPost) return false;
    Text allHeaders = CompleteRequestHeaders(headers, url, isPost, postData);
    const Text firstHost = UrlHost(url, true);
    Text host;
    for (int hop = 0;; ++hop) {
        host = UrlHost(url, false);
        // The caller's credentials go to the host it named, never to one a redirect leads to.
        bool ownHost = UrlHost(url, true).str() == firstHost.str();
        request.reset(nullptr);  // a request goes before its connection
        connection.reset(rt::dll::InternetConnectA(
            internet.get(), host.c_str(), INTERNET_PORT(UrlPort(url)),
            !ownHost || IsBlank(userName) ? nullptr : userName.c_str(),
            !ownHost || IsBlank(password) ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
        if (!connection.get()) return false;
        Text path = UrlPath(url);
        request.reset(rt::dll::HttpOpenRequestA(connection.get(), method.empty() ? nullptr : method.c_str(), path.c_str(),
                                                "HTTP/1.1", nullptr, nullptr, kRequestFlags, 0));
        if (!request.get()) return false;
        rt::LimitRequestWaits(request.get(), kSilenceMs);
        if (isPost)
            rt::dll::HttpSendRequestA(request.get(), allHeaders.c_str(), DWORD(allHeaders.size()),
                                      const_cast<char*>(postData.c_str()), DWORD(postData.size()));
        else
            rt::dll::HttpSendRequestA(request.get(), allHeaders.c_str(), DWORD(allHeaders.size()), nullptr, 0);
        Text target = RedirectOf(request.get(), url);
        if (target.empty()) break;
        // Each answer's cookies belong to the host that sent them.
        HandBackCookies(ReadResponseHeaders(request.get()), host);
        if (hop == rt::kMaxRedirects) return false;
        // A redirected POST goes on as a GET without its body, as browsers do: the data was meant for the first
        // address, not for wherever it sends the request on.
        if (isPost) {
            isPost = false;
            method = Text::Copy("GET");
            allHeaders = CompleteRequestHeaders(headers, url, false, Text());
        }
        url = target;
    }

    int32_t body = OpenMemoryFile();
    int64_t total = 0;
    for (;;) {
        char buffer[512] = {};
        DWORD n = 0;
        if (!rt::dll::InternetReadFile(request.get(), buffer, sizeof buffer, &n) || n == 0) break;
        total += n;
        if (total > kPageMaxBytes) {
            CloseFile(body);
            return false;
        }
        WriteBytes(body, Bytes::Copy(buffer, n));
    }
    Text responseHeaders = ReadResponseHeaders(request.get());
    SeekFileStart(body);
    Bytes bodyBytes = ReadBytes(body, GetFileLength(body));
    WriteData(stream, kStatusOk, responseHeaders, bodyBytes);
    CloseFile(body);
    HandBackCookies(responseHeaders, host);
    return true;
}

DWORD WINAPI HttpRequestWorker(LPVOID parameter) {
    auto stream = static_cast<int32_t>(reinterpret_cast<intptr_t>(parameter));
    if (stream == 0) return 0;
    // A body the memory cannot hold is a failed request, as a broken connection is.
    bool wrote = rt::GuardEntry("线程运行出错!", [stream] {
        try {
            return PerformRequest(stream);
        } catch (const std::bad_alloc&) {
            return false;
        }
    });
    ReleaseStream(stream);
    return wrote ? 1 : 0;
}

}  // namespace

Bytes HttpRequest(const Text& url, const HttpRequestOptions& o) {
    if (o.responseHeaders) *o.responseHeaders = Text();
    // Too many requests given up live on (a server holding each one with a head that never ends): fail at once
    // rather than start one more thread for it to hold.
    if (rt::AbandonedTransfers() >= rt::kMaxAbandonedTransfers) return Bytes();
    int32_t stream = OpenMemoryFile();
    WriteData(stream, kKey, url, o.method, o.proxy, o.userName, o.password, o.headers, o.postData);
    int32_t timeout = o.timeoutSeconds == 0 ? 90 : o.timeoutSeconds;

    HoldStream(stream, 2);
    DWORD threadId = 0;
    HANDLE worker =
        rt::dll::CreateThread(nullptr, 0, &HttpRequestWorker, reinterpret_cast<LPVOID>(intptr_t(stream)), 0, &threadId);
    if (!worker) {
        // No worker: nobody else holds the stream, and there is nothing to wait for.
        ReleaseStream(stream);
        ReleaseStream(stream);
        return Bytes();
    }
    // Messages are handled while waiting, but they do not extend the time-out: a user moving the mouse over a
    // window whose server never answers must not keep the program busy for ever.
    const ULONGLONG deadline = GetTickCount64() + ULONGLONG(timeout) * 1000;
    DWORD result;
    do {
        ULONGLONG now = GetTickCount64();
        DWORD left = now < deadline ? DWORD(deadline - now) : 0;
        result = rt::dll::MsgWaitForMultipleObjectsForThread(1, &worker, FALSE, left, QS_ALLEVENTS);
        DoEvents();
    } while (result != WAIT_OBJECT_0 && result != kWaitTimeout && result != WAIT_FAILED);
    rt::dll::CloseThreadHandle(worker);

    Bytes body;
    if (result == WAIT_OBJECT_0) {
        SeekFileStart(stream);
        Text status, headers;
        ReadData(stream, &status);
        ReadData(stream, &headers);
        ReadData(stream, &body);
        if (!(status == kStatusOk)) body = Bytes();
        if (o.responseHeaders) *o.responseHeaders = headers;
    }
    // After a time-out the worker still holds the stream; it closes it when it ends.
    if (result != WAIT_OBJECT_0) AbandonStream(stream);
    ReleaseStream(stream);
    return body;
}

}  // namespace app

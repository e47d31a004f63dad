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
#include "runtime/library_rules.h"

namespace app {

namespace {

constexpr const char kKey[] = "Vexlorn";
constexpr const char kStatusOk[] = "Vexlorn_OK";
constexpr const char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr DWORD kWaitTimeout = 258;

// Holders of each hand-over stream: the caller and the worker. The last to let go closes the stream.
std::mutex streamsLock;
std::map<int32_t, int> streamHolders;

void HoldStream(int32_t stream, int holders) {
    std::lock_guard<std::mutex> guard(streamsLock);
    streamHolders[stream] = holders;
}

void ReleaseStream(int32_t stream) {
    {
        std::lock_guard<std::mutex> guard(streamsLock);
        auto it = streamHolders.find(stream);
        if (it == streamHolders.end() || --it->second > 0) return;
        streamHolders.erase(it);
    }
    CloseFile(stream);
}

bool IsBlank(const Text& t) { return RemoveAllSpaces(t).empty(); }

// The raw response headers, read whole whatever their length; 1024 spaces when none can be read.
Text ReadResponseHeaders(HINTERNET request) {
    DWORD length = 1024;
    std::string buffer(length, ' ');
    if (!rt::dll::HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return Text::Copy(std::string(1024, ' '));
        buffer.assign(length + 1, ' ');
        if (!rt::dll::HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr))
            return Text::Copy(std::string(1024, ' '));
    }
    buffer.resize(length);
    return Text::Copy(buffer.c_str());
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

struct Handles {
    HINTERNET internet = nullptr, connection = nullptr, request = nullptr;
    ~Handles() {
        if (request) rt::dll::InternetCloseHandle(request);
        if (connection) rt::dll::InternetCloseHandle(connection);
        if (internet) rt::dll::InternetCloseHandle(internet);
    }
};

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
    Text host = UrlHost(url, false), path = UrlPath(url);
    Handles h;
    if (IsBlank(proxy)) {
        h.internet = rt::dll::InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    } else {
        Text proxyList = Concat("http=", proxy);
        h.internet = rt::dll::InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PROXY, proxyList.c_str(), nullptr, 0);
    }
    if (!h.internet) return false;
    h.connection = rt::dll::InternetConnectA(
        h.internet, host.c_str(), INTERNET_PORT(UrlPort(url)), IsBlank(userName) ? nullptr : userName.c_str(),
        IsBlank(password) ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP, 0, 0);
    if (!h.connection) return false;
    h.request = rt::dll::HttpOpenRequestA(h.connection, method.empty() ? nullptr : method.c_str(), path.c_str(),
                                          "HTTP/1.1", nullptr, nullptr, INTERNET_FLAG_RELOAD, 0);
    if (!h.request) return false;

    Text upper = ToUpper(method);
    bool isGet = method.empty() || upper == "GET", isPost = upper == "POST";
    if (!isGet && !isPost) return false;
    Text allHeaders = CompleteRequestHeaders(headers, url, isPost, postData);
    if (isPost)
        rt::dll::HttpSendRequestA(h.request, allHeaders.c_str(), DWORD(allHeaders.size()),
                                  const_cast<char*>(postData.c_str()), DWORD(postData.size()));
    else
        rt::dll::HttpSendRequestA(h.request, allHeaders.c_str(), DWORD(allHeaders.size()), nullptr, 0);

    int32_t body = OpenMemoryFile();
    int64_t total = 0;
    for (;;) {
        char buffer[512] = {};
        DWORD n = 0;
        if (!rt::dll::InternetReadFile(h.request, buffer, sizeof buffer, &n) || n == 0) break;
        total += n;
        if (total > kPageMaxBytes) {
            CloseFile(body);
            return false;
        }
        WriteBytes(body, Bytes::Copy(buffer, n));
    }
    Text responseHeaders = ReadResponseHeaders(h.request);
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
    bool wrote = false;
    try {
        wrote = PerformRequest(stream);
    } catch (const std::bad_alloc&) {
        wrote = false;
    }
    ReleaseStream(stream);
    return wrote ? 1 : 0;
}

}  // namespace

Bytes HttpRequest(const Text& url, const HttpRequestOptions& o) {
    int32_t stream = OpenMemoryFile();
    WriteData(stream, kKey, url, o.method, o.proxy, o.userName, o.password, o.headers, o.postData);
    int32_t timeout = o.timeoutSeconds == 0 ? 90 : o.timeoutSeconds;
    if (o.responseHeaders) *o.responseHeaders = Text();

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
    ReleaseStream(stream);
    return body;
}

}  // namespace app

// The internet library over WinINet: HttpReadFile, with one internet handle shared by every call.
#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "runtime/args.h"
#include "runtime/library_commands.h"
#include "runtime/library_rules.h"
#include "runtime/memory.h"
#include "runtime/program.h"

namespace rt {

namespace {

constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
// Always fetch from the server and never write to the cache; https adds secure transfer.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
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
    ~InternetHandle() {
        if (h_) InternetCloseHandle(h_);
    }
    HINTERNET get() const { return h_; }

private:
    HINTERNET h_;
};

std::mutex internetLock;
HINTERNET sharedInternet = nullptr;

void CloseSharedInternet() {
    std::lock_guard<std::mutex> guard(internetLock);
    if (sharedInternet) InternetCloseHandle(std::exchange(sharedInternet, nullptr));
}

// Opened by the first call (a direct connection: no proxy is ever configured) and kept to the program's end.
// Worker threads may make the first call too, so the opening is locked.
HINTERNET SharedInternet() {
    std::lock_guard<std::mutex> guard(internetLock);
    if (!sharedInternet) {
        sharedInternet = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        if (sharedInternet) AddShutdownStep(&CloseSharedInternet);
    }
    return sharedInternet;
}

const char* OrNull(const std::string& s) { return s.empty() ? nullptr : s.c_str(); }

// The whole body of a sent request; a failing read ends it with what arrived so far.
std::string ReadBody(HINTERNET request) {
    DWORD length = 0;
    DWORD size = sizeof length;
    bool known = HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr);
    std::vector<char> buffer(size_t(ReadBufferSize(known, int64_t(length))));
    std::string body;
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request, buffer.data(), DWORD(buffer.size()), &read) || read == 0) break;
        body.append(buffer.data(), read);
    }
    return body;
}

}  // namespace

void HttpReadFile(Value* result, int32_t argc, Value* args) {
    UrlParts url;
    if (!SplitUrl(ArgText(argc, args, 0), &url)) return SetBytes(result, nullptr);
    HINTERNET internet = SharedInternet();
    if (!internet) return SetBytes(result, nullptr);

    InternetHandle connection(InternetConnectA(internet, url.host.c_str(), url.port, OrNull(url.user),
                                               OrNull(url.password), INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection.get()) return SetBytes(result, nullptr);
    const char* acceptTypes[] = {"Accept: */* \r\n", nullptr};
    DWORD flags = kRequestFlags | (url.secure ? INTERNET_FLAG_SECURE : 0);
    InternetHandle request(
        HttpOpenRequestA(connection.get(), "GET", url.path.c_str(), "HTTP/1.0", nullptr, acceptTypes, flags, 0));
    if (!request.get()) return SetBytes(result, nullptr);
    DWORD timeout = kSilenceTimeoutMs;
    InternetSetOptionA(request.get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    static const char kHeaders[] = "Accept: */*\r\n\r\n";
    if (!HttpSendRequestA(request.get(), kHeaders, DWORD(std::strlen(kHeaders)), nullptr, 0))
        return SetBytes(result, nullptr);

    std::string body = ReadBody(request.get());
    SetBytes(result, NewBytes(body.data(), body.size()));
}

}  // namespace rt

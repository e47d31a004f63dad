// The internet library over WinINet: HttpReadFile, with one internet handle shared by every call.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
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
#include "runtime/system_functions_win.h"

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
        if (h_) sys::InternetCloseHandle(h_);
    }
    HINTERNET get() const { return h_; }

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

// One fetch: the request HttpReadFile sends and the body it reads; false when the fetch failed.
bool Fetch(const std::string& address, size_t maxBytes, ULONGLONG deadline, std::string* body) {
    UrlParts url;
    if (!SplitUrl(address.c_str(), &url)) return false;
    HINTERNET internet = SharedInternet();
    if (!internet) return false;
    InternetHandle connection(sys::InternetConnectA(internet, url.host.c_str(), url.port, OrNull(url.user),
                                                    OrNull(url.password), INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection.get()) return false;
    const char* acceptTypes[] = {"Accept: */* \r\n", nullptr};
    DWORD flags = kRequestFlags | (url.secure ? INTERNET_FLAG_SECURE : 0);
    InternetHandle request(
        sys::HttpOpenRequestA(connection.get(), "GET", url.path.c_str(), "HTTP/1.0", nullptr, acceptTypes, flags, 0));
    if (!request.get()) return false;
    LimitWaits(request.get(), deadline);
    static const char kHeaders[] = "Accept: */*\r\n\r\n";
    if (!sys::HttpSendRequestA(request.get(), kHeaders, DWORD(std::strlen(kHeaders)), nullptr, 0)) return false;
    return ReadBody(request.get(), maxBytes, deadline, body);
}

// A fetch with a deadline runs on a fetch thread while its caller waits no longer than the deadline: sending
// the request waits for the whole answer head, which a server trickling a byte a second can stretch without
// end. A job the caller stopped waiting for is left to its thread, which ends once the platform lets it go;
// whoever lets go of the job last frees it. Fetch threads are kept for the next fetch.
struct FetchJob {
    enum : int { kRunning, kFinished, kAbandoned };
    std::atomic<int> holders{2};
    std::atomic<int> state{kRunning};
    std::string address, body;
    size_t maxBytes = 0;
    ULONGLONG deadline = 0;
    bool fetched = false;
    HANDLE finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~FetchJob() {
        if (finished) CloseHandle(finished);
    }
};

void LetGo(FetchJob* job) {
    if (--job->holders == 0) delete job;
}

struct FetchThread {
    HANDLE wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    FetchJob* job = nullptr;
};

std::mutex idleFetchThreadsLock;
std::vector<FetchThread*> idleFetchThreads;

DWORD WINAPI RunFetches(LPVOID parameter) {
    auto* self = static_cast<FetchThread*>(parameter);
    for (;;) {
        WaitForSingleObject(self->wake, INFINITE);
        FetchJob* job = self->job;
        job->fetched = Fetch(job->address, job->maxBytes, job->deadline, &job->body);
        int running = FetchJob::kRunning;
        if (job->state.compare_exchange_strong(running, FetchJob::kFinished)) {
            SetEvent(job->finished);
            LetGo(job);
            continue;  // the caller puts this thread back among the idle ones
        }
        LetGo(job);
        break;
    }
    CloseHandle(self->wake);
    delete self;
    return 0;
}

// Hands the job to an idle fetch thread, or to a new one; null when no thread could be started.
FetchThread* StartFetch(FetchJob* job) {
    FetchThread* thread = nullptr;
    {
        std::lock_guard<std::mutex> guard(idleFetchThreadsLock);
        if (!idleFetchThreads.empty()) {
            thread = idleFetchThreads.back();
            idleFetchThreads.pop_back();
        }
    }
    if (!thread) {
        thread = new FetchThread;
        HANDLE handle = thread->wake ? CreateThread(nullptr, 0, &RunFetches, thread, 0, nullptr) : nullptr;
        if (!handle) {
            if (thread->wake) CloseHandle(thread->wake);
            delete thread;
            return nullptr;
        }
        CloseHandle(handle);
    }
    thread->job = job;
    SetEvent(thread->wake);
    return thread;
}

bool FetchWithinDeadline(const std::string& address, size_t maxBytes, ULONGLONG deadline, std::string* body) {
    auto* job = new FetchJob;
    job->address = address;
    job->maxBytes = maxBytes;
    job->deadline = deadline;
    FetchThread* thread = job->finished ? StartFetch(job) : nullptr;
    if (!thread) {
        delete job;
        return false;
    }
    ULONGLONG now = GetTickCount64();
    DWORD wait = deadline > now ? DWORD(std::min<ULONGLONG>(deadline - now, INFINITE - 1)) : 0;
    if (WaitForSingleObject(job->finished, wait) != WAIT_OBJECT_0) {
        int running = FetchJob::kRunning;
        if (job->state.compare_exchange_strong(running, FetchJob::kAbandoned)) {
            LetGo(job);
            return false;
        }
        WaitForSingleObject(job->finished, INFINITE);  // it finished just now
    }
    {
        std::lock_guard<std::mutex> guard(idleFetchThreadsLock);
        idleFetchThreads.push_back(thread);
    }
    bool fetched = job->fetched;
    if (fetched) body->swap(job->body);
    LetGo(job);
    return fetched;
}

}  // namespace

void HttpReadFile(Value* result, int32_t argc, Value* args) {
    // Optional limits: the largest body (bytes) and the longest whole fetch (milliseconds).
    size_t maxBytes = ArgOmitted(argc, args, 1) ? kMaxHttpBody : size_t(std::max(ArgInt(argc, args, 1), 0));
    int32_t deadlineMs = ArgOmitted(argc, args, 2) ? 0 : ArgInt(argc, args, 2);
    std::string address = ArgText(argc, args, 0), body;
    bool fetched = deadlineMs > 0
                       ? FetchWithinDeadline(address, maxBytes, GetTickCount64() + ULONGLONG(deadlineMs), &body)
                       : Fetch(address, maxBytes, ~ULONGLONG(0), &body);
    if (!fetched) return SetBytes(result, nullptr);
    SetBytes(result, NewBytes(body.data(), body.size()));
}

}  // namespace rt

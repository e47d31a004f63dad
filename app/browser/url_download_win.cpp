// Downloads over urlmon's URLDownloadToFileA, with a status callback that reads the HTTP status and the
// announced length (the call alone reports success for an error page) and notes every sign of progress.
#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "app/browser/url_download.h"
#include "runtime/dll_declarations_win.h"
#include "runtime/system_functions_win.h"

namespace app {

namespace {

// Receives the response status and headers of one download.
class DownloadWatch final : public IBindStatusCallback, public IHttpNegotiate {
public:
    DWORD status = 0;
    std::atomic<long long> contentLength{-1};
    std::atomic<ULONGLONG> lastSign{GetTickCount64()};  // when the platform last reported anything
    std::atomic<long long> received{0};                 // bytes so far, as the platform reports them
    std::atomic<bool> stop{false};                      // set when the caller gives the download up
    long long maxBytes = 0;                             // a larger download stops at once

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IBindStatusCallback) {
            *out = static_cast<IBindStatusCallback*>(this);
        } else if (riid == IID_IHttpNegotiate) {
            *out = static_cast<IHttpNegotiate*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    // Lives on the caller's stack for the length of the call.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return Alive(); }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG, ULONG code, LPCWSTR) override {
        if (code == BINDSTATUS_DOWNLOADINGDATA || code == BINDSTATUS_ENDDOWNLOADDATA) received = progress;
        return Alive();
    }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return Alive(); }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

    HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additional) override {
        if (additional) *additional = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnResponse(DWORD code, LPCWSTR headers, LPCWSTR, LPWSTR* additional) override {
        status = code;
        if (additional) *additional = nullptr;
        if (headers) {
            for (const wchar_t* p = headers; (p = wcsstr(p, L"\n")) != nullptr;) {
                ++p;
                if (_wcsnicmp(p, L"Content-Length:", 15) == 0) contentLength = _wtoi64(p + 15);
            }
            if (_wcsnicmp(headers, L"Content-Length:", 15) == 0) contentLength = _wtoi64(headers + 15);
        }
        return Alive();
    }

private:
    // A download given up is told to stop at the platform's next report, so it writes no further.
    HRESULT Alive() {
        lastSign = GetTickCount64();
        bool oversized = contentLength.load() > maxBytes || received.load() > maxBytes;
        return stop || oversized ? E_ABORT : S_OK;
    }
};

// One download, shared by the caller waiting for it and the thread carrying it out; whoever lets go last frees
// it. Its state settles once, from running to finished (by the thread) or to abandoned (by a caller that stopped
// waiting). An abandoned job's temporary file is kept open for deletion on close: its name stays taken (no later
// download gets it while the platform may still write there), and the file goes when the job ends or, should
// the platform never end it, when the program does.
struct DownloadJob {
    enum : int { kRunning, kFinished, kAbandoned };
    std::atomic<int> holders{2};
    std::atomic<int> state{kRunning};
    std::string url, temp;
    DownloadWatch watch;
    HRESULT result = E_FAIL;
    HANDLE finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE deleteOnClose = INVALID_HANDLE_VALUE;
    ~DownloadJob() {
        if (finished) CloseHandle(finished);
        if (deleteOnClose != INVALID_HANDLE_VALUE) CloseHandle(deleteOnClose);
    }
};

void LetGo(DownloadJob* job) {
    if (--job->holders == 0) delete job;
}

// Threads that carry out downloads, kept for the next one: the platform sets up state of its own on a thread's
// first download (under Wine a hidden window), which costs more than a small picture's download. A thread whose
// job was abandoned ends once the platform lets it go and is not used again.
struct DownloadThread {
    HANDLE wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DownloadJob* job = nullptr;
};

std::mutex idleThreadsLock;
std::vector<DownloadThread*> idleThreads;

DWORD WINAPI RunDownloads(LPVOID parameter) {
    auto* self = static_cast<DownloadThread*>(parameter);
    for (;;) {
        WaitForSingleObject(self->wake, INFINITE);
        DownloadJob* job = self->job;
        job->result = rt::dll::URLDownloadToFileA(nullptr, job->url.c_str(), job->temp.c_str(), 0, &job->watch);
        // The platform also keeps the picture in its URL cache. The saved file is the copy the user wants; a
        // cache holding every picture of every download doubles the disk used and, under Wine, slows every later
        // request.
        rt::sys::DeleteUrlCacheEntryA(job->url.c_str());
        int running = DownloadJob::kRunning;
        if (job->state.compare_exchange_strong(running, DownloadJob::kFinished)) {
            SetEvent(job->finished);
            LetGo(job);
            continue;  // the caller puts this thread back among the idle ones
        }
        DeleteFileA(job->temp.c_str());
        LetGo(job);
        break;
    }
    CloseHandle(self->wake);
    delete self;
    return 0;
}

// Hands the job to an idle download thread, or to a new one; null when no thread could be started.
DownloadThread* StartDownload(DownloadJob* job) {
    DownloadThread* thread = nullptr;
    {
        std::lock_guard<std::mutex> guard(idleThreadsLock);
        if (!idleThreads.empty()) {
            thread = idleThreads.back();
            idleThreads.pop_back();
        }
    }
    if (!thread) {
        thread = new DownloadThread;
        HANDLE handle = thread->wake ? CreateThread(nullptr, 0, &RunDownloads, thread, 0, nullptr) : nullptr;
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

void KeepForTheNextDownload(DownloadThread* thread) {
    std::lock_guard<std::mutex> guard(idleThreadsLock);
    idleThreads.push_back(thread);
}

}  // namespace

namespace {

// Why a running download is given up: silent for too long, past its deadline (a base time and its announced
// length at the slowest rate allowed), or larger than a picture may be.
bool GivenUp(const DownloadWatch& watch, ULONGLONG started, const PictureLimits& limits) {
    ULONGLONG now = GetTickCount64();
    if (now - watch.lastSign.load() >= limits.silenceMs) return true;
    long long length = std::max(watch.contentLength.load(), watch.received.load());
    if (length > limits.maxBytes) return true;
    ULONGLONG allowed = limits.baseMs + ULONGLONG(std::max(length, 0LL)) * 1000 / std::max(limits.bytesPerSecond, 1u);
    return now - started >= allowed;
}

}  // namespace

UrlDownload DownloadUrlToFile(const std::string& url, const std::string& path, const PictureLimits& limits) {
    UrlDownload outcome;
    auto* job = new DownloadJob;
    job->url = url;
    job->temp = path;
    job->watch.maxBytes = limits.maxBytes;
    DownloadThread* thread = job->finished ? StartDownload(job) : nullptr;
    if (!thread) {
        delete job;
        outcome.ended = true;
        return outcome;
    }
    // Waits while the platform shows signs of life within the limits; a download past them is left behind.
    const ULONGLONG started = GetTickCount64();
    while (WaitForSingleObject(job->finished, 200) == WAIT_TIMEOUT) {
        if (!GivenUp(job->watch, started, limits)) continue;
        int running = DownloadJob::kRunning;
        if (!job->state.compare_exchange_strong(running, DownloadJob::kAbandoned)) continue;  // it just finished
        job->watch.stop = true;
        job->deleteOnClose = CreateFileA(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        LetGo(job);
        return outcome;
    }
    KeepForTheNextDownload(thread);
    outcome.ended = true;
    outcome.succeeded = SUCCEEDED(job->result);
    outcome.status = job->watch.status;
    outcome.contentLength = job->watch.contentLength;
    LetGo(job);
    return outcome;
}

}  // namespace app

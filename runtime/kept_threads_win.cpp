// Kept worker threads for work that a caller may give up.
#include "runtime/kept_threads_win.h"

#include <mutex>
#include <vector>

#include "runtime/errors.h"

namespace rt {

namespace {

struct KeptThread {
    HANDLE wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    KeptWork* work = nullptr;
};

std::mutex idleLock;
std::vector<KeptThread*> idle;

}  // namespace

KeptWork::KeptWork() : finished_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

KeptWork::~KeptWork() {
    if (finished_) CloseHandle(finished_);
}

void LetGo(KeptWork* work) {
    if (--work->holders_ == 0) delete work;
}

// Settles each piece of work once, from running to finished (here) or to given up (by the caller): a thread
// whose work was given up ends, since the caller no longer puts it back among the idle ones.
DWORD WINAPI RunKeptWork(LPVOID parameter) {
    auto* self = static_cast<KeptThread*>(parameter);
    for (;;) {
        WaitForSingleObject(self->wake, INFINITE);
        KeptWork* work = self->work;
        GuardEntry("线程运行出错!", [work] { work->Run(); });
        int running = KeptWork::kRunning;
        bool finished;
        {
            std::lock_guard<std::mutex> hold(work->settling_);
            finished = work->state_.compare_exchange_strong(running, KeptWork::kFinished);
        }
        if (finished) {
            SetEvent(work->finished_);
            LetGo(work);
            continue;
        }
        work->FinishedAfterGivingUp();
        LetGo(work);
        break;
    }
    CloseHandle(self->wake);
    delete self;
    return 0;
}

namespace {

// Hands the work to an idle thread, or to a new one; null when no thread could be started.
KeptThread* Start(KeptWork* work) {
    KeptThread* thread = nullptr;
    {
        std::lock_guard<std::mutex> hold(idleLock);
        if (!idle.empty()) {
            thread = idle.back();
            idle.pop_back();
        }
    }
    if (!thread) {
        thread = new KeptThread;
        HANDLE handle = thread->wake ? CreateThread(nullptr, 0, &RunKeptWork, thread, 0, nullptr) : nullptr;
        if (!handle) {
            if (thread->wake) CloseHandle(thread->wake);
            delete thread;
            return nullptr;
        }
        CloseHandle(handle);
    }
    thread->work = work;
    SetEvent(thread->wake);
    return thread;
}

}  // namespace

bool RunOnKeptThread(KeptWork* work, DWORD pollMs, const std::function<bool()>& keepWaiting) {
    KeptThread* thread = work->finished_ ? Start(work) : nullptr;
    if (!thread) {
        work->FinishedAfterGivingUp();
        delete work;
        return false;
    }
    while (WaitForSingleObject(work->finished_, pollMs) == WAIT_TIMEOUT) {
        if (keepWaiting()) continue;
        {
            std::lock_guard<std::mutex> hold(work->settling_);
            int running = KeptWork::kRunning;
            if (!work->state_.compare_exchange_strong(running, KeptWork::kGivenUp)) continue;  // it just finished
            work->GivenUp();
        }
        LetGo(work);
        return false;
    }
    std::lock_guard<std::mutex> hold(idleLock);
    idle.push_back(thread);
    return true;
}

}  // namespace rt

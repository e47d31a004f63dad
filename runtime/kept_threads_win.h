// Work that a caller waits for on a kept worker thread and may give up: the thread finishes the work given up
// on its own time and then ends, while the caller goes on. Threads whose work finished are kept for the next
// piece of work, since starting a thread costs more than a small fetch.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>

namespace rt {

class KeptWork {
public:
    KeptWork();
    KeptWork(const KeptWork&) = delete;
    KeptWork& operator=(const KeptWork&) = delete;
    virtual ~KeptWork();

    // The work itself, on the worker thread.
    virtual void Run() = 0;
    // On the caller's thread, the moment the caller gives the work up (the work is still running).
    virtual void GivenUp() {}
    // On the worker thread, after Run, when the work had been given up.
    virtual void FinishedAfterGivingUp() {}

private:
    friend bool RunOnKeptThread(KeptWork*, DWORD, const std::function<bool()>&);
    friend void LetGo(KeptWork*);
    friend DWORD WINAPI RunKeptWork(LPVOID);
    enum : int { kRunning, kFinished, kGivenUp };
    std::atomic<int> holders_{2};
    std::atomic<int> state_{kRunning};
    // Held by the caller from giving the work up to the end of GivenUp, and by the thread when it settles the work:
    // FinishedAfterGivingUp never runs before GivenUp has ended (it may close what GivenUp still uses).
    std::mutex settling_;
    HANDLE finished_;
};

// Runs the work (made with new) on a kept thread and waits, asking keepWaiting every pollMs whether to go on.
// True: the work finished; read its results, then LetGo it. False: it was given up (or no thread could be
// started, which counts as given up at once); the work is the thread's to finish and free, and the caller must
// not touch it again.
bool RunOnKeptThread(KeptWork* work, DWORD pollMs, const std::function<bool()>& keepWaiting);

// The caller's end of a finished piece of work.
void LetGo(KeptWork* work);

}  // namespace rt

// Worker stages over the runtime's threads and critical sections, and the responsive delay over the declared
// timer and wait commands. The stage sleeps on its completion event, set by the tenth worker, instead of
// polling: the same behaviour without keeping a core busy.
#include <windows.h>

#include <atomic>

#include "app/main_window_access.h"
#include "app/shell/main_window.h"
#include "app/shell/globals.h"
#include "app/web/stage_times.h"
#include "app/web/worker_stage.h"
#include "runtime/call.h"
#include "runtime/dll_declarations_win.h"
#include "runtime/library_commands.h"

namespace app {

namespace {

// Longest sleep between two looks at finishedWorkers; the completion event normally ends it long before.
constexpr int64_t kStageSafetyMicroseconds = 50000;

HANDLE StageEvent() {
    static HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return event;
}

std::atomic<int32_t> pendingSteps{0};

// Longest time the window thread spends on one batch of the workers' results.
constexpr ULONGLONG kBatchMs = 20;

// On the window thread: the workers' progress steps so far, and their results through handOver for up to
// kBatchMs; true when results are still waiting.
bool HandOverBatch(HandOver handOver) {
    if (int32_t steps = pendingSteps.exchange(0)) SetIntProperty(form::进度条1, 13, IntProperty(form::进度条1, 13) + steps);
    if (!handOver) return false;
    const double started = NowMilliseconds();
    const ULONGLONG until = GetTickCount64() + kBatchMs;
    bool more;
    while ((more = handOver()) && GetTickCount64() < until) {
    }
    StageTimes::AddHandOver(NowMilliseconds() - started);
    return more;
}

}  // namespace

WorkLockHold::WorkLockHold() { rt::CallLibrary(rt::kThreadCommands[rt::kEnterSection].fn, workLock); }
WorkLockHold::~WorkLockHold() { rt::CallLibrary(rt::kThreadCommands[rt::kLeaveSection].fn, workLock); }

void ResponsiveDelay(int64_t microseconds, void* wakeEvent) {
    HANDLE timer = rt::dll::CreateWaitableTimerA(nullptr, FALSE, nullptr);
    if (!timer) return;
    LARGE_INTEGER due;
    due.QuadPart = static_cast<LONGLONG>(double(microseconds) * -10.0);
    rt::dll::SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
    HANDLE handles[2] = {timer, static_cast<HANDLE>(wakeEvent)};
    DWORD count = wakeEvent ? 2 : 1;
    for (;;) {
        DWORD r = rt::dll::MsgWaitForMultipleObjects(count, handles, FALSE, INFINITE, 0xFF);
        if (r == WAIT_OBJECT_0 + count) {
            rt::CallKernel(rt::kDoEvents);
            continue;
        }
        break;  // the timer fired, the wake event was set, or the wait failed
    }
    rt::dll::CloseHandle(timer);
}

void RunWorkerStage(WorkerRoutine routine, HandOver handOver) {
    StartWorkerStage(routine);
    FinishWorkerStage(handOver);
}

void StartWorkerStage(WorkerRoutine routine) {
    nextIndex = 0;
    pendingSteps = 0;
    finishedWorkers = 0;
    ResetEvent(StageEvent());
    for (int i = 0; i < kStageWorkers; ++i) {
        rt::Value started = rt::CallLibrary(rt::kThreadCommands[rt::kStartThread].fn,
                                            rt::Value::Pointer(rt::kTagSubProgram, reinterpret_cast<void*>(routine)));
        if (started.AsInt() == 0) FinishWorker();
    }
}

void FinishWorkerStage(HandOver handOver) {
    while (finishedWorkers < kStageWorkers) {
        ResponsiveDelay(kStageSafetyMicroseconds, StageEvent());
        HandOverBatch(handOver);
    }
    // What is still waiting, and what the last workers handed over after the batch above looked: nothing of the
    // stage may stay behind.
    while (HandOverBatch(handOver)) rt::CallKernel(rt::kDoEvents);
}

void AdvanceStageProgress() { ++pendingSteps; }

int32_t TakeNextItem(int32_t count) {
    if (nextIndex >= count) return 0;
    WorkLockHold hold;
    int32_t k = ++nextIndex;
    return k > count ? 0 : k;
}

int32_t FinishWorker() {
    WorkLockHold hold;
    if (++finishedWorkers >= kStageWorkers) SetEvent(StageEvent());
    return 0;
}

}  // namespace app

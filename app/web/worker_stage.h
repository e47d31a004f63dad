// Worker stages and the responsive delay: ten identical workers take numbered items under workLock while the
// window thread waits, processing its window messages, until the tenth has ended.
#pragma once

#include <cstdint>

namespace app {

using WorkerRoutine = int32_t (*)(int32_t);
constexpr int32_t kStageWorkers = 10;

// Waits the given microseconds on a waitable timer while dispatching window messages. With a wake event it
// also returns as soon as that event is set.
void ResponsiveDelay(int64_t microseconds, void* wakeEvent = nullptr);

// Sets nextIndex and finishedWorkers to 0, starts ten workers on the routine and waits, responsive, until all
// ten have finished. A worker that cannot be started counts as finished, so the wait always ends.
// Workers hand their results to the window in batches, not with a window-thread round trip each: `handOver`,
// when given, runs on the window thread about every 50 ms while the workers run, for up to 20 ms a time so
// that the window keeps answering however much has piled up, and after the last worker has finished until it
// has nothing left. It hands over a few results a call and says whether more are waiting. The progress steps
// of AdvanceStageProgress go to the bar at the same times.
using HandOver = bool (*)();
void RunWorkerStage(WorkerRoutine routine, HandOver handOver = nullptr);
// The same in two halves, so that the window thread can do work of its own while the workers run: the first
// starts the workers and returns at once, the second waits for them as RunWorkerStage does. Until the second
// half returns no other stage may start.
void StartWorkerStage(WorkerRoutine routine);
void FinishWorkerStage(HandOver handOver = nullptr);

// A worker's step of the progress bar (13 of 进度条1), added to the bar with the next batch.
void AdvanceStageProgress();

// The next item number for a worker: 1 .. count, or 0 when every item is taken.
int32_t TakeNextItem(int32_t count);
// Every way out of a worker passes here: counts it as finished; the tenth wakes the waiting stage.
int32_t FinishWorker();

// workLock held for the scope of the object.
class WorkLockHold {
public:
    WorkLockHold();
    ~WorkLockHold();
    WorkLockHold(const WorkLockHold&) = delete;
    WorkLockHold& operator=(const WorkLockHold&) = delete;
};

}  // namespace app

// Kept worker threads: work that finishes is read by its caller and the thread is used again; work given up is
// the thread's to finish, and never closed under the caller's GivenUp.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "runtime/kept_threads_win.h"

namespace rt {
namespace {

struct Events {
    HANDLE giveUpStarted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE settled = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> finishedAfterGivingUp{false};
    std::atomic<bool> finishedDuringGivenUp{false};
    ~Events() {
        CloseHandle(giveUpStarted);
        CloseHandle(settled);
    }
};

// Run ends the moment the caller starts giving the work up: the thread's settling then meets GivenUp halfway.
struct RacingWork final : KeptWork {
    Events* events;
    explicit RacingWork(Events* e) : events(e) {}
    void Run() override { WaitForSingleObject(events->giveUpStarted, 10000); }
    void GivenUp() override {
        SetEvent(events->giveUpStarted);
        Sleep(300);
        events->finishedDuringGivenUp = events->finishedAfterGivingUp.load();
    }
    void FinishedAfterGivingUp() override {
        events->finishedAfterGivingUp = true;
        SetEvent(events->settled);
    }
};

TEST(KeptThreads, WorkGivenUpIsSettledByItsThreadOnlyAfterGivenUpHasEnded) {
    for (int round = 0; round < 3; ++round) {
        Events events;
        EXPECT_FALSE(RunOnKeptThread(new RacingWork(&events), 10, [] { return false; }));
        ASSERT_EQ(WaitForSingleObject(events.settled, 10000), WAIT_OBJECT_0) << "the thread settles the work";
        EXPECT_TRUE(events.finishedAfterGivingUp);
        EXPECT_FALSE(events.finishedDuringGivenUp) << "round " << round;
    }
}

struct Counting final : KeptWork {
    int* out;
    explicit Counting(int* o) : out(o) {}
    void Run() override { *out = int(GetCurrentThreadId()); }
};

TEST(KeptThreads, FinishedWorkIsReadAndItsThreadServesTheNext) {
    int first = 0, second = 0;
    auto* a = new Counting(&first);
    ASSERT_TRUE(RunOnKeptThread(a, 10, [] { return true; }));
    LetGo(a);
    auto* b = new Counting(&second);
    ASSERT_TRUE(RunOnKeptThread(b, 10, [] { return true; }));
    LetGo(b);
    EXPECT_NE(first, 0);
    EXPECT_NE(first, int(GetCurrentThreadId()));
    EXPECT_EQ(first, second) << "an idle kept thread takes the next piece of work";
}

}  // namespace
}  // namespace rt

// Multithread library cases shared by the native build and the Windows build: threads and the live sections.
// Include once from one test file per build.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "runtime/call.h"
#include "runtime/library_commands.h"

namespace rt {
namespace multithread_cases {

inline Value Routine(ThreadRoutine fn) { return Value::Pointer(kTagSubProgram, reinterpret_cast<const void*>(fn)); }

inline int32_t CreateLock() { return CallLibrary(kThreadCommands[kCreateSection].fn).AsInt(); }
inline void Enter(int32_t h) { CallLibrary(kThreadCommands[kEnterSection].fn, h); }
inline void Leave(int32_t h) { CallLibrary(kThreadCommands[kLeaveSection].fn, h); }
inline bool Delete(int32_t h) { return CallLibrary(kThreadCommands[kDeleteSection].fn, h).low != 0; }

// Waits until the predicate holds, about ten seconds at most. (<chrono> itself cannot be included: one of its
// literals has no GBK form.)
template <typename F>
bool WaitFor(F done) {
    for (int i = 0; i < 5000; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

std::atomic<int32_t> receivedArgument{-1};
int32_t RecordArgument(int32_t argument) {
    receivedArgument = argument;
    return 0;
}

TEST(StartThread, RunsTheSubProgramWithItsArgument) {
    receivedArgument = -1;
    Value r = CallLibrary(kThreadCommands[kStartThread].fn, Routine(&RecordArgument), int32_t(41));
    EXPECT_EQ(r.tag, kTagBool);
    EXPECT_EQ(r.low, 1u);
    EXPECT_TRUE(WaitFor([] { return receivedArgument == 41; }));

    receivedArgument = -1;
    EXPECT_EQ(CallLibrary(kThreadCommands[kStartThread].fn, Routine(&RecordArgument)).low, 1u);
    EXPECT_TRUE(WaitFor([] { return receivedArgument == 0; }));  // an omitted argument arrives as 0
}

TEST(StartThread, SomethingOtherThanASubProgramStartsNothing) {
    EXPECT_EQ(CallLibrary(kThreadCommands[kStartThread].fn, int32_t(5)).low, 0u);
    EXPECT_EQ(CallLibrary(kThreadCommands[kStartThread].fn, Value{0, 0, kTagSubProgram}).low, 0u);
}

TEST(CriticalSection, LiveListDecidesWhatDeleteAccepts) {
    int32_t a = CreateLock();
    int32_t b = CreateLock();
    EXPECT_NE(a, 0);
    EXPECT_NE(b, 0);
    EXPECT_NE(a, b);
    EXPECT_FALSE(Delete(a ^ b ^ 0x5A5A));  // never handed out
    EXPECT_TRUE(Delete(a));
    EXPECT_FALSE(Delete(a));
    // A deleted or unknown handle is ignored by Enter and Leave (nothing is touched that was freed).
    Enter(a);
    Leave(a);
    Enter(12345678);
    // The other section is still live and usable.
    Enter(b);
    Leave(b);
    EXPECT_TRUE(Delete(b));
}

TEST(CriticalSection, OwnerMayEnterAgain) {
    int32_t h = CreateLock();
    Enter(h);
    Enter(h);
    Leave(h);
    Leave(h);
    // Another thread can take it afterwards.
    std::atomic<bool> entered{false};
    std::thread([&] {
        Enter(h);
        entered = true;
        Leave(h);
    }).join();
    EXPECT_TRUE(entered);
    EXPECT_TRUE(Delete(h));
}

int32_t hammerLock;
volatile int32_t hammerCounter;
std::atomic<int32_t> hammerFinished;
constexpr int kHammerRounds = 20000;

// Reads, yields now and then, writes: without the lock increments are lost.
int32_t Hammer(int32_t) {
    for (int i = 0; i < kHammerRounds; ++i) {
        Enter(hammerLock);
        int32_t v = hammerCounter;
        if (i % 64 == 0) std::this_thread::yield();
        hammerCounter = v + 1;
        Leave(hammerLock);
    }
    ++hammerFinished;
    return 0;
}

TEST(CriticalSection, TenThreadsLoseNoIncrement) {
    hammerLock = CreateLock();
    hammerCounter = 0;
    hammerFinished = 0;
    for (int i = 0; i < 10; ++i) ASSERT_EQ(CallLibrary(kThreadCommands[kStartThread].fn, Routine(&Hammer)).low, 1u);
    ASSERT_TRUE(WaitFor([] { return hammerFinished == 10; }));
    EXPECT_EQ(hammerCounter, 10 * kHammerRounds);
    EXPECT_TRUE(Delete(hammerLock));
}

}  // namespace multithread_cases
}  // namespace rt

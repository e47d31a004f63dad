// The multithread library on Win32: the shared cases, the thread handle variable and sections at program end.
#include <windows.h>

#include <cstdio>
#include <new>

#include "runtime/errors.h"
#include "runtime/program.h"
#include "tests/common/multithread_cases.h"
#include "tests/win/child_process.h"

namespace rt {
namespace multithread_cases {
namespace {

int32_t ReturnsArgumentTwice(int32_t argument) { return argument * 2; }

TEST(StartThread, HandleVariableReceivesAHandleTheCallerCloses) {
    int32_t handle = 0;
    Value r = CallLibrary(kThreadCommands[kStartThread].fn, Routine(&ReturnsArgumentTwice), int32_t(21),
                          Ref{&handle, kTagInt});
    ASSERT_EQ(r.low, 1u);
    ASSERT_NE(handle, 0);
    HANDLE thread = reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle));
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
    EXPECT_EQ(exitCode, 42u);  // the sub-program's result
    EXPECT_TRUE(CloseHandle(thread));
}

CHILD_SCENARIO("sections-at-program-end") {
    int32_t kept = CreateLock();
    int32_t deleted = CreateLock();
    Delete(deleted);
    RunExitRoutineAndShutdown();
    std::printf("%s", Delete(kept) ? "still live" : "deleted");
}

TEST(CriticalSection, ProgramEndDeletesTheSectionsStillLive) {
    EXPECT_EQ(RunChild("sections-at-program-end").output, "deleted");
}

int32_t RunsOutOfMemory(int32_t) { throw std::bad_alloc(); }

CHILD_SCENARIO("thread-runs-out-of-memory") {
    SetErrorHook(&PrintFatalError);
    InitRuntime();
    CallLibrary(kThreadCommands[kStartThread].fn, Routine(&RunsOutOfMemory), int32_t(0));
    MSG msg;  // the main thread pumps messages, as the program's message loop does
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
}

// An exception leaving a thread's routine is the runtime's fatal error, not a silent end of the process.
TEST(StartThread, AnExceptionInTheRoutineIsTheRuntimesFatalError) {
    ChildResult r = RunChild("thread-runs-out-of-memory");
    EXPECT_EQ(r.exitCode, DWORD(-1));
    EXPECT_EQ(r.output, "fatal 分配内存失败!");
}

}  // namespace
}  // namespace multithread_cases
}  // namespace rt

// The multithread library on Win32: the shared cases, the thread handle variable and sections at program end.
#include <windows.h>

#include <cstdio>

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

}  // namespace
}  // namespace multithread_cases
}  // namespace rt

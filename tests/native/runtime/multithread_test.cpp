// The multithread library natively: the shared cases and the release of sections at program end.
#include <cstdlib>

#include "runtime/program.h"
#include "tests/common/multithread_cases.h"

namespace rt {
namespace multithread_cases {
namespace {

TEST(CriticalSectionDeathTest, ProgramEndDeletesTheSectionsStillLive) {
    // In a child process: the shutdown steps run once and must not disturb the other tests.
    EXPECT_EXIT(
        {
            int32_t kept = CreateLock();
            int32_t deleted = CreateLock();
            Delete(deleted);
            RunExitRoutineAndShutdown();
            // Gone from the live list: deleting again is refused.
            std::_Exit(Delete(kept) ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace multithread_cases
}  // namespace rt

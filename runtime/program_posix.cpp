// Native stand-ins for the program's start and end, so platform-free code links and tests natively.
#include <unistd.h>

#include <climits>
#include <thread>

#include "runtime/errors.h"
#include "runtime/program.h"

namespace rt {

void SetRunPaths(const std::string& directory, const std::string& name);

namespace {
const std::thread::id mainThread = std::this_thread::get_id();
}

void InitRuntime() {
    char path[PATH_MAX] = {};
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string full(path, n > 0 ? size_t(n) : 0);
    size_t slash = full.rfind('/');
    SetRunPaths(slash == std::string::npos ? "" : full.substr(0, slash),
                slash == std::string::npos ? full : full.substr(slash + 1));
}

bool IsMainThread() { return std::this_thread::get_id() == mainThread; }

void ExitProgram(int32_t code) {
    MarkProgramEnding();
    RunExitRoutineAndShutdown();
    _exit(code);
}

}  // namespace rt

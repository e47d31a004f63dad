// Platform-free parts of the program's life: the path split, the exit routine and the shutdown steps.
#include "runtime/program.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace rt {

namespace {
std::atomic<ExitRoutine> exitRoutine{nullptr};
std::mutex shutdownLock;
std::vector<void (*)()>& ShutdownSteps() {
    static std::vector<void (*)()> steps;
    return steps;
}
std::string& RunDirectoryStorage() {
    static std::string s;
    return s;
}
std::string& ExeNameStorage() {
    static std::string s;
    return s;
}
}  // namespace

void SplitExecutablePath(const std::string& fullPath, std::string* directory, std::string* name) {
    size_t last = std::string::npos;
    for (size_t i = 0; i < fullPath.size(); ++i) {
        auto c = static_cast<unsigned char>(fullPath[i]);
        if (c >= 0x80 && i + 1 < fullPath.size()) {
            ++i;  // a double-byte character: its trail byte is never a separator
            continue;
        }
        if (c == '\\') last = i;
    }
    if (last == std::string::npos) {
        directory->clear();
        *name = fullPath;
    } else {
        *directory = fullPath.substr(0, last);
        *name = fullPath.substr(last + 1);
    }
}

void SetRunPaths(const std::string& directory, const std::string& name) {
    RunDirectoryStorage() = directory;
    ExeNameStorage() = name;
}
const std::string& RunDirectory() { return RunDirectoryStorage(); }
const std::string& ExeName() { return ExeNameStorage(); }

void SetExitRoutine(ExitRoutine routine) { exitRoutine = routine; }
void ClearExitRoutine() { exitRoutine = nullptr; }

void AddShutdownStep(void (*step)()) {
    std::lock_guard<std::mutex> guard(shutdownLock);
    ShutdownSteps().push_back(step);
}

void RunExitRoutineAndShutdown() {
    if (ExitRoutine routine = exitRoutine.exchange(nullptr)) routine();
    std::vector<void (*)()> steps;
    {
        std::lock_guard<std::mutex> guard(shutdownLock);
        steps.swap(ShutdownSteps());
    }
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) (*it)();
}

}  // namespace rt

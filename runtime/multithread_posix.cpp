// Native stand-ins for the multithread library's threads and sections: std::thread and a recursive mutex.
#include <mutex>
#include <system_error>
#include <thread>

#include "runtime/thread_primitives.h"

namespace rt {

// There is no operating-system handle to hand out natively: a requested handle variable receives 0.
bool StartOsThread(ThreadRoutine routine, int32_t argument, int32_t* handle) {
    try {
        std::thread(routine, argument).detach();
    } catch (const std::system_error&) {
        return false;
    }
    if (handle) *handle = 0;
    return true;
}

struct OsSection {
    std::recursive_mutex mutex;
};

OsSection* NewOsSection() { return new OsSection; }
void EnterOsSection(OsSection* s) { s->mutex.lock(); }
void LeaveOsSection(OsSection* s) { s->mutex.unlock(); }
void DeleteOsSection(OsSection* s) { delete s; }

}  // namespace rt

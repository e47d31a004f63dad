// Win32 threads and critical sections for the multithread library.
#include <windows.h>

#include <new>

#include "runtime/errors.h"
#include "runtime/thread_primitives.h"

namespace rt {

namespace {

struct ThreadStart {
    ThreadRoutine routine;
    int32_t argument;
};

DWORD WINAPI ThreadEntry(void* parameter) {
    ThreadStart start = *static_cast<ThreadStart*>(parameter);
    delete static_cast<ThreadStart*>(parameter);
    return GuardEntry("线程运行出错!", [&] { return static_cast<DWORD>(start.routine(start.argument)); });
}

}  // namespace

bool StartOsThread(ThreadRoutine routine, int32_t argument, int32_t* handle) {
    auto* start = new (std::nothrow) ThreadStart{routine, argument};
    if (!start) return false;
    HANDLE thread = CreateThread(nullptr, 0, &ThreadEntry, start, 0, nullptr);
    if (!thread) {
        delete start;
        return false;
    }
    // Kernel handles are 32-bit values even in a 64-bit process, so the integer variable can hold one.
    if (handle)
        *handle = static_cast<int32_t>(reinterpret_cast<intptr_t>(thread));
    else
        CloseHandle(thread);
    return true;
}

struct OsSection {
    CRITICAL_SECTION cs;
};

OsSection* NewOsSection() {
    auto* s = new OsSection;
    InitializeCriticalSection(&s->cs);
    return s;
}
void EnterOsSection(OsSection* s) { EnterCriticalSection(&s->cs); }
void LeaveOsSection(OsSection* s) { LeaveCriticalSection(&s->cs); }
void DeleteOsSection(OsSection* s) {
    DeleteCriticalSection(&s->cs);
    delete s;
}

}  // namespace rt

// What the multithread library needs from the platform: starting a thread and a re-entrant lock per section.
#pragma once

#include <cstdint>

#include "runtime/library_commands.h"

namespace rt {

// Starts routine(argument) on a new thread with the default stack size; its result is the thread's exit code.
// With a handle variable the thread's handle is stored there for the caller to close; otherwise it is closed
// at once. False when the thread could not be created.
bool StartOsThread(ThreadRoutine routine, int32_t argument, int32_t* handle);

// A re-entrant lock with critical-section semantics: the owning thread may enter it again.
struct OsSection;
OsSection* NewOsSection();
void EnterOsSection(OsSection* section);
void LeaveOsSection(OsSection* section);
void DeleteOsSection(OsSection* section);

}  // namespace rt

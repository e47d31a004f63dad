// Declared DLL commands: the 19-entry table of (library file, exported name) bound lazily on first call.
#pragma once

#include <atomic>
#include <cstdint>

namespace rt {

// One declared command and its binding cache; the cache is filled without a lock (every thread that binds the
// same entry stores the same address).
struct DllBinding {
    const char* library;  // may be empty: then the six system libraries are searched
    const char* name;     // exported name, or "#" and a decimal ordinal
    std::atomic<void*> address{nullptr};
    std::atomic<void*> module{nullptr};
};

constexpr int32_t kDllCommandCount = 19;
DllBinding& DllCommand(int32_t index);

// The runtime's fatal error for an export that cannot be found (library empty: the system libraries).
[[noreturn]] void DllExportNotFound(const char* library, const char* name);
// Binds the entry if needed and gives its address; a missing library or export is a fatal error.
void* BindDllCommand(DllBinding& binding);
// How many libraries the binder has loaded so far (a second call of a bound command loads nothing).
int64_t DllLoadCount();
// Unloads every library loaded for declared commands (at program end).
void UnloadDllCommands();

}  // namespace rt

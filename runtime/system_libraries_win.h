// System libraries loaded from the system folder only. A DLL of the same name in the program's folder (a
// download saved there, say) is never loaded in their place: the process restricts its DLL search to the system
// folder at start-up, and the libraries that are not on Windows' KnownDLLs list (WinINet, the common controls)
// are bound here, by full path, instead of being imported by pexo.exe.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <utility>

namespace rt {

// Takes the program's folder and the current folder out of the DLL search; the system folder stays.
void RestrictDllSearch();

// The full path of a library in the system folder ("urlmon" counts as "urlmon.dll"); empty when the system
// folder has no such file or the name holds a path.
std::string SystemLibraryPath(const std::string& file);

// Loads the library from the system folder only; null when it is not there.
HMODULE LoadSystemLibrary(const std::string& file);

// The export of a system library, bound on first use; a missing one is the runtime's fatal error.
void* BindSystemFunction(const char* library, const char* name, std::atomic<void*>* cache);

template <typename Fn>
struct SystemFunction {
    const char* library;
    const char* name;
    mutable std::atomic<void*> address{nullptr};

    template <typename... A>
    auto operator()(A&&... args) const {
        void* p = address.load();
        if (!p) p = BindSystemFunction(library, name, &address);
        return reinterpret_cast<Fn>(p)(std::forward<A>(args)...);
    }
};

}  // namespace rt

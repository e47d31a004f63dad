// Lazy binding of declared DLL commands: system libraries in a fixed order, named ones from the system folder
// when they are system libraries and from the program's folder otherwise, the exact fatal texts when an export
// cannot be found.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/dll_commands.h"
#include "runtime/errors.h"
#include "runtime/program.h"
#include "runtime/system_libraries_win.h"

namespace rt {

namespace {

std::atomic<int64_t> loadCount{0};
std::mutex modulesLock;
std::vector<HMODULE> loadedModules;

HMODULE Load(const std::string& file) {
    HMODULE m = LoadLibraryA(file.c_str());
    if (m) ++loadCount;
    return m;
}

FARPROC Lookup(HMODULE module, const char* name) {
    if (name[0] == '#') return GetProcAddress(module, MAKEINTRESOURCEA(std::atoi(name + 1) & 0xFFFF));
    return GetProcAddress(module, name);
}

[[noreturn]] void NotFound(const DllBinding& b) { DllExportNotFound(b.library, b.name); }

}  // namespace

void DllExportNotFound(const char* library, const char* name) {
    std::string text;
    if (library && *library)
        text = std::string("无法找到指定DLL库文件“") + library + "”中的输出命令“" + name + "”";
    else
        text = std::string("无法找到指定DLL库文件中的输出命令“") + name + "”";
    ErrorWithText(text.c_str());
}

void* BindDllCommand(DllBinding& b) {
    if (void* cached = b.address.load()) return cached;
    HMODULE module = nullptr;
    FARPROC address = nullptr;
    if (!b.library || !*b.library) {
        static const char* const systemLibraries[] = {"Kernel32.dll", "Gdi32.dll", "User32.dll",
                                                      "Advapi32.dll", "Mpr.dll",   "Shell32.dll"};
        for (const char* lib : systemLibraries) {
            std::string path = SystemLibraryPath(lib);
            HMODULE m = path.empty() ? nullptr : Load(path);
            if (!m) continue;
            if ((address = Lookup(m, b.name))) {
                module = m;
                break;
            }
            FreeLibrary(m);
        }
        if (!address) NotFound(b);
    } else {
        // A library of the system folder comes from there alone, so a same-named DLL beside the program is
        // never loaded in its place; any other plain name (the skin engine) comes from the program's folder.
        std::string file = b.library;
        std::string system = SystemLibraryPath(file);
        if (!system.empty()) {
            module = Load(system);
        } else if (file.find(':') == std::string::npos) {
            module = Load(RunDirectory() + "\\" + file);
        } else {
            module = Load(file);
        }
        if (module) address = Lookup(module, b.name);
        if (!address) {
            if (module) FreeLibrary(module);
            NotFound(b);
        }
    }
    {
        std::lock_guard<std::mutex> guard(modulesLock);
        loadedModules.push_back(module);
    }
    b.module = module;
    b.address = reinterpret_cast<void*>(address);
    return reinterpret_cast<void*>(address);
}

int64_t DllLoadCount() { return loadCount; }

void UnloadDllCommands() {
    std::vector<HMODULE> modules;
    {
        std::lock_guard<std::mutex> guard(modulesLock);
        modules.swap(loadedModules);
    }
    for (int32_t i = 0; i < kDllCommandCount; ++i) {
        DllCommand(i).address = nullptr;
        DllCommand(i).module = nullptr;
    }
    for (HMODULE m : modules) FreeLibrary(m);
}

}  // namespace rt

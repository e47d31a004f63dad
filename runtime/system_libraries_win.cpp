// System libraries from the system folder only.
#include "runtime/system_libraries_win.h"

#include "runtime/dll_commands.h"

namespace rt {

namespace {

constexpr DWORD kSearchSystemFolder = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

}  // namespace

void RestrictDllSearch() {
    SetDllDirectoryA("");
    // Windows 7 has this call only with its 2011 loader update; without it the empty DLL directory above still
    // takes the current folder out of the search.
    using SetDefaultFn = BOOL(WINAPI*)(DWORD);
    auto setDefault = reinterpret_cast<SetDefaultFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault) setDefault(kSearchSystemFolder);
}

std::string SystemLibraryPath(const std::string& file) {
    if (file.empty() || file.find_first_of("\\/:") != std::string::npos) return std::string();
    char folder[MAX_PATH] = "";
    UINT n = GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    std::string path = std::string(folder, n) + "\\" + file;
    if (file.find('.') == std::string::npos) path += ".dll";
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::string();
    return path;
}

HMODULE LoadSystemLibrary(const std::string& file) {
    std::string path = SystemLibraryPath(file);
    return path.empty() ? nullptr : LoadLibraryA(path.c_str());
}

void* BindSystemFunction(const char* library, const char* name, std::atomic<void*>* cache) {
    HMODULE module = LoadSystemLibrary(library);
    void* address = module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
    if (!address) DllExportNotFound(library, name);
    // The module stays loaded for the life of the process, as an import would.
    cache->store(address);
    return address;
}

}  // namespace rt

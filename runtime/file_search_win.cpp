// Directory search over FindFirstFileA/FindNextFileA.
#include <windows.h>

#include "runtime/file_search.h"
#include "runtime/memory.h"

namespace rt {

namespace {
bool Accepted(const WIN32_FIND_DATAA& d, int32_t mask, bool filesOnly) {
    if (filesOnly) return (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    return (d.dwFileAttributes & DWORD(mask) & 0x37) != 0;
}
}  // namespace

char* FindFileEntry(const char* pattern, int32_t mask, bool filesOnly, void** handle) {
    if (!handle) return nullptr;
    WIN32_FIND_DATAA d;
    HANDLE h;
    bool found;
    if (pattern && *pattern) {
        CloseFileSearch(*handle);
        *handle = nullptr;
        h = FindFirstFileA(pattern, &d);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        found = true;
    } else {
        h = static_cast<HANDLE>(*handle);
        if (!h) return nullptr;
        found = FindNextFileA(h, &d) != 0;
    }
    while (found && !Accepted(d, mask, filesOnly)) found = FindNextFileA(h, &d) != 0;
    if (!found) {
        FindClose(h);
        *handle = nullptr;
        return nullptr;
    }
    *handle = h;
    return NewText(d.cFileName);
}

void CloseFileSearch(void* handle) {
    if (handle) FindClose(static_cast<HANDLE>(handle));
}

}  // namespace rt

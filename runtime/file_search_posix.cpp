// The native build has no Win32 directory search; the search finds nothing.
#include "runtime/file_search.h"

namespace rt {

char* FindFileEntry(const char*, int32_t, bool, void** handle) {
    if (handle) *handle = nullptr;
    return nullptr;
}
void CloseFileSearch(void*) {}

}  // namespace rt

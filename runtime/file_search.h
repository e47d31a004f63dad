// Directory search for slot 12: find a file entry (starting or continuing a search) and close a search.
#pragma once

#include <cstdint>

namespace rt {

// Non-empty pattern: closes the search in *handle and starts a new one. Empty pattern: continues *handle.
// Returns the accepted entry's name (owned text) or null when the search ran out (then *handle is cleared).
char* FindFileEntry(const char* pattern, int32_t attributeMask, bool filesOnly, void** handle);
void CloseFileSearch(void* handle);

}  // namespace rt

// Platform-free pieces of the disk-file, registry and run-path commands, shared by both builds.
#pragma once

#include <string>

namespace rt {

// A registry path names a key and a value: the part before its last backslash is the sub-key, the part after it
// the value name. A backslash that is the trail byte of a double-byte character does not count; a path without
// a backslash names a value directly under the root key (empty sub-key).
void SplitRegistryPath(const std::string& path, std::string* subKey, std::string* valueName);

}  // namespace rt

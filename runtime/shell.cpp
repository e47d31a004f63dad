// The shell library's platform-free rule: the file name a shortcut is saved under.
#include "runtime/library_rules.h"

namespace rt {

std::string ShortcutFileName(const std::string& name) {
    size_t filePart = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        if (c >= 0x80 && i + 1 < name.size()) {
            ++i;  // a double-byte character: its trail byte may be 0x5C and is still no separator
            continue;
        }
        if (c == '\\' || c == '/') filePart = i + 1;
    }
    if (name.find('.', filePart) != std::string::npos) return name;
    return name + ".lnk";
}

}  // namespace rt

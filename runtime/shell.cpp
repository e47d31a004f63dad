// The shell library's platform-free rules: the file name a shortcut is saved under, and which addresses may
// be handed to the shell.
#include <cctype>
#include <cstring>

#include "runtime/library_rules.h"

namespace rt {

namespace {

bool StartsWithInAnyCase(const char* text, const char* start) {
    for (; *start; ++text, ++start)
        if (std::tolower(static_cast<unsigned char>(*text)) != *start) return false;
    return true;
}

// The characters an address may hold as it stands (RFC 3986): letters, digits, "-._~", the delimiters
// ":/?#[]@!$&'()*+,;=", and "%" for everything else. A quote, backslash, "<>^|`{}" or a space never reach the
// shell: a quote would end the "%1" a browser's command line puts the address in.
bool IsUrlCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != '\0' && std::strchr("-._~:/?#[]@!$&'()*+,;=%", c));
}

}  // namespace

bool IsWebPageAddress(const char* address) {
    if (!address) return false;
    size_t length = std::strlen(address);
    size_t scheme = StartsWithInAnyCase(address, "http://") ? 7 : StartsWithInAnyCase(address, "https://") ? 8 : 0;
    if (scheme == 0 || length <= scheme || length > kMaxShellAddressBytes) return false;
    for (size_t i = 0; i < length; ++i)
        if (!IsUrlCharacter(address[i])) return false;
    return true;
}

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

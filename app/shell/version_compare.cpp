// Byte-wise version comparison and trimming.
#include "app/shell/version_compare.h"

#include <cstring>

namespace app {

int CompareVersionTexts(const char* a, const char* b) {
    auto* x = reinterpret_cast<const unsigned char*>(a ? a : "");
    auto* y = reinterpret_cast<const unsigned char*>(b ? b : "");
    for (; *x && *y; ++x, ++y)
        if (*x != *y) return *x < *y ? -1 : 1;
    return *x ? 1 : (*y ? -1 : 0);
}

namespace {

// The length of the blank that starts at s[i], or 0: an ASCII space, tab, CR or LF, or a full-width space,
// A1 A1 in GBK or E3 80 80 in a file that a UTF-8 byte-order mark declares UTF-8.
size_t BlankAt(const std::string& s, size_t i, bool utf8) {
    if (s[i] && std::strchr(" \t\r\n", s[i])) return 1;
    if (utf8) return s.compare(i, 3, "\xE3\x80\x80") == 0 ? 3 : 0;
    return s.compare(i, 2, "\xA1\xA1") == 0 ? 2 : 0;
}

// The length of the character at s[i]: GBK pairs a lead byte of 0x81 or more with the next byte (the comparison's
// own rule, see runtime/gbk_bytes.h); UTF-8 is
// walked byte by byte, which is enough because a blank's first byte never continues a character.
size_t CharAt(const std::string& s, size_t i, bool utf8) {
    return !utf8 && static_cast<unsigned char>(s[i]) >= 0x81 && i + 1 < s.size() ? 2 : 1;
}

}  // namespace

std::string TrimVersionText(const char* text) {
    std::string s = text ? text : "";
    bool utf8 = s.compare(0, 3, "\xEF\xBB\xBF") == 0;
    size_t i = utf8 ? 3 : 0, first = std::string::npos, end = 0;
    // Walks whole characters so that the second byte of a GBK character is never taken for a blank's first.
    while (i < s.size()) {
        size_t blank = BlankAt(s, i, utf8);
        if (blank) {
            i += blank;
            continue;
        }
        if (first == std::string::npos) first = i;
        i += CharAt(s, i, utf8);
        end = i;
    }
    return first == std::string::npos ? "" : s.substr(first, end - first);
}

}  // namespace app

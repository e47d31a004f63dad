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

std::string TrimVersionText(const char* text) {
    std::string s = text ? text : "";
    const char* blank = " \t\r\n";
    size_t first = s.find_first_not_of(blank);
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(blank) - first + 1);
}

}  // namespace app

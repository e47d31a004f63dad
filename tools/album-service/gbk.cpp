// Conversions between GBK and UTF-8 through glibc's iconv.
#include "tools/album-service/gbk.h"

#include <iconv.h>

#include <cerrno>

namespace album {
namespace {

// Converts the whole input; on an invalid or unconvertible sequence either stops (nullopt) or, with a
// replacement, skips one byte and writes the replacement in its place.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in, const char* replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    char buffer[256];
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    bool ok = true;
    while (true) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        // A final call with no input flushes the converter's state.
        size_t rc = srcLeft ? iconv(cd, &src, &srcLeft, &dst, &dstLeft) : iconv(cd, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        if (rc != static_cast<size_t>(-1)) {
            if (srcLeft == 0) break;
            continue;
        }
        if (errno == E2BIG) continue;
        if (!replacement) {
            ok = false;
            break;
        }
        out += replacement;
        ++src;
        --srcLeft;
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    return out;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    return Convert("UTF-8", "GBK", gbk, "\xEF\xBF\xBD").value_or(std::string());
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8) { return Convert("GBK", "UTF-8", utf8, nullptr); }

bool IsAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

std::string ArgumentToGbk(std::string_view argument) {
    if (IsAscii(argument)) return std::string(argument);
    return Utf8ToGbk(argument).value_or(std::string(argument));
}

}  // namespace album

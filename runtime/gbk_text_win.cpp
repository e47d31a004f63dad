// GBK to UTF-16 with code page 936.
#include <windows.h>

#include "runtime/gbk_text.h"

namespace rt {

constexpr UINT kGbkCodePage = 936;

std::wstring WideFromGbk(const std::string& text) {
    int length = MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

}  // namespace rt

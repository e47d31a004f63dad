// Conversions between GBK (the site's code page) and UTF-8 (the terminal's and the manifest's), over iconv.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace album {

// GBK bytes as UTF-8; a byte sequence that is not GBK becomes U+FFFD.
std::string GbkToUtf8(std::string_view gbk);

// UTF-8 as GBK bytes; nullopt when the text is not UTF-8 or holds a character GBK lacks.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

// True when every byte is below 0x80.
bool IsAscii(std::string_view text);

// A command-line argument (UTF-8 from the terminal) as the GBK bytes the site uses; an argument that is not
// UTF-8 is taken as it stands.
std::string ArgumentToGbk(std::string_view argument);

}  // namespace album

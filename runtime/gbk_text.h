// GBK texts at the Win32 boundary: the program's texts are GBK whatever the system's code page, so a text handed
// to a wide (W) call is converted with code page 936, never with the active code page.
#pragma once

#include <string>

namespace rt {

// The GBK text in UTF-16; empty when it is not GBK text (a lone lead byte, say).
std::wstring WideFromGbk(const std::string& text);

}  // namespace rt

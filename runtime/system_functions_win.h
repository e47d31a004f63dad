// The exports of the system libraries outside Windows' KnownDLLs list that the program calls, bound from the
// system folder on first use (see system_libraries_win.h).
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <urlmon.h>
#include <wininet.h>

#include "runtime/system_libraries_win.h"

namespace rt::sys {

inline SystemFunction<decltype(&::InternetOpenA)> InternetOpenA{"wininet.dll", "InternetOpenA"};
inline SystemFunction<decltype(&::InternetConnectA)> InternetConnectA{"wininet.dll", "InternetConnectA"};
inline SystemFunction<decltype(&::InternetCloseHandle)> InternetCloseHandle{"wininet.dll", "InternetCloseHandle"};
inline SystemFunction<decltype(&::InternetSetOptionA)> InternetSetOptionA{"wininet.dll", "InternetSetOptionA"};
inline SystemFunction<decltype(&::InternetReadFile)> InternetReadFile{"wininet.dll", "InternetReadFile"};
inline SystemFunction<decltype(&::InternetQueryDataAvailable)> InternetQueryDataAvailable{
    "wininet.dll", "InternetQueryDataAvailable"};
inline SystemFunction<decltype(&::HttpOpenRequestA)> HttpOpenRequestA{"wininet.dll", "HttpOpenRequestA"};
inline SystemFunction<decltype(&::HttpSendRequestA)> HttpSendRequestA{"wininet.dll", "HttpSendRequestA"};
inline SystemFunction<decltype(&::HttpQueryInfoA)> HttpQueryInfoA{"wininet.dll", "HttpQueryInfoA"};
inline SystemFunction<decltype(&::InternetGetCookieExA)> InternetGetCookieExA{"wininet.dll", "InternetGetCookieExA"};
inline SystemFunction<decltype(&::InternetSetCookieExA)> InternetSetCookieExA{"wininet.dll", "InternetSetCookieExA"};
inline SystemFunction<decltype(&::ObtainUserAgentString)> ObtainUserAgentString{"urlmon.dll",
                                                                               "ObtainUserAgentString"};
inline SystemFunction<decltype(&::InitCommonControlsEx)> InitCommonControlsEx{"comctl32.dll", "InitCommonControlsEx"};

}  // namespace rt::sys

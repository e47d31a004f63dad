// The declared DLL-command table, in index order.
#include "runtime/dll_commands.h"

#include "runtime/frame.h"

namespace rt {

namespace {
DllBinding table[kDllCommandCount] = {
    {"", "CreateWaitableTimerA"},
    {"", "SetWaitableTimer"},
    {"", "MsgWaitForMultipleObjects"},
    {"", "CloseHandle"},
    {"urlmon", "URLDownloadToFileA"},
    {"", "CreateThread"},
    {"", "MsgWaitForMultipleObjects"},
    {"", "TerminateThread"},
    {"", "CloseHandle"},
    {"WinINet.dll", "InternetOpenA"},
    {"WinINet.dll", "InternetConnectA"},
    {"WinINet.dll", "InternetCloseHandle"},
    {"WinINet.dll", "HttpOpenRequestA"},
    {"WinINet.dll", "HttpSendRequestA"},
    {"WinINet.dll", "InternetReadFile"},
    {"WinINet.dll", "HttpQueryInfoA"},
    {"WinINet.dll", "InternetSetCookieA"},
    {"SkinH_EL.dll", "SkinH_AttachRes"},
    {"SkinH_EL.dll", "SkinH_SetAero"},
};
}  // namespace

DllBinding& DllCommand(int32_t index) { return table[index]; }

void* ResolveDllCommand(int32_t index) { return BindDllCommand(table[index]); }

}  // namespace rt

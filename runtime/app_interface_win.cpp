// The application-interface library on Win32: OpenWebPage through the shell's "open" action.
#include <windows.h>
#include <shellapi.h>

#include "runtime/args.h"
#include "runtime/library_commands.h"
#include "runtime/library_rules.h"

namespace rt {

const char kDefaultWebAddress[] = "http://www.baidu.com/";

void OpenWebPage(Value*, int32_t argc, Value* args) {
    const char* address = ArgText(argc, args, 0);
    if (!*address) address = kDefaultWebAddress;
    if (!IsWebPageAddress(address)) return;  // not a web page: nothing is opened, as when opening fails
    HWND owner = FindWindowA(nullptr, "Microsoft Internet Explorer");
    ShellExecuteA(owner, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace rt

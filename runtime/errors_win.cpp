// The fatal report as a message box with no owner, title "错误" and the error icon; then exit code -1.
#include <windows.h>

#include "runtime/errors.h"

namespace rt {

void PlatformFatalExit(const std::string& report, bool showBox) {
    if (showBox) MessageBoxA(nullptr, report.c_str(), "错误", 0x10);
    ExitProcess(static_cast<UINT>(-1));
}

}  // namespace rt

// Native stand-in for the fatal report: the text goes to standard error, the process ends with -1.
#include <cstdio>
#include <unistd.h>

#include "runtime/errors.h"

namespace rt {

void PlatformFatalExit(const std::string& report, bool showBox) {
    if (showBox) std::fwrite(report.data(), 1, report.size(), stderr);
    std::fflush(stderr);
    _exit(-1);
}

}  // namespace rt

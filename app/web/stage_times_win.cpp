// Stage times appended to the file PEXO_STAGE_TIMES names, one line a stage.
#include "app/web/stage_times.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "runtime/scoped_handles_win.h"

namespace app {

namespace {

// The file's path, read once; empty when the times are not wanted.
const std::string& TimesFile() {
    static const std::string path = [] {
        char buffer[MAX_PATH] = "";
        DWORD n = GetEnvironmentVariableA("PEXO_STAGE_TIMES", buffer, sizeof buffer);
        return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
    }();
    return path;
}

double handOver = 0;  // window thread only

void Append(const char* stage, double milliseconds) {
    rt::ScopedFile file(CreateFileA(TimesFile().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    char line[160];
    int n = std::snprintf(line, sizeof line, "%s %.1f\r\n", stage, milliseconds);
    DWORD written = 0;
    if (n > 0) WriteFile(file.get(), line, DWORD(n), &written, nullptr);
}

}  // namespace

double NowMilliseconds() {
    static const double perMillisecond = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return double(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / perMillisecond;
}

StageTimes::StageTimes() : last_(TimesFile().empty() ? 0 : NowMilliseconds()) { handOver = 0; }

void StageTimes::Mark(const char* stage) {
    if (TimesFile().empty()) return;
    double now = NowMilliseconds();
    Append(stage, now - last_);
    if (handOver > 0) Append((std::string(stage) + "-hand-off").c_str(), handOver);
    handOver = 0;
    last_ = now;
}

void StageTimes::AddHandOver(double milliseconds) {
    if (!TimesFile().empty()) handOver += milliseconds;
}

}  // namespace app

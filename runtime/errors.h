// Fatal runtime errors: the numbered message table, the error hook, the report text and the end of the process.
#pragma once

#include <cstdint>
#include <new>
#include <string>

namespace rt {

// Error numbers of the message table (1-based).
enum RuntimeError : int32_t {
    kErrIndexOutOfRange = 1,
    kErrNotNumeric = 2,
    kErrDimensionMismatch = 3,
    kErrIndexBelowOne = 4,
    kErrTypeMismatch = 5,
    kErrDllStack = 6,
    kErrSubStatementResult = 7,
    kErrCompareOnlyEqual = 8,
    kErrChoiceIndex = 9,
    kErrRedimSize = 10,
    kErrArgumentType = 11,
};

// Entry n of the message table, or "" outside 1..11.
const char* RuntimeErrorMessage(int32_t n);

// The report shown for a fatal error: "运行时出错!" CRLF CRLF, then the code and the message when present.
std::string FormatErrorReport(int32_t number, const char* message);

// Called with (number, message) before the report; a non-zero return skips the message box.
using ErrorHook = int (*)(int32_t number, const char* message);
void SetErrorHook(ErrorHook hook);
int64_t ErrorCount();

[[noreturn]] void ErrorReport(int32_t number);
[[noreturn]] void ErrorWithText(const char* message);
// Shared by both: counts, runs the hook, shows the report, ends the process with -1 without the exit routine.
[[noreturn]] void RaiseFatal(int32_t number, const char* message);

// Runs the body of an entry point (a thread's start, a window procedure) so that no exception leaves it: the
// C++ runtime would end the process without a word. Running out of memory (a size no cap caught) is the
// runtime's fatal error "分配内存失败!", any other exception the fatal error `what`.
template <typename Body>
auto GuardEntry(const char* what, Body&& body) -> decltype(body()) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        ErrorWithText("分配内存失败!");
    } catch (...) {
        ErrorWithText(what);
    }
}

// True once a fatal report or the program's end has begun; no event is dispatched after that.
bool ProgramEnding();
void MarkProgramEnding();

// 1-based element access with the application's index checks (errors 4 and 1).
inline int64_t CheckedIndex(int64_t index, int64_t count) {
    if (index - 1 < 0) ErrorReport(kErrIndexBelowOne);
    if (index - 1 >= count) ErrorReport(kErrIndexOutOfRange);
    return index - 1;
}

// Provided per platform: show the report (no owner, title "错误", error icon) and end the process with -1.
[[noreturn]] void PlatformFatalExit(const std::string& report, bool showBox);

}  // namespace rt

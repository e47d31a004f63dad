// Fatal runtime errors: message table, hook and report text. The platform part shows the box and exits.
#include "runtime/errors.h"

#include <atomic>

#include "runtime/program.h"

namespace rt {

namespace {

constexpr const char* kMessages[] = {
    "数组成员引用下标超出定义范围",
    "未得到所需要的数值型数据",
    "引用数组成员时维数不为1且不等于该数组目前所具有的维数",
    "数组成员引用下标必须大于等于1",
    "数据或数组类型不匹配",
    "调用DLL命令后发现堆栈错误",
    "子语句参数未返回数据或者返回了非系统基本类型或数组型数据",
    "被比较数据只能使用等于或不等于命令比较",
    "“多项选择”命令的索引值参数小于零或超出了所提供参数表范围",
    "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零",
    "所提供参数的数据类型不符合要求",
};
static_assert(sizeof kMessages / sizeof kMessages[0] == 11);

std::atomic<int64_t> errorCount{0};
std::atomic<ErrorHook> errorHook{nullptr};
std::atomic<bool> hookRunning{false};
std::atomic<bool> ending{false};

}  // namespace

const char* RuntimeErrorMessage(int32_t n) { return n >= 1 && n <= 11 ? kMessages[n - 1] : ""; }

std::string FormatErrorReport(int32_t number, const char* message) {
    std::string text = "运行时出错!\r\n\r\n";
    if (number != 0) text += "错误代码：" + std::to_string(number) + "\r\n\r\n";
    if (message && *message) text += std::string("错误信息：") + message + "\r\n";
    return text;
}

void SetErrorHook(ErrorHook hook) { errorHook = hook; }
int64_t ErrorCount() { return errorCount; }
bool ProgramEnding() { return ending; }
void MarkProgramEnding() { ending = true; }

void RaiseFatal(int32_t number, const char* message) {
    ++errorCount;
    ending = true;
    // The exit routine must not run after a fatal error.
    ClearExitRoutine();
    bool showBox = true;
    ErrorHook hook = errorHook;
    bool expected = false;
    if (hook && hookRunning.compare_exchange_strong(expected, true)) {
        showBox = hook(number, message ? message : "") == 0;
        hookRunning = false;
    }
    PlatformFatalExit(FormatErrorReport(number, message), showBox);
}

void ErrorReport(int32_t number) { RaiseFatal(number, RuntimeErrorMessage(number)); }
void ErrorWithText(const char* message) { RaiseFatal(0, message); }

}  // namespace rt

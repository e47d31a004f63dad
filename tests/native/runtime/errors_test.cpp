// The fatal report's text, the message table, the hook and the rule that the exit routine does not run.
#include <gtest/gtest.h>

#include <cstdio>

#include "runtime/errors.h"
#include "runtime/program.h"

namespace rt {
namespace {

TEST(ErrorReportText, NumberAndMessageLines) {
    EXPECT_EQ(FormatErrorReport(0, ""), "运行时出错!\r\n\r\n");
    EXPECT_EQ(FormatErrorReport(4, RuntimeErrorMessage(4)),
              "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n");
    EXPECT_EQ(FormatErrorReport(0, "不能整除于零"), "运行时出错!\r\n\r\n错误信息：不能整除于零\r\n");
}

TEST(ErrorReportText, MessageTableBounds) {
    EXPECT_STREQ(RuntimeErrorMessage(1), "数组成员引用下标超出定义范围");
    EXPECT_STREQ(RuntimeErrorMessage(6), "调用DLL命令后发现堆栈错误");
    EXPECT_STREQ(RuntimeErrorMessage(11), "所提供参数的数据类型不符合要求");
    EXPECT_STREQ(RuntimeErrorMessage(0), "");
    EXPECT_STREQ(RuntimeErrorMessage(12), "");
}

void ExitRoutinePrints() { std::fputs("exit routine ran", stderr); }

TEST(FatalError, ExitRoutineDoesNotRun) {
    EXPECT_EXIT(
        {
            SetExitRoutine(&ExitRoutinePrints);
            ErrorReport(5);
        },
        ::testing::ExitedWithCode(255), "^运行时出错!\r\n\r\n错误代码：5\r\n\r\n错误信息：数据或数组类型不匹配\r\n$");
}

int SilentHook(int32_t number, const char* message) {
    std::fprintf(stderr, "hook %d %s", number, message);
    return 1;
}

TEST(FatalError, HookReturningNonZeroSkipsTheReport) {
    EXPECT_EXIT(
        {
            SetErrorHook(&SilentHook);
            ErrorWithText("自定义");
        },
        ::testing::ExitedWithCode(255), "^hook 0 自定义$");
}

TEST(ProgramEnd, ExitRoutineRunsOnceOnNormalExit) {
    EXPECT_EXIT(
        {
            SetExitRoutine(&ExitRoutinePrints);
            ExitProgram(7);
        },
        ::testing::ExitedWithCode(7), "^exit routine ran$");
}

TEST(RunPaths, SplitAtLastBackslashNotInsideADoubleByteCharacter) {
    std::string dir, name;
    SplitExecutablePath("C:\\dir\\pexo.exe", &dir, &name);
    EXPECT_EQ(dir, "C:\\dir");
    EXPECT_EQ(name, "pexo.exe");
    SplitExecutablePath("pexo.exe", &dir, &name);
    EXPECT_EQ(dir, "");
    EXPECT_EQ(name, "pexo.exe");
    // 0x95 0x5C is one GBK character whose trail byte is a backslash.
    SplitExecutablePath(
        "C:\\a\x95\x5C"
        "b.exe",
        &dir, &name);
    EXPECT_EQ(dir, "C:");
    EXPECT_EQ(name,
              "a\x95\x5C"
              "b.exe");
}

}  // namespace
}  // namespace rt

// Declared DLL commands under Wine: lazy binding, caching, the library search order and the fatal texts.
#include <windows.h>

#include <gtest/gtest.h>

#include "runtime/dll_commands.h"
#include "runtime/frame.h"
#include "runtime/program.h"
#include "tests/win/child_process.h"

namespace rt {
namespace {

TEST(DllBinding, SystemFunctionFoundAndCachedWithoutLoadingAgain) {
    void* first = ResolveDllCommand(3);  // CloseHandle, from Kernel32.dll
    EXPECT_EQ(first, reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CloseHandle")));
    int64_t loads = DllLoadCount();
    EXPECT_EQ(ResolveDllCommand(3), first);
    EXPECT_EQ(DllLoadCount(), loads);
}

TEST(DllBinding, NamedLibraryAndOrdinal) {
    EXPECT_NE(ResolveDllCommand(9), nullptr);  // InternetOpenA in WinINet.dll
    DllBinding byOrdinal{"Kernel32.dll", "#1"};
    EXPECT_NE(BindDllCommand(byOrdinal), nullptr);
}

TEST(DllBinding, MissingExportOfSystemLibrariesGivesTheFatalText) {
    ChildResult r = RunChild("dll-missing-system");
    EXPECT_EQ(r.exitCode, DWORD(-1));
    EXPECT_EQ(r.output, "hook 0 无法找到指定DLL库文件中的输出命令“NoSuchExportAnywhere”");
}

TEST(DllBinding, MissingExportOfNamedLibraryGivesTheFatalText) {
    ChildResult r = RunChild("dll-missing-named");
    EXPECT_EQ(r.exitCode, DWORD(-1));
    EXPECT_EQ(r.output, "hook 0 无法找到指定DLL库文件“WinINet.dll”中的输出命令“NoSuchExport”");
}

TEST(DllBinding, MissingLibraryGivesTheFatalText) {
    ChildResult r = RunChild("dll-missing-library");
    EXPECT_EQ(r.exitCode, DWORD(-1));
    EXPECT_EQ(r.output, "hook 0 无法找到指定DLL库文件“SkinH_EL.dll”中的输出命令“SkinH_AttachRes”");
}

TEST(RuntimeInit, RunDirectoryAndExeNameFromTheModulePath) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    InitRuntime();
    std::string full = RunDirectory() + "\\" + ExeName();
    EXPECT_STREQ(full.c_str(), path);
    EXPECT_EQ(ExeName(), "win_tests.exe");
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    EXPECT_STREQ(cwd, RunDirectory().c_str());
}

TEST(ExitProgramTest, MainThreadRunsTheExitRoutineAndEndsWithTheCode) {
    ChildResult r = RunChild("exit-main");
    EXPECT_EQ(r.exitCode, 3u);
    EXPECT_EQ(r.output, "exit routine");
}

TEST(ExitProgramTest, WorkerThreadHandsTheExitToTheMainThread) {
    ChildResult r = RunChild("exit-worker");
    EXPECT_EQ(r.exitCode, 4u);
    EXPECT_EQ(r.output, "exit routine");
}

TEST(FatalErrorTest, WorkerThreadErrorEndsTheProcessWithMinusOneWithoutExitRoutine) {
    ChildResult r = RunChild("fatal-worker");
    EXPECT_EQ(r.exitCode, DWORD(-1));
    EXPECT_EQ(r.output, "hook 1 数组成员引用下标超出定义范围");
}

TEST(FatalErrorTest, ReportBoxIsShownWithTitleAndText) {
    ChildResult r = RunChild("fatal-box", /*answerErrorBox=*/true);
    EXPECT_EQ(r.exitCode, DWORD(-1));
    EXPECT_EQ(r.boxTitle, "错误");
    EXPECT_EQ(r.boxText, "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n");
}

}  // namespace
}  // namespace rt

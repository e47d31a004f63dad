// Declared DLL commands under Wine: lazy binding, caching, the library search order and the fatal texts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "runtime/dll_commands.h"
#include "runtime/errors.h"
#include "runtime/frame.h"
#include "runtime/program.h"
#include "tests/win/child_process.h"

namespace rt {
namespace {

void Say(const char* s) {
    std::fputs(s, stdout);
    std::fflush(stdout);
}
int PrintingHook(int32_t n, const char* m) {
    std::printf("hook %d %s", n, m);
    std::fflush(stdout);
    return 1;
}
void ExitRoutine() { Say("exit routine"); }

CHILD_SCENARIO("dll-missing-system") {
    SetErrorHook(&PrintingHook);
    static DllBinding b{"", "NoSuchExportAnywhere"};
    BindDllCommand(b);
}
CHILD_SCENARIO("dll-missing-named") {
    SetErrorHook(&PrintingHook);
    static DllBinding b{"WinINet.dll", "NoSuchExport"};
    BindDllCommand(b);
}
CHILD_SCENARIO("dll-missing-library") {
    SetErrorHook(&PrintingHook);
    InitRuntime();
    BindDllCommand(DllCommand(17));
}
CHILD_SCENARIO("exit-main") {
    InitRuntime();
    SetExitRoutine(&ExitRoutine);
    ExitProgram(3);
}
CHILD_SCENARIO("exit-worker") {
    InitRuntime();
    SetExitRoutine(&ExitRoutine);
    std::thread([] { ExitProgram(4); }).detach();
    // The main thread pumps messages, as the program's message loop does.
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
}
CHILD_SCENARIO("fatal-worker") {
    SetErrorHook(&PrintingHook);
    SetExitRoutine(&ExitRoutine);
    std::thread([] { CheckedIndex(5, 4); }).join();
}
CHILD_SCENARIO("fatal-box") { CheckedIndex(0, 4); }

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

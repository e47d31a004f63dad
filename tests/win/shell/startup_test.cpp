// The program's life in a child process: start-up without network (server version empty, 删除桌面图标 hidden,
// work lock created), the close guard while busy (its message answered from outside), and the end with exit
// code 0. These need every runtime command the start-up calls; a build that lacks one reports the test skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "app/shell/globals.h"
#include "app/shell/main_window.h"
#include "app/shell/startup.h"
#include "runtime/errors.h"
#include "runtime/frame.h"
#include "runtime/memory.h"
#include "skin/embedded_skins.h"
#include "tests/win/child_process.h"
#include "tests/win/shell/program_copy.h"
#include "tests/win/support/files.h"
#include "tests/win/ui/ui_test_form.h"

namespace app {
namespace {

void Say(const std::string& s) {
    std::printf("%s\n", s.c_str());
    std::fflush(stdout);
}

HWND WaitForMainWindow() {
    for (int i = 0; i < 600; ++i) {
        if (HWND hwnd = FindWindowA("PexoWindow", "Quen - Pexo相册图片批量下载")) return hwnd;
        Sleep(50);
    }
    return nullptr;
}

// Reads a text property from this (worker) thread: the read is carried out on the window thread.
std::string ReadCaption(uint32_t control) {
    rt::PropertyValue v = rt::ReadProperty(kMainWindowId, control, 8, -1);
    char* text = reinterpret_cast<char*>(uintptr_t(uint64_t(v.high) << 32 | v.low));
    std::string s = text ? text : "";
    rt::MemFree(text);
    return s;
}

// A port nothing listens on: the server-version fetch fails at once.
void WithoutNetwork() { SetEnvironmentVariableA("PEXO_UPDATE_ROOT", "http://127.0.0.1:9"); }

CHILD_SCENARIO("startup-no-network") {
    rt::SetErrorHook(&uitest::PrintFatal);
    WithoutNetwork();
    std::thread watcher([] {
        HWND main = WaitForMainWindow();
        if (!main) return Say("no window");
        Say("server=[" + ReadCaption(form::服务器) + "]");
        Say("local=[" + ReadCaption(form::本地) + "]");
        Say("delete-item-visible=" + std::to_string(rt::ReadProperty(kMainWindowId, form::删除桌面图标, 3, -1).low));
        Say("create-item-visible=" + std::to_string(rt::ReadProperty(kMainWindowId, form::创建桌面图标, 3, -1).low));
        Say("work-lock=" + std::string(workLock != 0 ? "set" : "zero"));
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string engine = std::string(self).substr(0, std::string(self).rfind('\\')) + "\\SkinH_EL.dll";
        DWORD attributes = GetFileAttributesA(engine.c_str());
        Say("engine-hidden=" + std::to_string(attributes != INVALID_FILE_ATTRIBUTES && (attributes & 2)));
        Say("engine-loaded=" + std::to_string(GetModuleHandleA("SkinH_EL.dll") != nullptr));
        PostMessageA(main, WM_CLOSE, 0, 0);
    });
    watcher.detach();
    std::exit(AppEntry() + 100);  // not reached: the destruction handler ends the program
}

CHILD_SCENARIO("close-guard-busy") {
    rt::SetErrorHook(&uitest::PrintFatal);
    WithoutNetwork();
    std::thread watcher([] {
        HWND main = WaitForMainWindow();
        if (!main) return Say("no window");
        busy = 1;
        SendMessageA(main, WM_CLOSE, 0, 0);  // returns once the message box is answered
        Say(std::string("after-busy-close=") + (IsWindow(main) ? "open" : "closed"));
        busy = 0;
        PostMessageA(main, WM_CLOSE, 0, 0);
    });
    watcher.detach();
    std::exit(AppEntry() + 100);
}

using StartUp = ProgramCopy;

// The runtime commands the start-up needs may not all be part of this build yet: the name of a missing one.
std::string MissingCommand(const rt::ChildResult& r) {
    size_t at = r.output.find("fatal:命令不可用");
    return at == std::string::npos ? "" : r.output.substr(at + 6);
}

TEST_F(StartUp, WithoutNetworkTheServerVersionIsEmptyAndClosingEndsWithExitCodeZero) {
    rt::ChildResult r = Run("startup-no-network", false);
    if (!MissingCommand(r).empty()) GTEST_SKIP() << "not built on this branch: " << MissingCommand(r);
    EXPECT_NE(r.output.find("server=[]"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("local=[V1.0]"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("delete-item-visible=0"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("create-item-visible=1"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("work-lock=set"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("engine-hidden=1"), std::string::npos) << "the engine library written, hidden";
    EXPECT_EQ(r.output.find("fatal:"), std::string::npos) << r.output;
    EXPECT_EQ(r.exitCode, 0u);
}

// The program's own engine, as it writes it out.
std::string EmbeddedEngine() {
    const void* engine = skin::EngineByteSet();
    return std::string(reinterpret_cast<const char*>(rt::BytesDataOf(engine)), size_t(rt::BytesLengthOf(engine)));
}

// A file of the engine's name beside the program (a download into a shared folder, say) is loaded only when it
// holds the program's own engine: any other bytes are written over, read-only and hidden files too.
TEST_F(StartUp, AnEngineFileHoldingOtherBytesIsWrittenAnew) {
    std::string engine = directory + "\\SkinH_EL.dll";
    { std::ofstream(engine, std::ios::binary) << "not a library"; }
    ASSERT_TRUE(SetFileAttributesA(engine.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    rt::ChildResult r = Run("startup-no-network", false);
    if (!MissingCommand(r).empty()) GTEST_SKIP() << "not built on this branch: " << MissingCommand(r);
    EXPECT_NE(r.output.find("server=[]"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("engine-loaded=1"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("engine-hidden=1"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("fatal:"), std::string::npos) << r.output;
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(testing_support::ReadWhole(engine) == EmbeddedEngine()) << "the engine file holds other bytes";
}

// When the file cannot be written over (another program holds it open), it is not loaded either: the program
// starts and runs without a skin.
TEST_F(StartUp, AnEngineFileThatCannotBeWrittenOverIsNotLoaded) {
    std::string engine = directory + "\\SkinH_EL.dll";
    HANDLE held = CreateFileA(engine.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(held, "not a library", 13, &written, nullptr));
    rt::ChildResult r = Run("startup-no-network", false);
    CloseHandle(held);
    if (!MissingCommand(r).empty()) GTEST_SKIP() << "not built on this branch: " << MissingCommand(r);
    EXPECT_NE(r.output.find("server=[]"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("engine-loaded=0"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("fatal:"), std::string::npos) << r.output;
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(testing_support::ReadWhole(engine), "not a library");
}

TEST_F(StartUp, CloseGuardRefusesWhileBusyWithItsMessage) {
    rt::ChildResult r = Run("close-guard-busy", true);
    if (!MissingCommand(r).empty()) GTEST_SKIP() << "not built on this branch: " << MissingCommand(r);
    EXPECT_EQ(r.boxTitle, "提示");
    EXPECT_EQ(r.boxText, "程序正忙，请稍后再关闭。");
    EXPECT_NE(r.output.find("after-busy-close=open"), std::string::npos) << r.output;
    EXPECT_EQ(r.exitCode, 0u) << "closing once idle ends the program normally";
}

}  // namespace
}  // namespace app

// The menu 菜单 in a child process running the whole program: the update check against a version file served
// by a test server (messages, titles, buttons, and the download page opened on Yes), and the desktop-shortcut
// and home-page commands with their two-state toggle.
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/shell/addresses.h"
#include "app/shell/main_window.h"
#include "app/shell/menu_commands.h"
#include "app/shell/startup.h"
#include "runtime/frame.h"
#include "tests/win/child_process.h"
#include "tests/win/shell/program_copy.h"
#include "tests/win/support/browser_recorder.h"
#include "tests/win/support/http_test_server.h"

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

// Chooses a menu item as the menu bar does: its command reaches the main window.
void ChooseMenuItem(HWND main, uint32_t item) { PostMessageA(main, WM_COMMAND, item & 0xFFFF, 0); }

// Waits for this process's message box; says its title, text and whether it asks Yes/No; answers Yes or OK.
bool AnswerBox(int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        HWND box;
        std::string title, text;
        if (rt::FindMessageBox(GetCurrentProcessId(), &box, &title, &text)) {
            bool yesNo = GetDlgItem(box, IDYES) != nullptr && GetDlgItem(box, IDNO) != nullptr;
            Say("box=" + title + "|" + text + "|" + (yesNo ? "yes-no" : "ok"));
            PostMessageA(box, WM_COMMAND, yesNo ? IDYES : IDOK, 0);
            for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(50);
            return true;
        }
        Sleep(50);
    }
    return false;
}

bool MenuItemVisible(uint32_t item) { return rt::ReadProperty(kMainWindowId, item, 3, -1).low != 0; }

CHILD_SCENARIO("update-check") {
    // A copy: setting another variable below may move the environment that getenv points into.
    const std::string version = std::getenv("PEXO_TEST_VERSION") ? std::getenv("PEXO_TEST_VERSION") : "";
    const std::string address =
        std::getenv("PEXO_TEST_ADDRESS") ? std::getenv("PEXO_TEST_ADDRESS") : "http://127.0.0.1:9/new-version";
    testing_support::HttpTestServer server([version, address](const testing_support::ReceivedRequest& r) {
        testing_support::Reply reply;
        reply.body = r.requestLine.find("/pexoxiazai.txt") != std::string::npos ? address : version;
        return reply;
    });
    _putenv_s("PEXO_UPDATE_ROOT", server.Url("").c_str());  // the program reads it with getenv
    testing_support::BrowserRecorder browser;
    std::thread watcher([&browser, &server] {
        HWND main = WaitForMainWindow();
        if (!main) return Say("no window");
        // The server version arrives while the window is being created; wait for the fetch to be answered.
        for (int i = 0; i < 100 && server.Requests().empty(); ++i) Sleep(50);
        Sleep(500);
        ChooseMenuItem(main, form::在线更新);
        while (AnswerBox(3000)) {
        }
        std::string opened = browser.Opened(3000);
        Say("opened=" + opened);
        PostMessageA(main, WM_CLOSE, 0, 0);
    });
    watcher.detach();
    std::exit(AppEntry() + 100);
}

std::string ShortcutTarget(const std::string& link, std::string* arguments) {
    CoInitialize(nullptr);
    IShellLinkA* shell = nullptr;
    std::string target;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shell)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
            if (SUCCEEDED(file->Load(wide, STGM_READ))) {
                char path[MAX_PATH] = {}, args[MAX_PATH] = {};
                shell->GetPath(path, MAX_PATH, nullptr, 0);
                shell->GetArguments(args, MAX_PATH);
                target = path;
                *arguments = args;
            }
            file->Release();
        }
        shell->Release();
    }
    return target;
}

CHILD_SCENARIO("menu-commands") {
    _putenv_s("PEXO_UPDATE_ROOT", "http://127.0.0.1:9");
    std::thread watcher([] {
        HWND main = WaitForMainWindow();
        if (!main) return Say("no window");
        std::string link = GetDesktopFolder("Desktop").str() + "\\Pexo相册图片批量下载.lnk";
        DeleteFileA(link.c_str());
        ChooseMenuItem(main, form::创建桌面图标);
        for (int i = 0; i < 100 && GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
        std::string arguments;
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        Say("target-is-self=" + std::to_string(_stricmp(ShortcutTarget(link, &arguments).c_str(), self) == 0));
        Say("arguments=" + arguments);
        Say("after-create=" + std::to_string(MenuItemVisible(form::创建桌面图标)) +
            std::to_string(MenuItemVisible(form::删除桌面图标)));
        ChooseMenuItem(main, form::删除桌面图标);
        for (int i = 0; i < 100 && GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
        Say("link-gone=" + std::to_string(GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES));
        Say("after-delete=" + std::to_string(MenuItemVisible(form::创建桌面图标)) +
            std::to_string(MenuItemVisible(form::删除桌面图标)));
        ChooseMenuItem(main, form::设为首页);
        Sleep(500);
        char page[512] = {};
        DWORD size = sizeof page;
        RegGetValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page", RRF_RT_REG_SZ,
                     nullptr, page, &size);
        Say(std::string("home-page=") + page);
        PostMessageA(main, WM_CLOSE, 0, 0);
    });
    watcher.detach();
    std::exit(AppEntry() + 100);
}

// The whole program runs from a copy of the test program (see ProgramCopy).
class MenuOfTheProgram : public ProgramCopy {
protected:
    void TearDown() override {
        ProgramCopy::TearDown();
        SetEnvironmentVariableA("PEXO_TEST_VERSION", nullptr);
        SetEnvironmentVariableA("PEXO_TEST_ADDRESS", nullptr);
    }
    std::string UpdateCheck(const char* serverVersion) {
        SetEnvironmentVariableA("PEXO_TEST_VERSION", serverVersion);
        rt::ChildResult r = Run("update-check");
        EXPECT_EQ(r.exitCode, 0u) << r.output;
        return r.output;
    }
};

TEST_F(MenuOfTheProgram, SameVersionSaysSoAndOpensNothing) {
    std::string out = UpdateCheck("V1.0");
    EXPECT_NE(out.find("box=恭喜|当前已经是最新版本|ok"), std::string::npos) << out;
    EXPECT_EQ(out.find("有新版本"), std::string::npos) << out;
    EXPECT_EQ(out.find("opened=http"), std::string::npos) << out;
}

TEST_F(MenuOfTheProgram, TrailingLineBreakOfTheServerTextIsNotANewVersion) {
    std::string out = UpdateCheck("V1.0\r\n");
    EXPECT_NE(out.find("box=恭喜|当前已经是最新版本|ok"), std::string::npos) << out;
    EXPECT_EQ(out.find("有新版本"), std::string::npos) << out;
}

TEST_F(MenuOfTheProgram, NewerVersionAsksAndYesOpensTheDownloadPage) {
    std::string out = UpdateCheck("V1.1");
    EXPECT_NE(out.find("box=有新版本|您当前版本：V1.0当前服务器版本：V1.1是否升级？|yes-no"), std::string::npos) << out;
    EXPECT_NE(out.find("opened=http://127.0.0.1:9/new-version"), std::string::npos) << out;
}

// The download-address file usually ends with a line break: the address is trimmed as the version text is, so Yes
// opens the page instead of silently doing nothing.
TEST_F(MenuOfTheProgram, DownloadAddressWithALineBreakOpensThePage) {
    SetEnvironmentVariableA("PEXO_TEST_ADDRESS", " http://127.0.0.1:9/new-version\r\n");
    std::string out = UpdateCheck("V1.1");
    EXPECT_NE(out.find("opened=http://127.0.0.1:9/new-version\r\n"), std::string::npos) << out;
}

// Whoever plays the update server chooses what the shell is asked to open: only web pages are. Wine hands
// these two schemes to its browser launcher too, which would record them.
TEST_F(MenuOfTheProgram, DownloadAddressesOtherThanWebPagesAreNotOpened) {
    for (const char* address : {"ftp://127.0.0.1:9/new-version", "mailto:update@127.0.0.1"}) {
        SetEnvironmentVariableA("PEXO_TEST_ADDRESS", address);
        std::string out = UpdateCheck("V1.1");
        EXPECT_NE(out.find("box=有新版本|"), std::string::npos) << out;
        size_t opened = out.find("opened=");
        ASSERT_NE(opened, std::string::npos) << out;
        EXPECT_EQ(out.substr(opened + 7, out.find_first_of("\r\n", opened) - opened - 7), "") << address;
    }
}

TEST_F(MenuOfTheProgram, EmptyServerVersionShowsNothing) {
    std::string out = UpdateCheck("");
    EXPECT_EQ(out.find("box="), std::string::npos) << out;
}

TEST_F(MenuOfTheProgram, ShortcutToggleAndHomePage) {
    rt::ChildResult r = Run("menu-commands");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_NE(r.output.find("target-is-self=1"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("arguments=auto"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("after-create=01"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("link-gone=1"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("after-delete=10"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(std::string("home-page=") + kNavigationPage), std::string::npos) << r.output;
}

}  // namespace
}  // namespace app

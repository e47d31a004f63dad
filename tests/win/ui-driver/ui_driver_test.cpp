// ui-driver.exe against a small target window in another process: one script drives clicks, typing, keys,
// combo boxes, check boxes, a message box, pop-up menus, the wheel, the folder browser and a screenshot.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/win/child_process.h"

namespace {

const char kTitle[] = "UI Driver Target 测试";
enum : int {
    kClick = 0x10,
    kEdit,
    kCombo,
    kCheck,
    kAsk,
    kStatus,
    kMenu,
    kFolder,
    kScroll,
    kLater,
    kProgress,
};

HWND g_status, g_edit, g_later;
WNDPROC g_editProc, g_scrollProc;
int g_clicks;
std::vector<HANDLE> g_held;

void Status(const std::string& s) { SetWindowTextA(g_status, s.c_str()); }

LRESULT CALLBACK EditProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_KEYUP && w == VK_RETURN) {
        char text[256] = {};
        GetWindowTextA(h, text, sizeof text);
        Status(std::string("enter:") + text);
    }
    return CallWindowProcA(g_editProc, h, m, w, l);
}

LRESULT CALLBACK ScrollProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_MOUSEWHEEL) {
        Status("wheel:" + std::to_string(GET_WHEEL_DELTA_WPARAM(w)));
        return 0;
    }
    return CallWindowProcA(g_scrollProc, h, m, w, l);
}

void PopUp(HWND h) {
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 1, "全选");
    AppendMenuA(menu, MF_STRING, 2, "全不选");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING | MF_GRAYED, 3, "反选");
    AppendMenuA(menu, MF_STRING, 4, "刷新");
    POINT p;
    GetCursorPos(&p);
    int picked = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, p.x, p.y, 0, h, nullptr);
    Status("menu:" + std::to_string(picked));
    DestroyMenu(menu);
}

LRESULT CALLBACK TargetProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    switch (m) {
        case WM_COMMAND:
            switch (LOWORD(w)) {
                case kClick:
                    // Each click holds 50 more handles, for the driver's handle count to see.
                    for (int i = 0; i < 50; ++i) g_held.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
                    SetWindowTextA(reinterpret_cast<HWND>(l), ("Clicked " + std::to_string(++g_clicks)).c_str());
                    SetTimer(h, 1, 300, nullptr);
                    break;
                case kCombo:
                    if (HIWORD(w) == CBN_SELCHANGE) {
                        char text[64] = {};
                        auto combo = reinterpret_cast<HWND>(l);
                        SendMessageA(combo, CB_GETLBTEXT, SendMessageA(combo, CB_GETCURSEL, 0, 0),
                                     reinterpret_cast<LPARAM>(text));
                        Status(std::string("selected:") + text);
                    }
                    break;
                case kAsk: {
                    // First a bare dialog frame for a moment, as a message box is before its title and buttons
                    // are in: the driver must not take it for the box.
                    HWND bare = CreateWindowExA(0, "#32770", "", WS_POPUP | WS_VISIBLE | WS_CAPTION, 100, 100, 200,
                                                100, h, nullptr, GetModuleHandleA(nullptr), nullptr);
                    for (ULONGLONG until = GetTickCount64() + 800; GetTickCount64() < until; Sleep(10)) {
                        MSG msg;
                        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
                    }
                    DestroyWindow(bare);
                    Status(MessageBoxA(h, "确定要继续吗？", "提问", MB_YESNO | MB_ICONQUESTION) == IDYES ? "answer:yes"
                                                                                                         : "answer:no");
                    break;
                }
                case kMenu: PopUp(h); break;
                case kFolder: {
                    BROWSEINFOA bi{};
                    bi.hwndOwner = h;
                    bi.lpszTitle = "选择保存图片的文件夹";
                    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX;
                    LPITEMIDLIST id = SHBrowseForFolderA(&bi);
                    char path[MAX_PATH] = {};
                    if (id && SHGetPathFromIDListA(id, path))
                        Status(std::string("folder:") + path);
                    else
                        Status("folder:none");
                    if (id) CoTaskMemFree(id);
                    break;
                }
            }
            return 0;
        case WM_TIMER:
            KillTimer(h, 1);
            EnableWindow(g_later, TRUE);
            return 0;
        case WM_CONTEXTMENU: PopUp(h); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(h, m, w, l);
}

HWND Control(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
    return CreateWindowExA(cls[0] == 'E' ? WS_EX_CLIENTEDGE : 0, cls, text, style | WS_CHILD | WS_VISIBLE, x, y, w, h,
                           parent, reinterpret_cast<HMENU>(intptr_t(id)), GetModuleHandleA(nullptr), nullptr);
}

CHILD_SCENARIO("ui-target") {
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSA wc{};
    wc.lpfnWndProc = TargetProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "UiDriverTarget";
    RegisterClassA(&wc);
    HWND h = CreateWindowA("UiDriverTarget", kTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 80, 80, 460, 320, nullptr,
                           nullptr, wc.hInstance, nullptr);
    Control(h, "Button", "Click me", BS_PUSHBUTTON, 10, 10, 100, 26, kClick);
    g_edit = Control(h, "Edit", "", ES_AUTOHSCROLL, 120, 10, 160, 24, kEdit);
    g_editProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(g_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditProc)));
    HWND combo = Control(h, "ComboBox", "", CBS_DROPDOWNLIST | WS_VSCROLL, 290, 10, 140, 200, kCombo);
    for (const char* item : {"alpha", "beta", "伽马"})
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    Control(h, "Button", "选项", BS_AUTOCHECKBOX, 10, 50, 100, 20, kCheck);
    Control(h, "Button", "Ask", BS_PUSHBUTTON, 120, 50, 80, 26, kAsk);
    Control(h, "Button", "Menu", BS_PUSHBUTTON, 210, 50, 80, 26, kMenu);
    Control(h, "Button", "Folder", BS_PUSHBUTTON, 300, 50, 80, 26, kFolder);
    g_later = Control(h, "Button", "Later", BS_PUSHBUTTON | WS_DISABLED, 10, 90, 80, 26, kLater);
    HWND scroll = Control(h, "ScrollBar", "", SBS_VERT, 410, 90, 16, 150, kScroll);
    g_scrollProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(scroll, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ScrollProc)));
    g_status = Control(h, "Static", "ready", 0, 10, 250, 400, 20, kStatus);
    // The driver knows the program has taken its input when this bar has answered a marker posted after it.
    Control(h, "msctls_progress32", "", 0, 10, 275, 400, 10, kProgress);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The quoted path of a program in this test program's folder.
std::string Sibling(const char* name) {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string quoted(1, '"');
    quoted.append(exe, std::strrchr(exe, '\\') + 1);
    quoted.append(name);
    quoted.push_back('"');
    return quoted;
}

// A text as a script token: in quotes, backslashes doubled.
std::string ScriptText(const std::string& s) {
    std::string out(1, '"');
    for (char c : s) {
        if (c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// Starts a process with its standard input and output on pipes; feeds input, returns all output.
std::string RunWithInput(const std::string& command, const std::string& input, DWORD* exitCode) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE inRead, inWrite, outRead, outWrite;
    CreatePipe(&inRead, &inWrite, &sa, 0);
    CreatePipe(&outRead, &outWrite, &sa, 0);
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead;
    si.hStdOutput = outWrite;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    std::string line = command;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return "not started";
    CloseHandle(inRead);
    CloseHandle(outWrite);
    std::string output;
    std::thread reader([&] {
        char buf[512];
        DWORD n;
        while (ReadFile(outRead, buf, sizeof buf, &n, nullptr) && n) output.append(buf, n);
    });
    DWORD written;
    WriteFile(inWrite, input.data(), DWORD(input.size()), &written, nullptr);
    CloseHandle(inWrite);
    if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 0xDEAD);
    GetExitCodeProcess(pi.hProcess, exitCode);
    reader.join();
    CloseHandle(outRead);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return output;
}

std::vector<std::string> Lines(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

struct Step {
    const char* command;
    const char* expected;  // the result line; "*" stands for any run of characters
};

bool Glob(const char* pattern, const char* s) {
    if (!*pattern) return !*s;
    if (*pattern == '*') return Glob(pattern + 1, s) || (*s && Glob(pattern, s + 1));
    return *s == *pattern && Glob(pattern + 1, s + 1);
}

TEST(UiDriver, DrivesAWindowOfAnotherProcessFromAScript) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION target{};
    std::string command = Sibling("win_tests.exe").append(" --child=ui-target");
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &target));

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string shot = std::string(temp) + "ui-driver-shot.bmp";
    DeleteFileA(shot.c_str());
    std::string screenshot = std::string("screenshot main ").append(ScriptText(shot));

    const Step steps[] = {
        {"attach \"UI Driver Target 测试\"", "ok 0x*"},
        {"stats", "ok handles=* gdi=* user=* threads=* private_kib=* windows=*"},
        {"text 0x10", "ok \"Click me\""},
        {"click 0x10", "ok"},
        {"wait-text 0x10 \"Clicked 1\"", "ok"},
        {"stats", "ok handles=* gdi=* user=* threads=* private_kib=* windows=*"},
        {"wait-enabled 0x19 5000", "ok"},
        {"state 0x19", "ok 1 1"},
        {"timeout 500", "ok"},
        {"press Button:\"Click me\"", "error no control*"},
        {"timeout 10000", "ok"},
        {"press Button:\"Clicked 1\"", "ok"},
        {"wait-text 0x10 \"Clicked 2\"", "ok"},
        {"type 0x11 \"你好 pexo\"", "ok"},
        {"text Edit", "ok \"你好 pexo\""},
        {"key 0x11 enter", "ok"},
        {"wait-text 0x15 \"enter:你好 pexo\"", "ok"},
        {"combo-items 0x12", "ok 3 \"alpha\" \"beta\" \"伽马\""},
        {"combo-select 0x12 \"伽马\"", "ok 2"},
        {"combo-selected 0x12", "ok 2 \"伽马\""},
        {"wait-text 0x15 \"selected:伽马\"", "ok"},
        {"combo-select 0x12 7", "error no item*"},
        {"checked 0x13", "ok 0"},
        {"click 0x13", "ok"},
        {"checked 0x13", "ok 1"},
        {"press Button:\"Ask\"", "ok"},
        {"msgbox", "ok \"提问\" \"确定要继续吗？\"*"},
        {"msgbox-press 7", "ok"},
        {"wait-text 0x15 \"answer:no\"", "ok"},
        {"press 0x16", "ok"},
        {"menu", "ok 5 \"全选\" \"全不选\" - ~\"反选\" \"刷新\""},
        {"menu-pick \"反选\"", "error menu item*disabled"},
        {"menu-pick \"刷新\"", "ok 4"},
        {"wait-text 0x15 \"menu:4\"", "ok"},
        {"rclick main 40 150", "ok"},
        {"menu-pick 1", "ok 1"},
        {"wait-text 0x15 \"menu:2\"", "ok"},
        {"wheel 0x18 -240", "ok"},
        {"wait-text 0x15 \"wheel:-240\"", "ok"},
        {"press 0x17", "ok"},
        {"folder", "ok \"*"},
        {"folder-choose \"C:\\\\windows\\\\system32\"", "ok \"system32\""},
        {"folder-ok", "ok"},
        {"wait-text 0x15 \"folder:C:\\\\windows\\\\system32\"", "ok"},
        {"press 0x17", "ok"},
        {"folder-cancel", "ok"},
        {"wait-text 0x15 \"folder:none\"", "ok"},
        {"wait-text 0x15 \"never\" 200", "error time-out*"},
        {screenshot.c_str(), "ok *"},
        {"no-such-command", "error unknown command*"},
        {"timeout 300", "ok"},
        {"find 0x999", "error no control 0x999"},
        {"close", "ok"},
        {"wait-exit 10000", "ok 0"},
    };
    std::string script;
    for (const Step& s : steps) script += std::string(s.command) + "\n";
    DWORD exitCode = 0;
    std::vector<std::string> lines = Lines(RunWithInput(Sibling("ui-driver.exe"), script, &exitCode));
    if (WaitForSingleObject(target.hProcess, 5000) == WAIT_TIMEOUT) TerminateProcess(target.hProcess, 1);
    CloseHandle(target.hProcess);
    CloseHandle(target.hThread);

    ASSERT_EQ(lines.size(), std::size(steps));
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(Glob(steps[i].expected, lines[i].c_str()))
            << steps[i].command << "\n  got:  " << lines[i] << "\n  want: " << steps[i].expected;
    EXPECT_EQ(exitCode, 1u);  // the script contains deliberate errors

    // The handle count is read for another process and sees the 50 handles the click made.
    auto handles = [&](size_t line) { return std::atol(lines[line].c_str() + std::strlen("ok handles=")); };
    EXPECT_GE(handles(5) - handles(1), 50) << lines[1] << "\n" << lines[5];
    EXPECT_GT(handles(1), 0) << lines[1];

    FILE* f = std::fopen(shot.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    EXPECT_EQ(std::fread(&fh, sizeof fh, 1, f), 1u);
    EXPECT_EQ(std::fread(&ih, sizeof ih, 1, f), 1u);
    std::fclose(f);
    EXPECT_EQ(fh.bfType, 0x4D42);
    EXPECT_EQ(ih.biBitCount, 24);
    EXPECT_GT(ih.biWidth, 400);
}

TEST(UiDriver, CommandsAsArgumentsAndUtf8) {
    DWORD exitCode = 0;
    // "echo" needs no target; the UTF-8 flag converts the output from the ANSI code page.
    std::string out = RunWithInput(
        Sibling("ui-driver.exe").append(" --utf8 echo 相册 ; timeout 100 ; attach \"no such\""), "", &exitCode);
    std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 3u) << out;
    EXPECT_EQ(lines[0], "ok \xE7\x9B\xB8\xE5\x86\x8C");  // 相册 in UTF-8
    EXPECT_EQ(lines[1], "ok");
    EXPECT_EQ(lines[2], "error no window titled \"no such\"");
    EXPECT_EQ(exitCode, 1u);
}

TEST(UiDriver, ScriptModeReadsUtf8AndKeepsDoubleByteCharactersWhole) {
    DWORD exitCode = 0;
    // In GBK, 0x95 0x5C is one character whose trail byte is a backslash: it must not start an escape.
    std::string gbk = RunWithInput(Sibling("ui-driver.exe"), "echo \"\x95\x5c\" \"a\\\"b\"\n", &exitCode);
    EXPECT_EQ(gbk, "ok \x95\x5c a\"b\r\n");
    EXPECT_EQ(exitCode, 0u);
    std::string utf8 =
        RunWithInput(Sibling("ui-driver.exe").append(" --utf8"), "echo \xE7\x9B\xB8\xE5\x86\x8C\n", &exitCode);
    EXPECT_EQ(utf8, "ok \xE7\x9B\xB8\xE5\x86\x8C\r\n");
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace

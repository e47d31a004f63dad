// Hyperlinks open their address with the shell: Wine's browser launcher, pointed at a command that records it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/win/ui/ui_test_form.h"

namespace uitest {
namespace {

constexpr char kBrowserKey[] = "Software\\Wine\\WineBrowser";

std::string UnixPath(const std::string& windowsPath) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return "";
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH);
    char* unixPath = toUnix(wide);
    std::string result = unixPath ? unixPath : "";
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

// Points the launcher's "Browsers" value at a command that writes the address into a file; restores it after.
class Hyperlink : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        record = std::string(temp) + "hyperlink-opened-" + std::to_string(GetCurrentProcessId()) + ".txt";
        DeleteFileA(record.c_str());
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kBrowserKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        char old[2048];
        DWORD size = sizeof old, type = 0;
        hadValue = RegQueryValueExA(key, "Browsers", nullptr, &type, reinterpret_cast<BYTE*>(old), &size) ==
                   ERROR_SUCCESS;
        if (hadValue) oldValue.assign(old, size), oldType = type;
        std::string command = "/bin/sh -c \"printf %s \\\"$1\\\" > '" + UnixPath(record) + "'\" record";
        RegSetValueExA(key, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       DWORD(command.size() + 1));
        window = LoadTestWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        UnloadTestWindow();
        if (hadValue)
            RegSetValueExA(key, "Browsers", 0, oldType, reinterpret_cast<const BYTE*>(oldValue.data()),
                           DWORD(oldValue.size()));
        else
            RegDeleteValueA(key, "Browsers");
        RegCloseKey(key);
        DeleteFileA(record.c_str());
    }
    std::string Opened() {
        for (int i = 0; i < 300; ++i) {
            if (FILE* f = std::fopen(record.c_str(), "rb")) {
                char buffer[1024];
                size_t n = std::fread(buffer, 1, sizeof buffer, f);
                std::fclose(f);
                if (n > 0) return std::string(buffer, n);
            }
            Sleep(100);
        }
        return "";
    }

    HWND window = nullptr;
    HKEY key = nullptr;
    bool hadValue = false;
    std::string oldValue;
    DWORD oldType = REG_SZ;
    std::string record;
};

TEST_F(Hyperlink, AClickOpensItsAddressWithoutAnyHandler) {
    HWND link = ControlWindow(kLink);
    ASSERT_NE(link, nullptr);
    fired.clear();
    SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
    SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
    EXPECT_EQ(Opened(), "http://127.0.0.1:9/");
    for (const Fired& f : fired) EXPECT_NE(f.event, 0) << "the link has no click event of its own";
    // Pressed outside and released over it is no click.
    DeleteFileA(record.c_str());
    SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
    Sleep(500);
    EXPECT_EQ(GetFileAttributesA(record.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Hyperlink, AddressIsAProperty) {
    EXPECT_EQ(ReadText(kLink, 9), "http://127.0.0.1:9/");
    WriteText(kLink, 9, "http://127.0.0.1:9/other");
    HWND link = ControlWindow(kLink);
    SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
    SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
    EXPECT_EQ(Opened(), "http://127.0.0.1:9/other");
}

}  // namespace
}  // namespace uitest

// OpenWebPage under Wine: the shell's "open" reaches Wine's browser launcher, pointed here at a recording command.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "runtime/call.h"
#include "runtime/library_commands.h"

namespace rt {
namespace {

constexpr char kBrowserKey[] = "Software\\Wine\\WineBrowser";

// Points the launcher's "Browsers" value at a shell command that writes the address it is given into a file,
// and puts the previous value back afterwards (the Wine prefix is shared with other test runs).
class RecordingBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        record = std::string(temp) + "opened-address-" + std::to_string(GetCurrentProcessId()) + ".txt";
        DeleteFileA(record.c_str());
        std::string unixRecord = UnixPath(record);
        ASSERT_FALSE(unixRecord.empty());

        ASSERT_EQ(
            RegCreateKeyExA(HKEY_CURRENT_USER, kBrowserKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        char old[2048];
        DWORD size = sizeof old;
        DWORD type = 0;
        hadValue =
            RegQueryValueExA(key, "Browsers", nullptr, &type, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS;
        if (hadValue) {
            oldValue.assign(old, size);
            oldType = type;
        }
        // The launcher splits the value at commas and each entry like a command line; it appends the address.
        std::string command = "/bin/sh -c \"printf %s \\\"$1\\\" > '" + unixRecord + "'\" record";
        RegSetValueExA(key, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       DWORD(command.size() + 1));
    }
    void TearDown() override {
        if (hadValue)
            RegSetValueExA(key, "Browsers", 0, oldType, reinterpret_cast<const BYTE*>(oldValue.data()),
                           DWORD(oldValue.size()));
        else
            RegDeleteValueA(key, "Browsers");
        RegCloseKey(key);
        DeleteFileA(record.c_str());
    }

    static std::string UnixPath(const std::string& windowsPath) {
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

    // The address the launcher was asked to open, once its command has written it (up to 30 seconds).
    std::string OpenedAddress() {
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

    HKEY key = nullptr;
    bool hadValue = false;
    std::string oldValue;
    DWORD oldType = REG_SZ;
    std::string record;
};

TEST_F(RecordingBrowser, OpensTheGivenAddress) {
    CallLibrary(kAppInterfaceCommands[kOpenWebPage].fn, "http://127.0.0.1:9/相册?a=1&b=2");
    // The launcher hands the address on in the Unix code page (UTF-8 here).
    EXPECT_EQ(OpenedAddress(), "http://127.0.0.1:9/\xe7\x9b\xb8\xe5\x86\x8c?a=1&b=2");
}

TEST_F(RecordingBrowser, OpensTheDefaultAddressWhenNoneIsGiven) {
    Value r = CallLibrary(kAppInterfaceCommands[kOpenWebPage].fn);
    EXPECT_EQ(r.tag, 0u);  // no result
    EXPECT_EQ(OpenedAddress(), kDefaultWebAddress);
}

}  // namespace
}  // namespace rt

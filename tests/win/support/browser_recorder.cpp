// Recording what Wine's browser launcher is asked to open.
#include "tests/win/support/browser_recorder.h"

#include <cstdio>

namespace testing_support {

namespace {
constexpr char kBrowserKey[] = "Software\\Wine\\WineBrowser";
}

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

BrowserRecorder::BrowserRecorder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static int serial = 0;
    record_ = std::string(temp) + "opened-address-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++serial) + ".txt";
    DeleteFileA(record_.c_str());
    std::string unixRecord = UnixPath(record_);
    if (unixRecord.empty() || RegCreateKeyExA(HKEY_CURRENT_USER, kBrowserKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                              &key_, nullptr) != ERROR_SUCCESS)
        return;
    char old[2048];
    DWORD size = sizeof old, type = 0;
    hadValue_ =
        RegQueryValueExA(key_, "Browsers", nullptr, &type, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS;
    if (hadValue_) {
        oldValue_.assign(old, size);
        oldType_ = type;
    }
    // The launcher splits the value at commas and each entry like a command line; it appends the address.
    std::string command = "/bin/sh -c \"printf %s \\\"$1\\\" > '" + unixRecord + "'\" record";
    ready_ = RegSetValueExA(key_, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                            DWORD(command.size() + 1)) == ERROR_SUCCESS;
}

BrowserRecorder::~BrowserRecorder() {
    if (key_) {
        if (hadValue_)
            RegSetValueExA(key_, "Browsers", 0, oldType_, reinterpret_cast<const BYTE*>(oldValue_.data()),
                           DWORD(oldValue_.size()));
        else
            RegDeleteValueA(key_, "Browsers");
        RegCloseKey(key_);
    }
    DeleteFileA(record_.c_str());
}

std::string BrowserRecorder::Opened(int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 100) {
        if (FILE* f = std::fopen(record_.c_str(), "rb")) {
            char buffer[1024];
            size_t n = std::fread(buffer, 1, sizeof buffer, f);
            std::fclose(f);
            if (n > 0) return std::string(buffer, n);
        }
        Sleep(100);
    }
    return "";
}

void BrowserRecorder::Clear() { DeleteFileA(record_.c_str()); }

}  // namespace testing_support

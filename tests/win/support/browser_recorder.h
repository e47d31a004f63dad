// Points Wine's browser launcher (HKCU\Software\Wine\WineBrowser "Browsers") at a command that records the
// address it is asked to open, and puts the previous value back afterwards (the Wine prefix is shared).
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

class BrowserRecorder {
public:
    BrowserRecorder();
    ~BrowserRecorder();
    BrowserRecorder(const BrowserRecorder&) = delete;
    BrowserRecorder& operator=(const BrowserRecorder&) = delete;

    bool ready() const { return ready_; }
    // The address the launcher was asked to open, once its command has written it (up to 30 seconds); empty
    // when nothing was opened. The launcher hands it on in the Unix code page (UTF-8 here).
    std::string Opened(int timeoutMs = 30000);
    // Forgets what was recorded so far.
    void Clear();

private:
    HKEY key_ = nullptr;
    bool ready_ = false;
    bool hadValue_ = false;
    std::string oldValue_;
    DWORD oldType_ = REG_SZ;
    std::string record_;
};

// The Unix path of a Windows path (through Wine's kernel32 export); empty outside Wine.
std::string UnixPath(const std::string& windowsPath);

}  // namespace testing_support

// Child-process scenarios and the runner that starts them and answers their message boxes.
#include "tests/win/child_process.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <thread>

namespace rt {

namespace {

std::map<std::string, void (*)()>& Scenarios() {
    static std::map<std::string, void (*)()> scenarios;
    return scenarios;
}

struct BoxSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<BoxSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == s->pid && std::strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindStatic(HWND child, LPARAM lp) {
    char cls[64] = {};
    GetClassNameA(child, cls, sizeof cls);
    char text[1024] = {};
    GetWindowTextA(child, text, sizeof text);
    if (std::strcmp(cls, "Static") == 0 && text[0]) {
        *reinterpret_cast<std::string*>(lp) = text;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool RegisterChildScenario(const char* name, void (*body)()) {
    Scenarios()[name] = body;
    return true;
}

bool FindMessageBox(DWORD processId, HWND* box, std::string* title, std::string* text) {
    BoxSearch s{processId, nullptr};
    EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&s));
    if (!s.found) return false;
    *box = s.found;
    char t[256] = {};
    GetWindowTextA(s.found, t, sizeof t);
    *title = t;
    text->clear();
    EnumChildWindows(s.found, &FindStatic, reinterpret_cast<LPARAM>(text));
    return true;
}

ChildResult RunChild(const std::string& scenario, bool answerErrorBox, DWORD timeoutMs, const std::string& program) {
    ChildResult result;
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string command = "\"" + (program.empty() ? std::string(exe) : program) + "\" --child=" + scenario;

    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readPipe, writePipe;
    CreatePipe(&readPipe, &writePipe, &sa, 0);
    SetHandleInformation(readPipe, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writePipe;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        result.exitCode = 0xDEADBEEF;
        return result;
    }
    CloseHandle(writePipe);
    std::thread reader([&] {
        char buf[512];
        DWORD n;
        while (ReadFile(readPipe, buf, sizeof buf, &n, nullptr) && n) result.output.append(buf, n);
    });
    DWORD waited = 0;
    while (WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT && waited < timeoutMs) {
        waited += 50;
        HWND box;
        if (answerErrorBox && result.boxTitle.empty() &&
            FindMessageBox(pi.dwProcessId, &box, &result.boxTitle, &result.boxText))
            PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 0xDEAD);
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &result.exitCode);
    reader.join();
    CloseHandle(readPipe);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return result;
}

// Runs the named scenario when started as a child; otherwise returns so that the tests run.
void RunChildScenarioIfAsked(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--child=", 8) != 0) continue;
        auto it = Scenarios().find(argv[i] + 8);
        if (it == Scenarios().end()) ExitProcess(0xBAD);
        it->second();
        ExitProcess(0);
    }
}

int PrintFatalError(int32_t, const char* message) {
    std::printf("fatal %s", message);
    std::fflush(stdout);
    return 1;
}

}  // namespace rt

// The program's start and end on Win32: run paths, the hidden main-thread window, and ExitProgram.
#include <windows.h>
#include <ole2.h>

#include <atomic>

#include "runtime/dll_commands.h"
#include "runtime/errors.h"
#include "runtime/program.h"
#include "runtime/system_libraries_win.h"

namespace rt {

void SetRunPaths(const std::string& directory, const std::string& name);

namespace {

constexpr UINT kExitRequest = 0x83E7;
DWORD mainThreadId = GetCurrentThreadId();
HWND hiddenWindow = nullptr;
std::atomic<bool> mainEnding{false};

[[noreturn]] void EndOnMainThread(int32_t code) {
    mainEnding = true;
    MarkProgramEnding();
    RunExitRoutineAndShutdown();
    UnloadDllCommands();
    if (hiddenWindow) {
        DestroyWindow(hiddenWindow);
        hiddenWindow = nullptr;
    }
    ExitProcess(static_cast<UINT>(code));
}

LRESULT CALLBACK HiddenProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kExitRequest) EndOnMainThread(static_cast<int32_t>(wparam));
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

void CreateHiddenWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HiddenProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PexoRuntimeHidden";
    RegisterClassA(&wc);
    hiddenWindow =
        CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

}  // namespace

void InitRuntime() {
    RestrictDllSearch();
    mainThreadId = GetCurrentThreadId();
    char path[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string directory, name;
    SplitExecutablePath(std::string(path, n), &directory, &name);
    SetRunPaths(directory, name);
    if (!directory.empty()) SetCurrentDirectoryA(directory.c_str());
    OleInitialize(nullptr);
    if (!hiddenWindow) CreateHiddenWindow();
}

bool IsMainThread() { return GetCurrentThreadId() == mainThreadId; }

void ExitProgram(int32_t code) {
    if (!IsMainThread()) {
        // The main thread ends the program; if it is not already doing so, end the process from here.
        if (hiddenWindow) SendMessageA(hiddenWindow, kExitRequest, static_cast<WPARAM>(code), 0);
        if (!mainEnding) ExitProcess(static_cast<UINT>(code));
        for (;;) Sleep(INFINITE);
    }
    EndOnMainThread(code);
}

}  // namespace rt

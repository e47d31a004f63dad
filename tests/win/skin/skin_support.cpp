// Helpers for the skin engine tests: loading the embedded engine, test windows, snapshots and child reports.
#include "tests/win/skin/skin_support.h"

#include <commctrl.h>

#include <cstdio>
#include <sstream>

#include "runtime/value.h"
#include "skin/embedded_skins.h"

namespace skin::test {

Engine LoadEngine() {
    Engine e;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    char dir[MAX_PATH];
    std::snprintf(dir, sizeof dir, "%sskin-test-%lu-%lu", temp, GetCurrentProcessId(), GetTickCount());
    CreateDirectoryA(dir, nullptr);
    std::string path = std::string(dir) + "\\SkinH_EL.dll";
    const void* block = EngineByteSet();
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return e;
    DWORD written = 0;
    WriteFile(f, rt::BytesDataOf(block), DWORD(rt::BytesLengthOf(block)), &written, nullptr);
    CloseHandle(f);
    e.module = LoadLibraryA(path.c_str());
    if (!e.module) return e;
    e.attach = reinterpret_cast<AttachFn>(reinterpret_cast<void*>(GetProcAddress(e.module, "SkinH_AttachRes")));
    e.aero = reinterpret_cast<AeroFn>(reinterpret_cast<void*>(GetProcAddress(e.module, "SkinH_SetAero")));
    return e;
}

std::vector<uint8_t> SkinBytes(int index) {
    const void* block = SkinByteSet(index);
    const uint8_t* data = rt::BytesDataOf(block);
    return std::vector<uint8_t>(data, data + rt::BytesLengthOf(block));
}

SkinData SkinOf(int index) {
    std::vector<uint8_t> bytes = SkinBytes(index);
    SkinData d;
    ReadSkin(bytes.data(), bytes.size(), &d);
    return d;
}

int32_t Attach(const Engine& e, int index, int32_t hue) {
    // The program hands over a heap copy and frees it right after the call; do the same.
    std::vector<uint8_t> copy = SkinBytes(index);
    int32_t r = e.attach(copy.data(), int32_t(copy.size()), "", hue, 0, 0);
    std::fill(copy.begin(), copy.end(), 0xCD);
    return r;
}

namespace {

const char kFrameClass[] = "SkinTestFrame";

void RegisterFrameClass() {
    WNDCLASSA wc{};
    if (GetClassInfoA(GetModuleHandleA(nullptr), kFrameClass, &wc)) return;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1);
    wc.lpszClassName = kFrameClass;
    RegisterClassA(&wc);
}

}  // namespace

HWND MakeFrame(const char* title, int width, int height, DWORD style) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    RegisterFrameClass();
    return CreateWindowExA(0, kFrameClass, title, style | WS_VISIBLE, 60, 40, width, height, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

HWND MakeControl(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
    HWND c = CreateWindowExA(0, cls, text, style | WS_CHILD | WS_VISIBLE, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(intptr_t(id)), GetModuleHandleA(nullptr), nullptr);
    SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return c;
}

WNDPROC ClassProc(const char* cls) {
    RegisterFrameClass();
    WNDCLASSA wc{};
    if (!GetClassInfoA(GetModuleHandleA(nullptr), cls, &wc)) GetClassInfoA(nullptr, cls, &wc);
    return wc.lpfnWndProc;
}

bool Subclassed(HWND hwnd) {
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC)) != ClassProc(cls);
}

Snapshot::Snapshot(HWND control) {
    RECT r;
    GetClientRect(control, &r);
    width_ = r.right;
    height_ = r.bottom;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width_;
    bi.bmiHeader.biHeight = -height_;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    bits_ = static_cast<uint32_t*>(bits);
    if (!bitmap_ || !dc) return;
    HGDIOBJ old = SelectObject(dc, bitmap_);
    for (int i = 0; i < width_ * height_; ++i) bits_[i] = 0x00FF00FF;  // magenta: "not painted"
    SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    GdiFlush();
    SelectObject(dc, old);
    DeleteDC(dc);
}

Snapshot::~Snapshot() {
    if (bitmap_) DeleteObject(bitmap_);
}

COLORREF Snapshot::At(int x, int y) const {
    if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    uint32_t p = bits_[size_t(y) * width_ + x];
    return RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
}

std::map<std::string, std::string> ParseReport(const std::string& output) {
    std::map<std::string, std::string> out;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t space = line.find(' ');
        if (space == std::string::npos)
            out[line] = "";
        else
            out[line.substr(0, space)] = line.substr(space + 1);
    }
    return out;
}

void Report(const char* key, const std::string& value) {
    char path[MAX_PATH];
    if (GetEnvironmentVariableA("PEXO_SKIN_REPORT", path, MAX_PATH)) {
        if (FILE* f = std::fopen(path, "ab")) {
            std::fprintf(f, "%s %s\n", key, value.c_str());
            std::fclose(f);
        }
        return;
    }
    std::printf("%s %s\n", key, value.c_str());
    std::fflush(stdout);
}

std::string RunInDesktop(const char* scenario, DWORD timeoutMs) {
    char temp[MAX_PATH], exe[MAX_PATH], report[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::snprintf(report, sizeof report, "%sskin-report-%lu.txt", temp, GetCurrentProcessId());
    DeleteFileA(report);
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string command = "explorer.exe /desktop=skintest" + std::to_string(GetCurrentProcessId()) + ",640x480 \"";
    command.append(exe).append("\" --child=").append(scenario);
    SetEnvironmentVariableA("PEXO_SKIN_REPORT", report);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA("PEXO_SKIN_REPORT", nullptr);
    if (!started) return "not-started";
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    std::string out;
    if (FILE* f = std::fopen(report, "rb")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
        std::fclose(f);
    }
    DeleteFileA(report);
    return out;
}

void Report(const char* key, long long value) { Report(key, std::to_string(value)); }

std::string Hex(COLORREF c) {
    char b[16];
    std::snprintf(b, sizeof b, "%02x%02x%02x", GetRValue(c), GetGValue(c), GetBValue(c));
    return b;
}

bool Between(COLORREF c, COLORREF a, COLORREF b) {
    auto in = [](int v, int x, int y) { return v >= (x < y ? x : y) - 1 && v <= (x < y ? y : x) + 1; };
    return in(GetRValue(c), GetRValue(a), GetRValue(b)) && in(GetGValue(c), GetGValue(a), GetGValue(b)) &&
           in(GetBValue(c), GetBValue(a), GetBValue(b));
}

void PumpFor(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    MSG m;
    do {
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        Sleep(5);
    } while (int(end - GetTickCount()) > 0);
}

}  // namespace skin::test

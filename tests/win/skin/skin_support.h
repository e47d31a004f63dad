// Helpers for the skin engine tests: the engine loaded from its embedded bytes, windows to skin, pixel probes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "skin/skin_format.h"

namespace skin::test {

using AttachFn = int32_t (*)(const void*, int32_t, const char*, int32_t, int32_t, int32_t);
using AeroFn = int32_t (*)(int32_t);

struct Engine {
    HMODULE module = nullptr;
    AttachFn attach = nullptr;
    AeroFn aero = nullptr;
};

// Writes the embedded engine bytes as SkinH_EL.dll into a fresh folder under the temporary folder and loads it,
// as the program does with its own directory.
Engine LoadEngine();

// The bytes of skin file 1..33 (a copy) and its colours as the file stores them.
std::vector<uint8_t> SkinBytes(int index);
SkinData SkinOf(int index);
int32_t Attach(const Engine& e, int index, int32_t hue = 0);

// A top-level window of a private class (DefWindowProc) with a caption, and a child control in it.
HWND MakeFrame(const char* title, int width = 420, int height = 320, DWORD style = WS_OVERLAPPEDWINDOW);
HWND MakeControl(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id = 0);
// The window procedure a window of class cls has before anyone subclasses it.
WNDPROC ClassProc(const char* cls);
bool Subclassed(HWND hwnd);

// The control drawn through WM_PRINTCLIENT into a 32-bit bitmap of its client size.
class Snapshot {
public:
    explicit Snapshot(HWND control);
    ~Snapshot();
    COLORREF At(int x, int y) const;
    int width() const { return width_; }
    int height() const { return height_; }

private:
    int width_ = 0, height_ = 0;
    uint32_t* bits_ = nullptr;
    HBITMAP bitmap_ = nullptr;
};

// Runs "win_tests.exe --child=scenario" inside a new Wine virtual desktop (where windows have frames and the
// screen can be read back) and returns what the scenario reported through Report.
std::string RunInDesktop(const char* scenario, DWORD timeoutMs = 60000);

// Lines "key value..." printed by a child scenario, keyed by their first word.
std::map<std::string, std::string> ParseReport(const std::string& output);
// Prints "key value"; inside RunInDesktop the line goes to the report file instead.
void Report(const char* key, const std::string& value);
void Report(const char* key, long long value);
std::string Hex(COLORREF c);
// Between a and b, channel by channel (gradients land anywhere in that box).
bool Between(COLORREF c, COLORREF a, COLORREF b);
void PumpFor(DWORD ms);

}  // namespace skin::test

// A test window for the window layer: one control of every type, menus, every event bound to a recorder, and
// helpers to read and write properties and to pump messages as the program's loop does.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/frame.h"
#include "runtime/value.h"

namespace uitest {

constexpr uint32_t kWindowId = 0x52010077;
constexpr uint32_t kWindow = 0x06010000;
constexpr uint32_t kGroup = 0x16010101;
constexpr uint32_t kButton = 0x16010102;
constexpr uint32_t kEdit = 0x16010103;
constexpr uint32_t kCheck = 0x16010104;
constexpr uint32_t kCombo = 0x16010105;
constexpr uint32_t kScroll = 0x16010106;
constexpr uint32_t kContainer = 0x16010107;  // shape box holding the two templates and the picture button
constexpr uint32_t kPanel = 0x16010108;      // draw-panel template (hidden)
constexpr uint32_t kCellCheck = 0x16010109;  // check-box template (hidden)
constexpr uint32_t kPicBtn = 0x1601010A;
constexpr uint32_t kProgress = 0x1601010B;
constexpr uint32_t kLabel = 0x1601010C;
constexpr uint32_t kLink = 0x1601010D;
constexpr uint32_t kHiddenLabel = 0x1601010E;
constexpr uint32_t kTransLabel = 0x1601010F;
constexpr uint32_t kMenuPopup = 0x26010201;  // hidden top-level menu, shown only as a pop-up
constexpr uint32_t kMenuFirst = 0x26010202;
constexpr uint32_t kMenuHiddenItem = 0x26010203;
constexpr uint32_t kMenuSecond = 0x26010204;
constexpr uint32_t kMenuBar = 0x26010205;
constexpr uint32_t kMenuBarItem = 0x26010206;

// Where the test places the cells in the container.
constexpr int kPanelWidth = 150, kPanelHeight = 143;

struct Fired {
    int32_t event;
    rt::ControlRef source;
    uint32_t tag;
    std::vector<int32_t> args;
};

// What the handlers recorded, in order; the close query answers closeAnswer; onEvent runs inside each handler.
extern std::vector<Fired> fired;
extern bool closeAnswer;
extern std::function<void(const Fired&)> onEvent;
// Menu clicks are recorded as event 0 with the menu item as source.

// Installs the test window's description and handler table, loads it and returns its native window, which is
// stored hidden; show it for tests that need painting or focus.
HWND LoadTestWindow(bool show = false);
// Destroys it and empties the queue (including the quit message its end posts).
void UnloadTestWindow();
// The native window of a control, found by its child id as the UI driver does (in the test window, or in top).
HWND ControlWindow(uint32_t controlId);
HWND ChildById(HWND top, uint32_t controlId);

// Processes every waiting message as the message loop does; the quit message is dropped.
void Pump();
// Pumps until the condition holds or the time runs out.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

int32_t ReadInt(uint32_t control, int32_t property);
std::string ReadText(uint32_t control, int32_t property);
void WriteInt(uint32_t control, int32_t property, int32_t value);
void WriteText(uint32_t control, int32_t property, const char* text);
void WriteBytes(uint32_t control, int32_t property, const std::vector<uint8_t>& bytes);

// An error hook for child processes: prints "fatal:" and the message, and skips the message box.
int PrintFatal(int32_t number, const char* message);

// A control reference argument.
rt::Value Ref(uint32_t control, uint32_t tag);

// A JPEG file of one colour (0x00RRGGBB) and the given size.
std::vector<uint8_t> SolidJpeg(int width, int height, uint32_t rgb);

}  // namespace uitest

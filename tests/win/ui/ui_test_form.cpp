// The window layer's test window: its description, the recording handlers and the helpers.
#include "tests/win/ui/ui_test_form.h"

#include <cstdio>

#include "runtime/application.h"
#include "runtime/call.h"
#include "runtime/kernel_commands.h"
#include "runtime/memory.h"
#include "tests/jpeg_writer.h"
#include "ui/form_description.h"
#include "ui/gif.h"
#include "ui/window_layer.h"

namespace uitest {

using namespace ui;

std::vector<Fired> fired;
bool closeAnswer = true;
std::function<void(const Fired&)> onEvent;

namespace {

// Handler slots: one recorder per event number, the close query and menu clicks.
constexpr int32_t kRecordedEvents[] = {0, -1, -2, -3, -4, -5, -6, -9, -10, -11, -12, 2};

rt::Value Record(int32_t event, int32_t argc, rt::Value* args) {
    rt::Value source = rt::CallKernel(rt::kGetEventControl);
    Fired f{event, {source.low, source.high}, source.tag, {}};
    for (int32_t i = 0; i < argc; ++i) f.args.push_back(args[i].AsInt());
    fired.push_back(f);
    if (onEvent) onEvent(f);
    return {};
}

template <int Index>
rt::Value RecordSlot(int32_t argc, rt::Value* args) {
    return Record(kRecordedEvents[Index], argc, args);
}

rt::Value CloseQuery(int32_t argc, rt::Value* args) {
    Record(1, argc, args);
    return rt::Value::Bool(closeAnswer);
}

const rt::EventHandler kHandlers[] = {
    nullptr,        &RecordSlot<0>, &RecordSlot<1>, &RecordSlot<2>, &RecordSlot<3>,  &RecordSlot<4>,  &RecordSlot<5>,
    &RecordSlot<6>, &RecordSlot<7>, &RecordSlot<8>, &RecordSlot<9>, &RecordSlot<10>, &RecordSlot<11>, &CloseQuery,
};
constexpr uint32_t kCloseSlot = 13;

std::vector<EventBinding> AllEvents() {
    std::vector<EventBinding> events;
    for (uint32_t i = 0; i < 11; ++i) events.push_back({kRecordedEvents[i], i + 1});
    return events;
}

FormElement Control(uint32_t id, uint32_t type, const char* name, uint32_t parent, int left, int top, int width,
                    int height, uint32_t state, std::vector<UnitValue> values) {
    return ControlElement(id, type, name, parent, left, top, width, height, state, AllEvents(), std::move(values));
}

// Menu clicks are recorded as event 0 (slot 1).
FormElement Menu(uint32_t id, uint32_t level, const char* caption, uint32_t status) {
    return MenuElement(id, caption, level, caption, status, 1);
}

std::vector<uint8_t> Encoded() {
    constexpr uint32_t V = kStateVisible, T = kStateTabStop;
    FormDescription form;
    form.windowId = kWindowId;
    // Stored hidden: without a window manager, Wine waits about two seconds for a shown window to go away.
    FormElement window = Control(kWindow, kUnitWindow, "", 0, 40, 40, 700, 560, 0, {TextValue(8, "界面测试窗口")});
    window.events.push_back({kEventCloseQuery, kCloseSlot});
    window.events.push_back({kEventDestroy, 12});
    form.elements = {
        window,
        Control(kGroup, kUnitGroupBox, "分组", 0, 0, 0, 690, 520, V, {}),
        Control(kButton, kUnitButton, "按钮", kGroup, 10, 20, 80, 26, V | T, {TextValue(8, "按我")}),
        Control(kEdit, kUnitEditBox, "编辑", kGroup, 100, 20, 120, 22, V | T, {}),
        Control(kCheck, kUnitCheckBox, "选择", kGroup, 230, 20, 100, 22, V | T,
                {IntValue(8, int32_t(Rgb(96, 96, 96))), TextValue(11, "勾选")}),
        Control(kCombo, kUnitComboBox, "组合", kGroup, 340, 20, 150, 20, V | T,
                {IntValue(10, int32_t(Rgb(255, 255, 255)))}),
        Control(kScroll, kUnitVScrollBar, "滚动", kGroup, 660, 60, 16, 300, V | kStateDisabled, {IntValue(9, 50)}),
        Control(kContainer, kUnitShapeBox, "外形", kGroup, 10, 60, 640, 400, V,
                {IntValue(12, int32_t(Rgb(255, 255, 255)))}),
        Control(kPanel, kUnitDrawPanel, "画板", kContainer, 8, 13, kPanelWidth, kPanelHeight, kStateTemplate,
                {IntValue(9, int32_t(Rgb(247, 249, 247)))}),
        Control(kCellCheck, kUnitCheckBox, "格选", kContainer, 8, 164, 150, 20, kStateTemplate,
                {IntValue(8, int32_t(Rgb(96, 96, 96))), TextValue(11, "模板")}),
        Control(kPicBtn, kUnitPicBtn, "图形", kContainer, 300, 8, 162, 176, V,
                {BytesValue(8, FrameGif(162, 175, Rgb(242, 193, 209), 4)),
                 BytesValue(9, FrameGif(162, 175, Rgb(223, 242, 193), 4))}),
        Control(kProgress, kUnitProcessBar, "进度", kGroup, 10, 470, 640, 12, V, {IntValue(12, 100)}),
        Control(kLabel, kUnitLabel, "标签", kGroup, 10, 490, 100, 16, V, {TextValue(8, "标签文字")}),
        Control(kLink, kUnitHyperLinker, "链接", 0, 500, 490, 80, 16, V,
                {TextValue(8, "链接"), TextValue(9, "http://127.0.0.1:9/"),
                 FontValue(10, FontSpec{"宋体", -12, 400, 134, false, false})}),
        Control(kHiddenLabel, kUnitLabel, "隐藏", kGroup, 120, 490, 60, 16, 0, {TextValue(8, "V1.0")}),
        Control(kTransLabel, kUnitTransLabel, "透明", kGroup, 200, 490, 100, 16, V,
                {TextValue(8, "透明文字"), IntValue(9, int32_t(Rgb(128, 0, 0)))}),
        Menu(kMenuPopup, 0, "弹出", kMenuHidden),
        Menu(kMenuFirst, 1, "第一项", 0),
        Menu(kMenuHiddenItem, 1, "隐藏项", kMenuHidden),
        Menu(kMenuSecond, 1, "第二项", 0),
        Menu(kMenuBar, 0, "菜单", 0),
        Menu(kMenuBarItem, 1, "菜单项", 0),
    };
    LinkChildren(form);
    return EncodeForms({form});
}

}  // namespace

HWND LoadTestWindow(bool show) {
    static void* block = [] {
        std::vector<uint8_t> bytes = Encoded();
        return rt::NewBytes(bytes.data(), bytes.size());
    }();
    rt::SetApplicationImage({block, kHandlers, int32_t(sizeof kHandlers / sizeof kHandlers[0])});
    fired.clear();
    onEvent = nullptr;
    closeAnswer = true;
    rt::LoadStartWindow(kWindowId);
    HWND window = FindWindowA("PexoWindow", "界面测试窗口");
    if (show && window) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
    Pump();
    return window;
}

void UnloadTestWindow() {
    onEvent = nullptr;
    if (HWND hwnd = FindWindowA("PexoWindow", "界面测试窗口")) DestroyWindow(hwnd);
    Pump();
}

namespace {
struct ChildSearch {
    int id;
    HWND found;
};
BOOL CALLBACK MatchChild(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<ChildSearch*>(lp);
    if (GetDlgCtrlID(hwnd) == s->id) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND ChildById(HWND top, uint32_t controlId) {
    ChildSearch s{int(controlId & 0xFFFF), nullptr};
    if (top) EnumChildWindows(top, &MatchChild, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND ControlWindow(uint32_t controlId) { return ChildById(FindWindowA("PexoWindow", "界面测试窗口"), controlId); }

void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        if (message.message != WM_QUIT) ui::DispatchMessageLikeLoop(&message);
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        Pump();
    }
    return true;
}

int32_t ReadInt(uint32_t control, int32_t property) {
    return int32_t(rt::ReadProperty(kWindowId, control, property, -1).low);
}

std::string ReadText(uint32_t control, int32_t property) {
    rt::PropertyValue v = rt::ReadProperty(kWindowId, control, property, -1);
    char* text = reinterpret_cast<char*>(uintptr_t(uint64_t(v.high) << 32 | v.low));
    std::string s = text ? text : "";
    rt::MemFree(text);
    return s;
}

void WriteInt(uint32_t control, int32_t property, int32_t value) {
    rt::WriteProperty(kWindowId, control, property, -1, uint32_t(value), 0);
}

void WriteText(uint32_t control, int32_t property, const char* text) {
    uint64_t p = uint64_t(reinterpret_cast<uintptr_t>(text));
    rt::WriteProperty(kWindowId, control, property, -1, uint32_t(p), uint32_t(p >> 32));
}

void WriteBytes(uint32_t control, int32_t property, const std::vector<uint8_t>& bytes) {
    void* block = rt::NewBytes(bytes.data(), bytes.size());
    uint64_t p = uint64_t(reinterpret_cast<uintptr_t>(block));
    rt::WriteProperty(kWindowId, control, property, -1, uint32_t(p), uint32_t(p >> 32));
    rt::MemFree(block);
}

int PrintFatal(int32_t, const char* message) {
    std::printf("fatal:%s\n", message);
    std::fflush(stdout);
    return 1;
}

rt::Value Ref(uint32_t control, uint32_t tag) { return rt::Value::Control(tag, kWindowId, control); }

std::vector<uint8_t> SolidJpeg(int width, int height, uint32_t rgb) {
    return testing_support::EncodeJpeg(width, height, [=](int, int) { return rgb; });
}

}  // namespace uitest

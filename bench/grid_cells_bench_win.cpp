// Benchmark of the thumbnail grid's copies: an album of 6,000 pictures built as the grid builds it (a draw-panel
// and a check-box copy per picture, 600 per container, a message pump after each cell), thumbnails set from ten
// worker threads, then the grid destroyed. Side by side: 2,000 copies that are cells against 2,000 copies that
// are windows (what every copy would cost if each were a window; 12,000 of those exceed the 10,000 window
// handles a process may hold).
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "runtime/application.h"
#include "runtime/call.h"
#include "runtime/memory.h"
#include "runtime/program.h"
#include "tests/jpeg_writer.h"
#include "ui/form_description.h"
#include "ui/window_layer.h"

namespace {

using namespace ui;
// <chrono> cannot be compiled with GBK narrow literals (its "µs" suffix has no GBK form): the performance counter.
struct Clock {
    using time_point = LARGE_INTEGER;
    static LARGE_INTEGER now() {
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        return t;
    }
};

constexpr uint32_t kWindowId = 0x52010099;
constexpr uint32_t kGrid = 0x16010001;   // shape box: the first container, holds the templates
constexpr uint32_t kPanel = 0x16010002;  // draw-panel template
constexpr uint32_t kCheck = 0x16010003;  // check-box template
constexpr uint32_t kGroup = 0x16010004;  // group box: copies of its draw panel are windows
constexpr uint32_t kGroupPanel = 0x16010005;

rt::Value Nothing(int32_t, rt::Value*) { return {}; }
const rt::EventHandler kHandlers[] = {nullptr, &Nothing};

FormElement Element(uint32_t id, uint32_t type, uint32_t parent, int w, int h, uint32_t state,
                    std::vector<UnitValue> values = {}) {
    return ControlElement(id, type, "", parent, 0, 0, w, h, state,
                          {{kEventLeftDown, 1}, {kEventRightUp, 1}, {kEventClicked, 1}}, std::move(values));
}

void* FormBlock() {
    FormDescription f;
    f.windowId = kWindowId;
    f.elements = {
        Element(kWindowElementId, kUnitWindow, 0, 884, 669, kStateVisible, {TextValue(8, "网格基准")}),
        Element(kGrid, kUnitShapeBox, 0, 835, 545, kStateVisible, {IntValue(12, int32_t(Rgb(255, 255, 255)))}),
        Element(kPanel, kUnitDrawPanel, kGrid, 150, 143, 0, {IntValue(9, int32_t(Rgb(247, 249, 247)))}),
        Element(kCheck, kUnitCheckBox, kGrid, 150, 20, 0, {TextValue(11, "横五纵三隔四")}),
        Element(kGroup, kUnitGroupBox, 0, 835, 545, 0),
        Element(kGroupPanel, kUnitDrawPanel, kGroup, 150, 143, 0),
    };
    LinkChildren(f);
    std::vector<uint8_t> bytes = EncodeForms({f});
    return rt::NewBytes(bytes.data(), bytes.size());
}

// A JPEG with some detail, so that decoding does real work.
std::vector<uint8_t> Jpeg(int width, int height) {
    return testing_support::EncodeJpeg(width, height, [](int x, int y) {
        return uint32_t(uint8_t(x * 7 + y)) << 16 | uint32_t(uint8_t(y * 5)) << 8 | uint8_t((x ^ y) * 3);
    });
}

void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        if (m.message != WM_QUIT) ui::DispatchMessageLikeLoop(&m);
}

// Bytes in use on every heap of the process (the runtime's heap and the C++ allocator's). Wine reports no
// private-usage figure, so the heaps are walked.
size_t PrivateBytes() {
    HANDLE heaps[64];
    DWORD count = GetProcessHeaps(64, heaps);
    size_t used = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        PROCESS_HEAP_ENTRY entry = {};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) used += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return used;
}

BOOL CALLBACK CountWindow(HWND, LPARAM counter) {
    ++*reinterpret_cast<DWORD*>(counter);
    return TRUE;
}

// Windows of the benchmark's window (Wine keeps no count of a process's user objects).
DWORD UserObjects() {
    DWORD n = 0;
    EnumChildWindows(FindWindowA("PexoWindow", "网格基准"), &CountWindow, reinterpret_cast<LPARAM>(&n));
    return n;
}

rt::ControlRef Copy(uint32_t source, uint32_t tag) {
    rt::ControlRef variable{0, 0};
    rt::CallKernel(rt::kCopyControl, rt::Value::Control(tag, kWindowId, source), rt::Ref{&variable, tag});
    return variable;
}

void Write(rt::ControlRef c, int32_t property, uint32_t low, uint32_t high = 0) {
    rt::WriteProperty(c.window, c.control, property, -1, low, high);
}

void WriteText(rt::ControlRef c, int32_t property, const char* text) {
    uint64_t p = uint64_t(reinterpret_cast<uintptr_t>(text));
    Write(c, property, uint32_t(p), uint32_t(p >> 32));
}

double Seconds(Clock::time_point since) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(Clock::now().QuadPart - since.QuadPart) / double(frequency.QuadPart);
}

struct Grid {
    std::vector<rt::ControlRef> thumbs, checks, containers;
};

// The grid's step 10 and 11: containers first, then per picture two copies, re-parented past 600, placed,
// captioned, shown, and a message pump.
double pumpSeconds = 0;  // of the build, the time spent in the message pump (painting included)

Grid Build(int pictures) {
    Grid g;
    int containers = (pictures + 599) / 600;
    for (int k = 1; k < containers; ++k) {
        rt::ControlRef c = Copy(kGrid, rt::kTagShapeBox);
        Write(c, 1, uint32_t(545 + 541 * k));
        Write(c, 5, 1);
        g.containers.push_back(c);
    }
    int left = 12, top = 12;
    for (int i = 1; i <= pictures; ++i) {
        rt::ControlRef thumb = Copy(kPanel, rt::kTagDrawPanel);
        rt::ControlRef check = Copy(kCheck, rt::kTagCheckBox);
        if (i > 600) {
            rt::Value container =
                rt::Value::Control(rt::kTagShapeBox, kWindowId, g.containers[size_t((i - 1) / 600 - 1)].control);
            rt::CallKernel(rt::kSetParentControl, rt::Value::Control(rt::kTagDrawPanel, kWindowId, thumb.control),
                           container);
            rt::CallKernel(rt::kSetParentControl, rt::Value::Control(rt::kTagCheckBox, kWindowId, check.control),
                           container);
        }
        if (i == 1 || i % 600 == 1)
            left = 12, top = 12;
        else if (i % 5 == 1)
            left = 12, top += 179;
        else
            left += 166;
        Write(thumb, 0, uint32_t(left));
        Write(thumb, 1, uint32_t(top));
        Write(check, 0, uint32_t(left));
        Write(check, 1, uint32_t(top + 143));
        char caption[64];
        std::snprintf(caption, sizeof caption, "(%d)IMG_%04d.jpg", i, i);
        WriteText(check, 11, caption);
        Write(thumb, 5, 1);
        Write(check, 5, 1);
        Clock::time_point pumpStart = Clock::now();
        Pump();
        pumpSeconds += Seconds(pumpStart);
        g.thumbs.push_back(thumb);
        g.checks.push_back(check);
    }
    return g;
}

void Destroy(const Grid& g) {
    for (size_t i = 0; i < g.thumbs.size(); ++i) {
        rt::CallKernel(rt::kDestroyUnit, rt::Value::Control(rt::kTagDrawPanel, kWindowId, g.thumbs[i].control));
        rt::CallKernel(rt::kDestroyUnit, rt::Value::Control(rt::kTagCheckBox, kWindowId, g.checks[i].control));
    }
    for (const auto& c : g.containers)
        rt::CallKernel(rt::kDestroyUnit, rt::Value::Control(rt::kTagShapeBox, kWindowId, c.control));
    Pump();
}

void SideBySide(int copies) {
    size_t memory = PrivateBytes();
    DWORD handles = UserObjects();
    auto start = Clock::now();
    std::vector<rt::ControlRef> made;
    for (int i = 0; i < copies; ++i) made.push_back(Copy(kPanel, rt::kTagDrawPanel));
    Pump();
    double cellSeconds = Seconds(start);
    size_t cellMemory = PrivateBytes() - memory;
    DWORD cellHandles = UserObjects() - handles;
    for (const auto& c : made)
        rt::CallKernel(rt::kDestroyUnit, rt::Value::Control(rt::kTagDrawPanel, kWindowId, c.control));
    made.clear();
    Pump();

    memory = PrivateBytes();
    handles = UserObjects();
    start = Clock::now();
    for (int i = 0; i < copies; ++i) made.push_back(Copy(kGroupPanel, rt::kTagDrawPanel));
    Pump();
    double windowSeconds = Seconds(start);
    size_t windowMemory = PrivateBytes() - memory;
    DWORD windowHandles = UserObjects() - handles;
    for (const auto& c : made)
        rt::CallKernel(rt::kDestroyUnit, rt::Value::Control(rt::kTagDrawPanel, kWindowId, c.control));
    Pump();

    std::printf("side by side, %d copies of a draw panel:\n", copies);
    std::printf("  as cells:   %7.1f us per copy, %6.0f bytes per copy, %lu window handles\n",
                cellSeconds * 1e6 / copies, double(cellMemory) / copies, cellHandles);
    std::printf("  as windows: %7.1f us per copy, %6.0f bytes per copy, %lu window handles\n",
                windowSeconds * 1e6 / copies, double(windowMemory) / copies, windowHandles);
    std::printf("  windows / cells: %.1fx the time\n", windowSeconds / cellSeconds);
}

}  // namespace

int main() {
    rt::InitRuntime();
    rt::SetApplicationImage({FormBlock(), kHandlers, 2});
    rt::LoadStartWindow(kWindowId);
    Pump();

    SideBySide(2000);

    const int pictures = 6000;
    size_t memory = PrivateBytes();
    DWORD handles = UserObjects();
    auto start = Clock::now();
    Grid grid = Build(pictures);
    double buildSeconds = Seconds(start);
    size_t buildMemory = PrivateBytes() - memory;
    std::printf("album of %d pictures: %d cells in %zu containers, %.1f s\n", pictures, 2 * pictures,
                grid.containers.size() + 1, buildSeconds);
    std::printf(
        "  per cell (copy, re-parent, place, caption, show, pump): %.1f us, %.0f bytes; window handles added: %lu\n",
        buildSeconds * 1e6 / (2 * pictures), double(buildMemory) / (2 * pictures), UserObjects() - handles);
    std::printf("  of which the message pump after each picture (painting included): %.1f us per cell\n",
                pumpSeconds * 1e6 / (2 * pictures));

    // Thumbnails from ten workers while the window thread waits as the responsive delay does.
    const int sizes[][2] = {{120, 90}, {150, 143}, {200, 150}, {90, 160}, {240, 100}, {64, 48}};
    std::vector<std::vector<uint8_t>> files;
    for (const auto& s : sizes) files.push_back(Jpeg(s[0], s[1]));
    std::vector<void*> blocks;
    for (const auto& f : files) blocks.push_back(rt::NewBytes(f.data(), f.size()));
    memory = PrivateBytes();
    std::atomic<int> next{0}, finished{0};
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    start = Clock::now();
    std::vector<std::thread> workers;
    for (int w = 0; w < 10; ++w) {
        workers.emplace_back([&] {
            for (int k; (k = next++) < pictures;) {
                rt::ControlRef t = grid.thumbs[size_t(k)];
                Write(t, 11, 2);
                uint64_t p = uint64_t(reinterpret_cast<uintptr_t>(blocks[size_t(k) % blocks.size()]));
                Write(t, 10, uint32_t(p), uint32_t(p >> 32));
            }
            if (++finished == 10) SetEvent(done);
        });
    }
    HANDLE wait[1] = {done};
    while (MsgWaitForMultipleObjects(1, wait, FALSE, INFINITE, 0xFF) != WAIT_OBJECT_0) Pump();
    for (auto& t : workers) t.join();
    double pictureSeconds = Seconds(start);
    std::printf(
        "thumbnails set by 10 workers (decoded and fitted on the workers): %.1f us per picture, %.0f bytes per "
        "picture kept\n",
        pictureSeconds * 1e6 / pictures, double(PrivateBytes() - memory) / pictures);

    start = Clock::now();
    Destroy(grid);
    std::printf("grid destroyed: %.1f us per cell\n", Seconds(start) * 1e6 / (2 * pictures));
    return 0;
}

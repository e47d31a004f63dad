// The skin engine under Wine, each case in a child process (an attached skin stays for the process's life):
// refusing bad skins, subclassing old and new windows, painting controls, hit-testing the caption, the
// translucent mode, and staying loaded once attached.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <thread>

#include "tests/win/child_process.h"
#include "tests/win/skin/skin_support.h"

namespace skin {
namespace {

using test::Report;

std::map<std::string, std::string> RunScenario(const char* name) {
    rt::ChildResult r = rt::RunChild(name);
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    auto report = test::ParseReport(r.output);
    EXPECT_EQ(report.count("done"), 1u) << r.output;
    return report;
}

CHILD_SCENARIO("skin-reject") {
    test::Engine e = test::LoadEngine();
    Report("loaded", e.attach && e.aero);
    HWND before = test::MakeFrame("before");
    std::vector<uint8_t> good = test::SkinBytes(10);
    Report("null", e.attach(nullptr, 100, "", 0, 0, 0));
    Report("empty", e.attach(good.data(), 0, "", 0, 0, 0));
    Report("negative", e.attach(good.data(), -5, "", 0, 0, 0));
    std::vector<uint8_t> bad = good;
    bad[0] = 'X';
    Report("magic", e.attach(bad.data(), int32_t(bad.size()), "", 0, 0, 0));
    Report("short", e.attach(good.data(), int32_t(good.size()) - 1, "", 0, 0, 0));
    bad = good;
    bad[bad.size() / 2] ^= 1;
    Report("corrupt", e.attach(bad.data(), int32_t(bad.size()), "", 0, 0, 0));
    Report("aero", e.aero(1));
    HWND after = test::MakeFrame("after");
    HWND button = test::MakeControl(after, "Button", "x", BS_PUSHBUTTON, 10, 10, 80, 24);
    Report("before-subclassed", test::Subclassed(before));
    Report("after-subclassed", test::Subclassed(after) || test::Subclassed(button));
    Report("after-layered", (GetWindowLongA(after, GWL_EXSTYLE) & WS_EX_LAYERED) != 0);
    Report("done", "");
}

TEST(SkinEngine, BadSkinsAreRefusedAndChangeNothing) {
    auto r = RunScenario("skin-reject");
    EXPECT_EQ(r["loaded"], "1");
    EXPECT_EQ(r["null"], "1");
    EXPECT_EQ(r["empty"], "1");
    EXPECT_EQ(r["negative"], "1");
    EXPECT_EQ(r["magic"], "2");
    EXPECT_EQ(r["short"], "4");
    EXPECT_EQ(r["corrupt"], "5");
    EXPECT_EQ(r["aero"], "0");
    EXPECT_EQ(r["before-subclassed"], "0");
    EXPECT_EQ(r["after-subclassed"], "0");
    EXPECT_EQ(r["after-layered"], "0");
}

CHILD_SCENARIO("skin-adopt") {
    test::Engine e = test::LoadEngine();
    HWND old = test::MakeFrame("old");
    HWND oldButton = test::MakeControl(old, "Button", "old", BS_PUSHBUTTON, 10, 10, 80, 24);
    HWND oldStatic = test::MakeControl(old, "Static", "label", 0, 10, 40, 80, 20);
    Report("attach", test::Attach(e, 10));
    Report("old-frame", test::Subclassed(old));
    Report("old-button", test::Subclassed(oldButton));
    Report("static-left-alone", !test::Subclassed(oldStatic));

    HWND fresh = test::MakeFrame("new");
    int count = 0;
    for (const char* cls : {"Button", "Edit", "ComboBox", "ScrollBar", PROGRESS_CLASSA})
        count +=
            test::Subclassed(test::MakeControl(fresh, cls, "", cls[0] == 'C' ? CBS_DROPDOWNLIST : 0, 0, 0, 50, 20));
    Report("new-frame", test::Subclassed(fresh));
    Report("new-controls", count);

    // Messages after which a standard button paints itself keep the button's visibility as it was.
    HWND shown = test::MakeControl(fresh, "Button", "shown", BS_AUTOCHECKBOX, 10, 60, 80, 20);
    HWND hidden = test::MakeControl(fresh, "Button", "hidden", BS_AUTOCHECKBOX, 10, 90, 80, 20);
    ShowWindow(hidden, SW_HIDE);
    for (HWND b : {shown, hidden}) {
        SendMessageA(b, BM_SETCHECK, BST_CHECKED, 0);
        SendMessageA(b, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("renamed"));
        SendMessageA(b, BM_SETSTATE, TRUE, 0);
    }
    Report("quiet-shown", IsWindowVisible(shown) && SendMessageA(shown, BM_GETCHECK, 0, 0) == BST_CHECKED);
    Report("quiet-hidden", IsWindowVisible(hidden) || (GetWindowLongA(hidden, GWL_STYLE) & WS_VISIBLE));

    // A thread started after the attach creates its windows skinned too.
    bool threadFrame = false;
    std::thread([&] { threadFrame = test::Subclassed(test::MakeFrame("thread")); }).join();
    Report("thread-frame", threadFrame);

    // A parent's default colour answer becomes the skin's face, with the skin's text colour.
    HDC dc = GetDC(old);
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageA(old, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(oldStatic)));
    LOGBRUSH lb{};
    GetObjectA(brush, sizeof lb, &lb);
    Report("static-brush", test::Hex(lb.lbColor));
    Report("static-back", test::Hex(GetBkColor(dc)));
    Report("static-text", test::Hex(GetTextColor(dc)));
    ReleaseDC(old, dc);

    // The caption buttons are the engine's: the top-right corner is the close button, the middle the caption.
    RECT wr, cr;
    GetWindowRect(old, &wr);
    GetClientRect(old, &cr);
    POINT origin{0, 0};
    ClientToScreen(old, &origin);
    int border = origin.x - wr.left, captionMiddle = (wr.top + origin.y) / 2 + border / 2;
    Report("hit-close", SendMessageA(old, WM_NCHITTEST, 0, MAKELPARAM(wr.right - border - 3, captionMiddle)));
    Report("hit-caption", SendMessageA(old, WM_NCHITTEST, 0, MAKELPARAM((wr.left + wr.right) / 2, captionMiddle)));
    Report("hit-client", SendMessageA(old, WM_NCHITTEST, 0, MAKELPARAM(origin.x + 5, origin.y + 5)));
    test::PumpFor(100);
    Report("done", "");
}

TEST(SkinEngine, SubclassesExistingAndNewWindowsOfEveryThread) {
    auto r = RunScenario("skin-adopt");
    SkinData ten = test::SkinOf(10);
    EXPECT_EQ(r["attach"], "0");
    EXPECT_EQ(r["old-frame"], "1");
    EXPECT_EQ(r["old-button"], "1");
    EXPECT_EQ(r["static-left-alone"], "1");
    EXPECT_EQ(r["new-frame"], "1");
    EXPECT_EQ(r["new-controls"], "5");
    EXPECT_EQ(r["quiet-shown"], "1");
    EXPECT_EQ(r["quiet-hidden"], "0");
    EXPECT_EQ(r["thread-frame"], "1");
    EXPECT_EQ(r["static-brush"], test::Hex(ten.colours[kWindowFace]));
    EXPECT_EQ(r["static-back"], test::Hex(ten.colours[kWindowFace]));
    EXPECT_EQ(r["static-text"], test::Hex(ten.colours[kText]));
    EXPECT_EQ(r["hit-close"], std::to_string(HTCLOSE));
    EXPECT_EQ(r["hit-caption"], std::to_string(HTCAPTION));
    EXPECT_EQ(r["hit-client"], std::to_string(HTCLIENT));
}

// Probe pixels of each kind of control, in the skin's colours.
void ReportControlPixels(HWND frame, const char* prefix) {
    auto key = [prefix](const char* what) { return std::string(prefix) + "-" + what; };
    HWND checked = test::MakeControl(frame, "Button", "checked", BS_AUTOCHECKBOX, 10, 10, 120, 20);
    SendMessageA(checked, BM_SETCHECK, BST_CHECKED, 0);
    HWND unchecked = test::MakeControl(frame, "Button", "unchecked", BS_AUTOCHECKBOX, 10, 40, 120, 20);
    HWND push = test::MakeControl(frame, "Button", "push", BS_PUSHBUTTON, 10, 70, 100, 28);
    HWND group = test::MakeControl(frame, "Button", "group", BS_GROUPBOX, 150, 10, 150, 100);
    HWND progress = test::MakeControl(frame, PROGRESS_CLASSA, "", 0, 10, 110, 200, 14);
    SendMessageA(progress, PBM_SETPOS, 50, 0);
    HWND combo = test::MakeControl(frame, "ComboBox", "", CBS_DROPDOWNLIST, 10, 140, 150, 200);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("item"));
    HWND scroll = test::MakeControl(frame, "ScrollBar", "", SBS_VERT, 320, 10, 16, 150);
    SetScrollRange(scroll, SB_CTL, 0, 100, FALSE);

    test::Snapshot c(checked), u(unchecked), p(push), g(group), pr(progress), cb(combo), sb(scroll);
    int mid = c.height() / 2;
    Report(key("checked-inside").c_str(), test::Hex(c.At(2, mid - 4)));
    Report(key("unchecked-inside").c_str(), test::Hex(u.At(4, mid)));
    Report(key("unchecked-border").c_str(), test::Hex(u.At(0, mid)));
    Report(key("push-face").c_str(), test::Hex(p.At(4, p.height() / 2)));
    Report(key("push-border").c_str(), test::Hex(p.At(p.width() / 2, 0)));
    Report(key("group-line").c_str(), test::Hex(g.At(0, g.height() / 2)));
    Report(key("progress-done").c_str(), test::Hex(pr.At(pr.width() / 4, pr.height() / 2)));
    Report(key("progress-rest").c_str(), test::Hex(pr.At(pr.width() * 3 / 4, pr.height() / 2)));
    Report(key("combo-border").c_str(), test::Hex(cb.At(cb.width() / 2, 0)));
    Report(key("combo-field").c_str(), test::Hex(cb.At(3, cb.height() / 2)));
    Report(key("scroll-track").c_str(), test::Hex(sb.At(1, sb.height() / 2)));
}

CHILD_SCENARIO("skin-paint") {
    test::Engine e = test::LoadEngine();
    Report("attach", test::Attach(e, 10));
    ReportControlPixels(test::MakeFrame("ten"), "ten");
    // Attaching another skin repaints in its colours; the adjustment integers shift the hue.
    Report("attach3", test::Attach(e, 3));
    ReportControlPixels(test::MakeFrame("three"), "three");
    Report("attach-hue", test::Attach(e, 10, 180));
    ReportControlPixels(test::MakeFrame("hue"), "hue");
    Report("done", "");
}

TEST(SkinEngine, PaintsControlsInTheSkinsColours) {
    auto r = RunScenario("skin-paint");
    ASSERT_EQ(r["attach"], "0");
    ASSERT_EQ(r["attach3"], "0");
    ASSERT_EQ(r["attach-hue"], "0");
    for (auto [prefix, index] : {std::pair{"ten", 10}, std::pair{"three", 3}}) {
        SCOPED_TRACE(prefix);
        const SkinData skin = test::SkinOf(index);
        const uint32_t* c = skin.colours;
        std::string p = std::string(prefix) + "-";
        EXPECT_EQ(r[p + "checked-inside"], test::Hex(c[kCheckedBack]));
        EXPECT_EQ(r[p + "unchecked-inside"], test::Hex(c[kCheckBack]));
        EXPECT_EQ(r[p + "unchecked-border"], test::Hex(c[kCheckBorder]));
        EXPECT_EQ(r[p + "group-line"], test::Hex(c[kGroupBorder]));
        EXPECT_EQ(r[p + "progress-rest"], test::Hex(c[kProgressTrack]));
        EXPECT_EQ(r[p + "combo-border"], test::Hex(c[kEditBorder]));
        EXPECT_EQ(r[p + "combo-field"], test::Hex(c[kEditBack]));
        EXPECT_EQ(r[p + "scroll-track"], test::Hex(c[kScrollTrack]));
        EXPECT_EQ(r[p + "push-border"], test::Hex(c[kButtonBorder]));
        unsigned face = std::stoul(r[p + "push-face"], nullptr, 16),
                 done = std::stoul(r[p + "progress-done"], nullptr, 16);
        auto colour = [](unsigned rgb) { return RGB(rgb >> 16, rgb >> 8 & 0xFF, rgb & 0xFF); };
        EXPECT_TRUE(test::Between(colour(face), c[kButtonTop], c[kButtonBottom])) << r[p + "push-face"];
        EXPECT_TRUE(test::Between(colour(done), c[kProgressTop], c[kProgressBottom])) << r[p + "progress-done"];
    }
    // Half a turn of hue moves the blue accent well away from its stored colour, keeping the white field.
    const SkinData tenSkin = test::SkinOf(10);
    const uint32_t* ten = tenSkin.colours;
    EXPECT_NE(r["hue-checked-inside"], test::Hex(ten[kCheckedBack]));
    EXPECT_EQ(r["hue-combo-field"], test::Hex(ten[kEditBack]));
}

CHILD_SCENARIO("skin-aero") {
    test::Engine e = test::LoadEngine();
    HWND first = test::MakeFrame("first");
    HWND child = test::MakeControl(first, "Button", "b", BS_PUSHBUTTON, 5, 5, 60, 20);
    Report("attach", test::Attach(e, 10));
    auto layered = [](HWND h) { return (GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_LAYERED) != 0; };
    Report("off-first", layered(first));
    Report("on", e.aero(1));
    Report("on-first", layered(first));
    BYTE alpha = 0;
    DWORD flags = 0;
    GetLayeredWindowAttributes(first, nullptr, &alpha, &flags);
    Report("alpha", alpha);
    Report("alpha-flag", (flags & LWA_ALPHA) != 0);
    Report("on-child", layered(child));
    HWND second = test::MakeFrame("second");
    Report("on-second", layered(second));
    test::PumpFor(100);
    Report("off", e.aero(0));
    Report("off-again-first", layered(first));
    Report("off-again-second", layered(second));
    Report("done", "");
}

TEST(SkinEngine, TranslucentModeLayersFramesOnlyAndSwitchesOff) {
    auto r = RunScenario("skin-aero");
    EXPECT_EQ(r["attach"], "0");
    EXPECT_EQ(r["off-first"], "0");
    EXPECT_EQ(r["on"], "0");
    EXPECT_EQ(r["on-first"], "1");
    EXPECT_EQ(r["alpha"], std::to_string(test::SkinOf(10).metrics.glassAlpha));
    EXPECT_EQ(r["alpha-flag"], "1");
    EXPECT_EQ(r["on-child"], "0");
    EXPECT_EQ(r["on-second"], "1");
    EXPECT_EQ(r["off"], "0");
    EXPECT_EQ(r["off-again-first"], "0");
    EXPECT_EQ(r["off-again-second"], "0");
}

// On a virtual desktop the frame is really on the screen: read its pixels back.
CHILD_SCENARIO("skin-frame-desktop") {
    test::Engine e = test::LoadEngine();
    HWND frame = test::MakeFrame("frame", 320, 220);
    Report("attach", test::Attach(e, 10));
    SetForegroundWindow(frame);
    test::PumpFor(600);
    RECT wr;
    GetWindowRect(frame, &wr);
    POINT origin{0, 0};
    ClientToScreen(frame, &origin);
    int border = origin.x - wr.left, captionTop = wr.top + border, captionBottom = origin.y;
    HDC screen = GetDC(nullptr);
    int y = captionTop + (captionBottom - captionTop) * 3 / 4;  // below the gloss of the upper half
    Report("caption", test::Hex(GetPixel(screen, wr.left + (wr.right - wr.left) * 6 / 10, y)));
    Report("side", test::Hex(GetPixel(screen, wr.left + border / 2 + 1, (origin.y + wr.bottom) / 2)));
    Report("client", test::Hex(GetPixel(screen, origin.x + 5, origin.y + 5)));
    // The pointer over the close button lights it up.
    LPARAM closePoint = MAKELPARAM(wr.right - border - 4, captionTop + 3);
    SendMessageA(frame, WM_NCMOUSEMOVE, HTCLOSE, closePoint);
    test::PumpFor(200);
    Report("close-hot", test::Hex(GetPixel(screen, wr.right - border - 2, captionTop + 2)));
    ReleaseDC(nullptr, screen);
    // Pressing and releasing it closes the window.
    SendMessageA(frame, WM_NCLBUTTONDOWN, HTCLOSE, closePoint);
    POINT inside{wr.right - border - 4 - origin.x, captionTop + 3 - origin.y};
    SendMessageA(frame, WM_LBUTTONUP, 0, MAKELPARAM(inside.x, inside.y));
    test::PumpFor(100);
    Report("closed", !IsWindow(frame));
    Report("done", "");
}

TEST(SkinEngine, DrawsTheFrameOnTheScreenAndItsCloseButtonWorks) {
    auto r = test::ParseReport(test::RunInDesktop("skin-frame-desktop"));
    ASSERT_EQ(r["done"], "") << "the scenario did not finish";
    SkinData ten = test::SkinOf(10);
    auto colour = [](const std::string& hex) {
        unsigned v = std::stoul(hex, nullptr, 16);
        return RGB(v >> 16, v >> 8 & 0xFF, v & 0xFF);
    };
    EXPECT_EQ(r["attach"], "0");
    EXPECT_TRUE(test::Between(colour(r["caption"]), ten.colours[kCaptionTop], ten.colours[kCaptionBottom]))
        << r["caption"];
    EXPECT_EQ(r["side"], test::Hex(ten.colours[kFrame]));
    EXPECT_EQ(r["client"], test::Hex(ten.colours[kWindowFace]));
    EXPECT_EQ(r["close-hot"], test::Hex(ten.colours[kCloseButtonHot]));
    EXPECT_EQ(r["closed"], "1");
}

CHILD_SCENARIO("skin-pinned") {
    test::Engine e = test::LoadEngine();
    HWND frame = test::MakeFrame("pinned");
    Report("attach", test::Attach(e, 10));
    // The runtime unloads its libraries at program end while windows still exist: the engine must stay.
    FreeLibrary(e.module);
    FreeLibrary(e.module);
    Report("still-loaded", GetModuleHandleA("SkinH_EL.dll") != nullptr);
    SendMessageA(frame, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("renamed"));
    test::PumpFor(50);
    DestroyWindow(frame);
    Report("done", "");
}

TEST(SkinEngine, StaysLoadedOnceAttached) {
    auto r = RunScenario("skin-pinned");
    EXPECT_EQ(r["attach"], "0");
    EXPECT_EQ(r["still-loaded"], "1");
}

}  // namespace
}  // namespace skin

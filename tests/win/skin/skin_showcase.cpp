// A window with one control of each skinned kind, attached to a skin like the program does at start; run it
// inside Wine's virtual desktop to look at a skin: win_tests.exe --child=skin-showcase (PEXO_SKIN=n, 1..33).
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>

#include "tests/win/child_process.h"
#include "tests/win/skin/skin_support.h"

namespace skin {
namespace {

CHILD_SCENARIO("skin-showcase") {
    const char* chosen = std::getenv("PEXO_SKIN");
    int index = chosen ? std::atoi(chosen) : 10;
    const char* wait = std::getenv("PEXO_SHOWCASE_MS");
    DWORD ms = wait ? DWORD(std::atol(wait)) : 15000;

    HWND frame = test::MakeFrame("Quen - Pexo相册图片批量下载", 560, 400,
                                 WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    HMENU bar = CreateMenu(), sub = CreatePopupMenu();
    AppendMenuA(sub, MF_STRING, 1, "在线更新");
    AppendMenuA(sub, MF_STRING, 2, "创建桌面图标");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "菜单");
    SetMenu(frame, bar);
    using test::MakeControl;
    MakeControl(frame, "Button", "相册", BS_GROUPBOX, 8, 4, 528, 330);
    MakeControl(frame, "Static", "输入Pexo用户名", 0, 24, 26, 120, 16);
    HWND edit = MakeControl(frame, "Edit", "pexo_user", ES_AUTOHSCROLL, 24, 46, 146, 22);
    SetWindowLongA(edit, GWL_EXSTYLE, WS_EX_CLIENTEDGE);
    SetWindowPos(edit, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    MakeControl(frame, "Button", "列出相册", BS_DEFPUSHBUTTON | WS_TABSTOP, 178, 44, 72, 27);
    HWND combo = MakeControl(frame, "ComboBox", "", CBS_DROPDOWNLIST | WS_VSCROLL, 258, 46, 180, 200);
    for (const char* item : {"旅行 (24)", "家人 (120)", "风景 (8)"})
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendMessageA(combo, CB_SETCURSEL, 1, 0);
    MakeControl(frame, "Button", "列出图片", BS_PUSHBUTTON | WS_DISABLED, 446, 44, 72, 27);
    HWND check = MakeControl(frame, "Button", "横五纵三隔四", BS_AUTOCHECKBOX, 24, 86, 150, 20);
    SendMessageA(check, BM_SETCHECK, BST_CHECKED, 0);
    MakeControl(frame, "Button", "未选中", BS_AUTOCHECKBOX, 24, 110, 150, 20);
    HWND radio = MakeControl(frame, "Button", "单选一", BS_AUTORADIOBUTTON, 190, 86, 100, 20);
    SendMessageA(radio, BM_SETCHECK, BST_CHECKED, 0);
    MakeControl(frame, "Button", "单选二", BS_AUTORADIOBUTTON, 190, 110, 100, 20);
    MakeControl(frame, "Button", "下载选中图片", BS_PUSHBUTTON, 24, 144, 120, 27);
    MakeControl(frame, "Button", "退出", BS_PUSHBUTTON, 152, 144, 60, 27);
    HWND scroll = MakeControl(frame, "ScrollBar", "", SBS_VERT, 500, 86, 16, 200);
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 100, 25, 30, 0};
    SetScrollInfo(scroll, SB_CTL, &si, FALSE);
    HWND hscroll = MakeControl(frame, "ScrollBar", "", SBS_HORZ, 24, 190, 300, 16);
    SetScrollInfo(hscroll, SB_CTL, &si, FALSE);
    HWND progress = MakeControl(frame, PROGRESS_CLASSA, "", 0, 24, 300, 470, 12);
    SendMessageA(progress, PBM_SETPOS, 60, 0);
    HWND list = MakeControl(frame, "ListBox", "", WS_BORDER | WS_VSCROLL, 340, 86, 140, 100);
    for (const char* item : {"001.jpg", "002.jpg", "003.jpg"})
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));

    // As the program does: the window and its controls exist first, then the skin and the translucent mode.
    test::Engine e = test::LoadEngine();
    test::Report("attach", test::Attach(e, index));
    test::Report("aero", e.aero(std::getenv("PEXO_NO_AERO") ? 0 : 1));
    SetFocus(edit);
    test::PumpFor(ms);
}

}  // namespace
}  // namespace skin

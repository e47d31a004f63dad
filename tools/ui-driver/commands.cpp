// The UI driver's commands: one table of name, argument counts, usage and body.
#include "tools/ui-driver/commands.h"

#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace uidriver {

namespace {

using Args = std::vector<Token>;

constexpr UINT kGetMenuHandle = 0x01E1;  // MN_GETHMENU: the menu a pop-up menu window shows

// Appends a space and a word (kept apart from "+" chains, which GCC 12 misreads as overlapping copies).
void AddWord(std::string& out, const std::string& word) {
    out += ' ';
    out += word;
}

bool ParseInt(const std::string& s, long long* v) {
    if (s.empty()) return false;
    char* end = nullptr;
    *v = std::strtoll(s.c_str(), &end, 0);
    return end && *end == 0;
}

DWORD TimeoutArg(const Target& t, const Args& a, size_t i) {
    long long v;
    return i < a.size() && ParseInt(a[i].value, &v) && v >= 0 ? DWORD(v) : t.timeoutMs;
}

// Attaches to the default title when no command has attached yet.
bool Ready(Target& t, Result* failure) {
    if (t.attached() && IsWindow(t.main())) return true;
    *failure = t.Attach(t.defaultTitle, t.timeoutMs);
    return failure->ok;
}

#define NEED_TARGET(t)                             \
    do {                                           \
        Result failure_;                           \
        if (!Ready(t, &failure_)) return failure_; \
    } while (0)

#define FIND(t, token, hwnd)                      \
    HWND hwnd = nullptr;                          \
    do {                                          \
        Result found_ = (t).Find((token), &hwnd); \
        if (!found_.ok) return found_;            \
    } while (0)

DWORD_PTR Send(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR r = 0;
    SendMessageTimeoutA(w, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &r);
    return r;
}

// The program's window thread did not get to the input within the time-out: it is frozen or far behind.
Result NotTaken(const Target& t) {
    return Fail("the program did not take the input within " + std::to_string(t.timeoutMs) + " ms");
}

// A point in the control's client area: given x y, or the centre.
bool ClientPoint(HWND w, const Args& a, size_t i, POINT* p) {
    RECT r;
    GetClientRect(w, &r);
    *p = POINT{r.right / 2, r.bottom / 2};
    if (i + 1 < a.size()) {
        long long x, y;
        if (!ParseInt(a[i].value, &x) || !ParseInt(a[i + 1].value, &y)) return false;
        *p = POINT{LONG(x), LONG(y)};
    }
    return true;
}

LPARAM Pack(POINT p) { return MAKELPARAM(WORD(SHORT(p.x)), WORD(SHORT(p.y))); }

void PostMouse(HWND w, POINT p, UINT down, UINT up, WPARAM held, bool twice) {
    PostMessageA(w, WM_MOUSEMOVE, 0, Pack(p));
    PostMessageA(w, down, held, Pack(p));
    PostMessageA(w, up, 0, Pack(p));
    if (twice) {
        PostMessageA(w, down + 2, held, Pack(p));  // the matching ...BUTTONDBLCLK
        PostMessageA(w, up, 0, Pack(p));
    }
}

Result Mouse(Target& t, const Args& a, UINT down, UINT up, WPARAM held, bool twice) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    POINT p;
    if (!ClientPoint(w, a, 1, &p)) return Fail("bad point");
    PostMouse(w, p, down, up, held, twice);
    if (!t.Settle(w, twice ? 5 : 3)) return NotTaken(t);
    return Ok();
}

struct KeyName {
    const char* name;
    BYTE vk;
};
constexpr KeyName kKeys[] = {
    {"enter", VK_RETURN},  {"return", VK_RETURN}, {"tab", VK_TAB},        {"escape", VK_ESCAPE}, {"esc", VK_ESCAPE},
    {"space", VK_SPACE},   {"back", VK_BACK},     {"backspace", VK_BACK}, {"delete", VK_DELETE}, {"del", VK_DELETE},
    {"insert", VK_INSERT}, {"left", VK_LEFT},     {"right", VK_RIGHT},    {"up", VK_UP},         {"down", VK_DOWN},
    {"home", VK_HOME},     {"end", VK_END},       {"pageup", VK_PRIOR},   {"pagedown", VK_NEXT}, {"shift", VK_SHIFT},
    {"ctrl", VK_CONTROL},  {"alt", VK_MENU}};

bool KeyCode(const std::string& name, BYTE* vk) {
    for (const KeyName& k : kKeys)
        if (lstrcmpiA(name.c_str(), k.name) == 0) return (*vk = k.vk, true);
    if ((name[0] == 'f' || name[0] == 'F') && name.size() <= 3 && std::atoi(name.c_str() + 1) >= 1 &&
        std::atoi(name.c_str() + 1) <= 12)
        return (*vk = BYTE(VK_F1 + std::atoi(name.c_str() + 1) - 1), true);
    if (name.size() == 1 && std::isalnum(BYTE(name[0]))) return (*vk = BYTE(std::toupper(BYTE(name[0]))), true);
    long long v;
    if (name.size() > 2 && ParseInt(name, &v) && v > 0 && v < 256) return (*vk = BYTE(v), true);
    return false;
}

void PostKey(HWND w, BYTE vk, bool down, bool up) {
    LPARAM scan = LPARAM(MapVirtualKeyA(vk, 0)) << 16;
    if (down) PostMessageA(w, WM_KEYDOWN, vk, 1 | scan);
    if (up) PostMessageA(w, WM_KEYUP, vk, 1 | scan | (1u << 30) | (1u << 31));
}

// Text of every item of a combo box. The system carries CB_GETLBTEXT across processes; its Unicode form is the
// one Wine copies back correctly, so read wide and convert.
std::vector<std::string> ComboItems(HWND combo) {
    std::vector<std::string> items;
    int count = int(Send(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        DWORD_PTR n = 0;
        SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 5000, &n);
        std::wstring wide(size_t(int(n) > 0 ? n : 0) + 1, L'\0');
        DWORD_PTR ignored;
        SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide.data()), SMTO_ABORTIFHUNG, 5000,
                            &ignored);
        wide.resize(wcslen(wide.c_str()));
        int m = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), int(wide.size()), nullptr, 0, nullptr, nullptr);
        std::string text(size_t(m), '\0');
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), int(wide.size()), text.data(), m, nullptr, nullptr);
        items.push_back(text);
    }
    return items;
}

// --- Dialogs --------------------------------------------------------------------------------------------

HWND FirstChildOfClass(HWND parent, const char* cls) { return FindWindowExA(parent, nullptr, cls, nullptr); }

// A message box as a person sees it: its title and a button to answer it. A box still being made, or being
// taken down, can be visible for a moment with neither.
bool ShowsAsAMessageBox(HWND box) {
    if (WindowText(box).empty()) return false;
    for (HWND c : Descendants(box))
        if (lstrcmpiA(ClassOf(c).c_str(), "Button") == 0 && IsWindowVisible(c)) return true;
    return false;
}

// A visible dialog of the target: a message box (no tree view) once it shows as one, or the folder browser
// (with its tree view).
HWND FindDialog(Target& t, bool folder) {
    for (HWND w : t.TopLevelWindows()) {
        if (ClassOf(w) != "#32770" || (FirstChildOfClass(w, WC_TREEVIEWA) != nullptr) != folder) continue;
        if (folder || ShowsAsAMessageBox(w)) return w;
    }
    return nullptr;
}

std::string StripAmpersand(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != '&') out += c;
    return out;
}

Result WaitDialog(Target& t, const Args& a, size_t timeoutArg, bool folder, HWND* dialog) {
    NEED_TARGET(t);
    if (!t.WaitFor(TimeoutArg(t, a, timeoutArg), [&] { return (*dialog = FindDialog(t, folder)) != nullptr; }))
        return Fail(t.Ended() ? "the program ended" : folder ? "no folder browser" : "no message box");
    return Ok();
}

// Presses a dialog button by caption (ampersands ignored) or by command number, then waits for the dialog to go.
Result PressDialogButton(Target& t, HWND dialog, const Token& which, DWORD timeout) {
    long long id;
    if (ParseInt(which.value, &id) && which.raw.front() != '"') {
        PostMessageA(dialog, WM_COMMAND, WPARAM(id), 0);
    } else {
        HWND button = nullptr;
        for (HWND c : Descendants(dialog))
            if (lstrcmpiA(ClassOf(c).c_str(), "Button") == 0 && IsWindowVisible(c) &&
                StripAmpersand(WindowText(c)) == StripAmpersand(which.value))
                button = c;
        if (!button) return Fail("no button " + Quote(which.value));
        if (!IsWindowEnabled(button)) return Fail("button " + Quote(which.value) + " is disabled");
        PostMessageA(button, BM_CLICK, 0, 0);
    }
    if (!t.WaitFor(timeout, [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }))
        return Fail("the dialog stays open");
    if (!t.Settle(t.main(), 0)) return NotTaken(t);
    return Ok();
}

// --- Folder browser tree, read through memory in the target process -------------------------------------

class RemoteTree {
public:
    RemoteTree(HANDLE process, HWND tree, DWORD expandTimeoutMs)
        : tree_(tree), buffer_(process, sizeof(TVITEMA) + 1024), expandTimeoutMs_(expandTimeoutMs) {}
    bool valid() const { return buffer_.valid(); }
    // False once an expansion has not ended within the time-out: the children read after it may be a part.
    bool listedWhole() const { return listedWhole_; }
    HTREEITEM Next(HTREEITEM item, UINT how) const {
        return reinterpret_cast<HTREEITEM>(Send(tree_, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
    }
    std::string Text(HTREEITEM item) {
        TVITEMA it{};
        it.mask = TVIF_TEXT | TVIF_HANDLE;
        it.hItem = item;
        it.pszText = reinterpret_cast<char*>(buffer_.address(sizeof(TVITEMA)));
        it.cchTextMax = 1023;
        char zero = 0;
        buffer_.Write(&zero, 1, sizeof(TVITEMA));
        if (!buffer_.Write(&it, sizeof it) || !Send(tree_, TVM_GETITEMA, 0, LPARAM(buffer_.address()))) return {};
        char text[1024] = {};
        buffer_.Read(text, 1023, sizeof(TVITEMA));
        return text;
    }
    // Expanding an item makes the browser list its folder: every entry, and a look into each. For a folder of
    // hundreds of entries on a loaded machine that takes longer than Send's 5 s, and the browser's thread, busy
    // listing, counts as hung meanwhile; read before the listing has ended, the children are a part or none.
    std::vector<HTREEITEM> Children(HTREEITEM item) {
        DWORD_PTR done = 0;
        if (!SendMessageTimeoutA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item), SMTO_NORMAL,
                                 expandTimeoutMs_, &done))
            listedWhole_ = false;
        std::vector<HTREEITEM> out;
        for (HTREEITEM c = Next(item, TVGN_CHILD); c; c = Next(c, TVGN_NEXT)) out.push_back(c);
        return out;
    }
    std::vector<HTREEITEM> Roots() const {
        std::vector<HTREEITEM> out;
        for (HTREEITEM c = Next(nullptr, TVGN_ROOT); c; c = Next(c, TVGN_NEXT)) out.push_back(c);
        return out;
    }
    void Select(HTREEITEM item) {
        Send(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        Send(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    }

private:
    HWND tree_;
    RemoteBuffer buffer_;
    DWORD expandTimeoutMs_;
    bool listedWhole_ = true;
};

// Does a tree item's text name this path part? Drives show as "Name (C:)" or "C:".
bool ItemMatches(const std::string& text, const std::string& part) {
    if (lstrcmpiA(text.c_str(), part.c_str()) == 0) return true;
    if (part.size() == 2 && part[1] == ':') {
        std::string inParens = "(" + part + ")";
        return text.size() >= 2 &&
               (lstrcmpiA(text.substr(0, 2).c_str(), part.c_str()) == 0 || text.find(inParens) != std::string::npos ||
                text.find("(" + std::string(1, char(std::tolower(BYTE(part[0])))) + ":)") != std::string::npos);
    }
    return false;
}

HTREEITEM FindChild(RemoteTree& tree, const std::vector<HTREEITEM>& items, const std::string& part) {
    for (HTREEITEM i : items)
        if (ItemMatches(tree.Text(i), part)) return i;
    return nullptr;
}

// Breadth-first search for the item of a path part, a few levels down (drives sit under "My Computer").
HTREEITEM Search(RemoteTree& tree, const std::vector<HTREEITEM>& start, const std::string& part, int depth) {
    std::vector<HTREEITEM> level = start;
    for (int d = 0; d < depth && !level.empty(); ++d) {
        if (HTREEITEM hit = FindChild(tree, level, part)) return hit;
        std::vector<HTREEITEM> next;
        for (HTREEITEM i : level)
            for (HTREEITEM c : tree.Children(i)) next.push_back(c);
        level = next;
    }
    return nullptr;
}

Result WithTree(Target& t, const Args& a, size_t timeoutArg, HWND* dialog, HWND* treeWindow) {
    Result r = WaitDialog(t, a, timeoutArg, true, dialog);
    if (!r.ok) return r;
    *treeWindow = FirstChildOfClass(*dialog, WC_TREEVIEWA);
    return Ok();
}

Result SelectPath(Target& t, HWND treeWindow, const std::vector<std::string>& parts, bool searchFirst) {
    RemoteTree tree(t.process(), treeWindow, t.timeoutMs);
    if (!tree.valid()) return Fail("cannot reach the folder browser's memory");
    std::vector<HTREEITEM> level = tree.Roots();
    HTREEITEM item = nullptr;
    for (size_t i = 0; i < parts.size(); ++i) {
        item = (i == 0 && searchFirst) ? Search(tree, level, parts[i], 3) : FindChild(tree, level, parts[i]);
        if (!item && !tree.listedWhole())
            return Fail("the folder browser did not list the folders within " + std::to_string(t.timeoutMs) +
                        " ms");
        if (!item) return Fail("no folder item " + Quote(parts[i]));
        if (i + 1 < parts.size()) level = tree.Children(item);
    }
    tree.Select(item);
    if (!t.Settle(treeWindow, 0)) return NotTaken(t);
    return Ok(Quote(tree.Text(item)));
}

// --- Commands -------------------------------------------------------------------------------------------

Result CmdAttach(Target& t, const Args& a) {
    return t.Attach(a.empty() ? t.defaultTitle : a[0].value, TimeoutArg(t, a, 1));
}

Result CmdScope(Target& t, const Args& a) {
    NEED_TARGET(t);
    if (a[0].raw == "main") {
        t.SetScope(nullptr);
        return Ok(HexNumber(uintptr_t(t.main())));
    }
    HWND found = nullptr;
    if (!t.WaitFor(TimeoutArg(t, a, 1), [&] {
            for (HWND w : t.TopLevelWindows())
                if (WindowText(w) == a[0].value) return (found = w) != nullptr;
            return false;
        }))
        return Fail("no window titled " + Quote(a[0].value));
    t.SetScope(found);
    return Ok(HexNumber(uintptr_t(found)));
}

Result CmdTimeout(Target& t, const Args& a) {
    long long v;
    if (!ParseInt(a[0].value, &v) || v < 0) return Fail("bad time-out");
    t.timeoutMs = DWORD(v);
    return Ok();
}

Result CmdFind(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    return Ok(HexNumber(uintptr_t(w)) + " " + ClassOf(w) + " " + HexNumber(uintptr_t(ControlId(w))) + " " +
              std::to_string(IsWindowVisible(w) ? 1 : 0) + " " + std::to_string(IsWindowEnabled(w) ? 1 : 0) + " " +
              Quote(WindowText(w)));
}

Result CmdList(Target& t, const Args& a) {
    NEED_TARGET(t);
    HWND root = t.scope();
    if (!a.empty()) {
        FIND(t, a[0], w);
        root = w;
    }
    std::string out;
    int n = 0;
    for (HWND c = GetWindow(root, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT), ++n)
        AddWord(out, HexNumber(uintptr_t(ControlId(c))) + ":" + ClassOf(c) + ":" + Quote(WindowText(c)));
    return Ok(std::to_string(n) + out);
}

Result CmdText(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    return Ok(Quote(WindowText(w)));
}

Result CmdState(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    return Ok(std::to_string(IsWindowVisible(w) ? 1 : 0) + " " + std::to_string(IsWindowEnabled(w) ? 1 : 0));
}

Result CmdProgress(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    return Ok(std::to_string(long(Send(w, PBM_GETPOS, 0, 0))) + " " +
              std::to_string(long(Send(w, PBM_GETRANGE, TRUE, 0))) + " " +
              std::to_string(long(Send(w, PBM_GETRANGE, FALSE, 0))));
}

Result CmdChecked(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    return Ok(std::to_string(Send(w, BM_GETCHECK, 0, 0)));
}

Result CmdRect(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    RECT r;
    GetWindowRect(w, &r);
    return Ok(std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
              std::to_string(r.bottom - r.top));
}

Result CmdClick(Target& t, const Args& a) { return Mouse(t, a, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, false); }
Result CmdDoubleClick(Target& t, const Args& a) { return Mouse(t, a, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, true); }
Result CmdRightClick(Target& t, const Args& a) { return Mouse(t, a, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, false); }

// Several buttons are clicked one right after the other, each while it is enabled, before the program has
// taken the first click: what a quick person does while the program is still busy with the first one.
Result CmdPress(Target& t, const Args& a) {
    NEED_TARGET(t);
    std::vector<HWND> buttons;
    for (const Token& selector : a) {
        FIND(t, selector, w);
        if (!IsWindowEnabled(w)) return Fail(selector.raw + " is disabled");
        buttons.push_back(w);
    }
    for (HWND w : buttons) PostMessageA(w, BM_CLICK, 0, 0);
    if (!t.Settle(buttons.front(), int(buttons.size()))) return NotTaken(t);
    return Ok();
}

Result CmdFocus(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    DWORD thread = GetWindowThreadProcessId(w, nullptr);
    AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
    SetFocus(w);
    AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    if (!t.Settle(w, 0)) return NotTaken(t);
    return Ok();
}

Result CmdType(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    if (!IsWindowEnabled(w)) return Fail(a[0].raw + " is disabled");
    // As a person: click into the field near its right end, go to the end, type.
    RECT r;
    GetClientRect(w, &r);
    PostMouse(w, POINT{r.right > 4 ? r.right - 3 : 0, r.bottom / 2}, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, false);
    PostKey(w, VK_END, true, true);
    if (!t.Settle(w, 5)) return NotTaken(t);
    // Single-byte characters arrive as WM_CHAR, sent one after the other so that they keep their order.
    // Double-byte characters are entered as an input method commits them, replacing the selection
    // (EM_REPLACESEL): Wine loses a double-byte WM_CHAR on its way through an ANSI subclass procedure.
    const std::string& text = a[1].value;
    for (size_t i = 0; i < text.size();) {
        size_t j = i;
        while (j + 1 < text.size() && IsDBCSLeadByte(BYTE(text[j]))) j += 2;
        if (j > i) {
            std::string run = text.substr(i, j - i);
            Send(w, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(run.c_str()));
            i = j;
        } else {
            Send(w, WM_CHAR, WPARAM(BYTE(text[i++])), 1);
        }
    }
    return Ok();
}

Result CmdClear(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    Send(w, EM_SETSEL, 0, -1);
    PostKey(w, VK_DELETE, true, true);
    if (!t.Settle(w, 2)) return NotTaken(t);
    return Ok();
}

Result CmdKey(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    BYTE vk;
    if (!KeyCode(a[1].value, &vk)) return Fail("unknown key " + a[1].value);
    std::string how = a.size() > 2 ? a[2].value : "press";
    if (how != "press" && how != "down" && how != "up") return Fail("key action is press, down or up");
    PostKey(w, vk, how != "up", how != "down");
    if (!t.Settle(w, 3)) return NotTaken(t);
    return Ok();
}

Result CmdWheel(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    long long delta;
    if (!ParseInt(a[1].value, &delta)) return Fail("bad wheel delta");
    POINT p;
    if (!ClientPoint(w, a, 2, &p)) return Fail("bad point");
    ClientToScreen(w, &p);
    PostMessageA(w, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(SHORT(delta))), Pack(p));
    if (!t.Settle(w, 1)) return NotTaken(t);
    return Ok();
}

Result CmdComboItems(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    std::vector<std::string> items = ComboItems(w);
    std::string out = std::to_string(items.size());
    for (const std::string& s : items) AddWord(out, Quote(s));
    return Ok(out);
}

Result CmdComboSelected(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    int index = int(Send(w, CB_GETCURSEL, 0, 0));
    std::vector<std::string> items = ComboItems(w);
    return Ok(std::to_string(index) + " " + Quote(index >= 0 && size_t(index) < items.size() ? items[index] : ""));
}

Result CmdComboSelect(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    if (!IsWindowEnabled(w)) return Fail(a[0].raw + " is disabled");
    std::vector<std::string> items = ComboItems(w);
    long long index = -1;
    if (a[1].raw.front() == '"' || !ParseInt(a[1].value, &index)) {
        index = -1;
        for (size_t i = 0; i < items.size() && index < 0; ++i)
            if (items[i] == a[1].value) index = (long long)i;
    }
    if (index < 0 || size_t(index) >= items.size()) return Fail("no item " + Quote(a[1].value));
    Send(w, CB_SETCURSEL, WPARAM(index), 0);
    PostMessageA(GetParent(w), WM_COMMAND, MAKEWPARAM(ControlId(w), CBN_SELCHANGE), reinterpret_cast<LPARAM>(w));
    if (!t.Settle(w, 1)) return NotTaken(t);
    return Ok(std::to_string(index));
}

HWND FindMenuWindow(Target& t) {
    for (HWND w : t.TopLevelWindows())
        if (ClassOf(w) == "#32768") return w;
    return nullptr;
}

Result WaitMenu(Target& t, DWORD timeout, HWND* window, std::vector<MenuItem>* items) {
    NEED_TARGET(t);
    if (!t.WaitFor(timeout, [&] { return (*window = FindMenuWindow(t)) != nullptr; })) return Fail("no pop-up menu");
    auto menu = reinterpret_cast<HMENU>(Send(*window, kGetMenuHandle, 0, 0));
    if (!menu || !ReadMenu(t.process(), menu, items)) return Fail("cannot read the pop-up menu");
    return Ok();
}

Result CmdMenu(Target& t, const Args& a) {
    HWND window;
    std::vector<MenuItem> items;
    Result r = WaitMenu(t, TimeoutArg(t, a, 0), &window, &items);
    if (!r.ok) return r;
    std::string out = std::to_string(items.size());
    for (const MenuItem& m : items) {
        out += m.separator ? " -" : m.grey ? " ~" : " ";
        if (!m.separator) out += Quote(m.text);
    }
    return Ok(out);
}

Result CmdMenuPick(Target& t, const Args& a) {
    HWND window;
    std::vector<MenuItem> items;
    Result r = WaitMenu(t, TimeoutArg(t, a, 1), &window, &items);
    if (!r.ok) return r;
    long long index = -1;
    if (a[0].raw.front() == '"' || !ParseInt(a[0].value, &index)) {
        index = -1;
        for (size_t i = 0; i < items.size() && index < 0; ++i)
            if (!items[i].separator && StripAmpersand(items[i].text) == StripAmpersand(a[0].value))
                index = (long long)i;
    }
    if (index < 0 || size_t(index) >= items.size() || items[index].separator)
        return Fail("no menu item " + Quote(a[0].value));
    if (items[index].grey) return Fail("menu item " + Quote(items[index].text) + " is disabled");
    // As with the keyboard: Down moves over the items (separators are skipped), Enter picks.
    for (long long i = 0; i <= index; ++i)
        if (!items[i].separator) PostKey(window, VK_DOWN, true, true);
    PostKey(window, VK_RETURN, true, true);
    if (!t.WaitFor(t.timeoutMs, [&] { return !IsWindow(window) || !IsWindowVisible(window); }))
        return Fail("the menu stays open");
    if (!t.Settle(t.main(), 0)) return NotTaken(t);
    return Ok(std::to_string(index));
}

Result CmdMenuClose(Target& t, const Args& a) {
    HWND window;
    std::vector<MenuItem> items;
    Result r = WaitMenu(t, TimeoutArg(t, a, 0), &window, &items);
    if (!r.ok) return r;
    PostKey(window, VK_ESCAPE, true, true);
    if (!t.WaitFor(t.timeoutMs, [&] { return !IsWindow(window) || !IsWindowVisible(window); }))
        return Fail("the menu stays open");
    return Ok();
}

Result CmdMsgBox(Target& t, const Args& a) {
    HWND box;
    Result r = WaitDialog(t, a, 0, false, &box);
    if (!r.ok) return r;
    std::string text, buttons;
    for (HWND c : Descendants(box)) {
        std::string cls = ClassOf(c), s = WindowText(c);
        if (lstrcmpiA(cls.c_str(), "Static") == 0 && !s.empty()) {
            if (!text.empty()) text += '\n';
            text += s;
        }
        if (lstrcmpiA(cls.c_str(), "Button") == 0 && IsWindowVisible(c)) AddWord(buttons, Quote(s));
    }
    return Ok(Quote(WindowText(box)) + " " + Quote(text) + buttons);
}

Result CmdMsgBoxPress(Target& t, const Args& a) {
    HWND box;
    Result r = WaitDialog(t, a, 1, false, &box);
    if (!r.ok) return r;
    return PressDialogButton(t, box, a[0], t.timeoutMs);
}

Result CmdFolder(Target& t, const Args& a) {
    HWND dialog, tree;
    Result r = WithTree(t, a, 0, &dialog, &tree);
    if (!r.ok) return r;
    RemoteTree remote(t.process(), tree, t.timeoutMs);
    auto selected = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    return Ok(Quote(WindowText(dialog)) + " " + Quote(selected ? remote.Text(selected) : ""));
}

Result CmdFolderItems(Target& t, const Args& a) {
    HWND dialog, tree;
    Result r = WithTree(t, a, 0, &dialog, &tree);
    if (!r.ok) return r;
    RemoteTree remote(t.process(), tree, t.timeoutMs);
    auto selected = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    std::vector<HTREEITEM> items = selected ? remote.Children(selected) : remote.Roots();
    std::string out = std::to_string(items.size());
    for (HTREEITEM i : items) AddWord(out, Quote(remote.Text(i)));
    return Ok(out);
}

Result CmdFolderSelect(Target& t, const Args& a) {
    HWND dialog, tree;
    Result r = WithTree(t, {}, 0, &dialog, &tree);
    if (!r.ok) return r;
    std::vector<std::string> parts;
    for (const Token& k : a) parts.push_back(k.value);
    return SelectPath(t, tree, parts, false);
}

Result CmdFolderChoose(Target& t, const Args& a) {
    HWND dialog, tree;
    Result r = WithTree(t, a, 1, &dialog, &tree);
    if (!r.ok) return r;
    // "C:\dir\sub" -> the drive item (found a few levels down) and then each folder; "/dir" starts at "/".
    std::vector<std::string> parts;
    std::string path = a[0].value, part;
    if (!path.empty() && path[0] == '/') parts.push_back("/");
    for (size_t i = 0; i <= path.size(); ++i) {
        bool separator = i == path.size() || path[i] == '\\' || path[i] == '/';
        if (i < path.size() && IsDBCSLeadByte(BYTE(path[i])) && i + 1 < path.size()) {
            part += path.substr(i++, 2);
            continue;
        }
        if (!separator) {
            part += path[i];
        } else if (!part.empty()) {
            parts.push_back(part);
            part.clear();
        }
    }
    if (parts.empty()) return Fail("empty path");
    return SelectPath(t, tree, parts, true);
}

Result CmdFolderButton(Target& t, const Args& a, int id) {
    HWND dialog, tree;
    Result r = WithTree(t, a, 0, &dialog, &tree);
    if (!r.ok) return r;
    return PressDialogButton(t, dialog, Token{std::to_string(id), std::to_string(id)}, t.timeoutMs);
}
Result CmdFolderOk(Target& t, const Args& a) { return CmdFolderButton(t, a, IDOK); }
Result CmdFolderCancel(Target& t, const Args& a) { return CmdFolderButton(t, a, IDCANCEL); }

template <typename Cond>
Result WaitControl(Target& t, const Args& a, size_t timeoutArg, const char* what, Cond cond) {
    NEED_TARGET(t);
    HWND w = nullptr;
    bool met = t.WaitFor(TimeoutArg(t, a, timeoutArg), [&] {
        if (!w || !IsWindow(w)) {
            w = nullptr;
            if (!t.Find(a[0], &w, 0).ok) return false;
        }
        return cond(w);
    });
    return met ? Ok() : Fail(std::string("time-out waiting for ") + a[0].raw + " " + what);
}

Result CmdWaitEnabled(Target& t, const Args& a) {
    return WaitControl(t, a, 1, "to be enabled", [](HWND w) { return IsWindowEnabled(w) != 0; });
}
Result CmdWaitDisabled(Target& t, const Args& a) {
    return WaitControl(t, a, 1, "to be disabled", [](HWND w) { return !IsWindowEnabled(w); });
}
Result CmdWaitVisible(Target& t, const Args& a) {
    return WaitControl(t, a, 1, "to be visible", [](HWND w) { return IsWindowVisible(w) != 0; });
}
Result CmdWaitHidden(Target& t, const Args& a) {
    return WaitControl(t, a, 1, "to be hidden", [](HWND w) { return !IsWindowVisible(w); });
}
Result CmdWaitText(Target& t, const Args& a) {
    std::string wanted = a[1].value;
    return WaitControl(t, a, 2, ("to read " + Quote(wanted)).c_str(), [&](HWND w) { return WindowText(w) == wanted; });
}

Result CmdWaitIdle(Target& t, const Args& a) {
    NEED_TARGET(t);
    return WaitForInputIdle(t.process(), TimeoutArg(t, a, 0)) == 0 ? Ok() : Fail("the program is not idle");
}

Result CmdScreenshot(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    if (a.size() > 2 && a[2].value != "print" && a[2].value != "screen") return Fail("capture is screen or print");
    return Screenshot(w, a[1].value, a.size() > 2 && a[2].value == "print");
}

Result CmdClose(Target& t, const Args& a) {
    NEED_TARGET(t);
    HWND w = t.main();
    if (!a.empty()) {
        FIND(t, a[0], found);
        w = found;
    }
    PostMessageA(w, WM_CLOSE, 0, 0);
    return Ok();
}

Result CmdWaitExit(Target& t, const Args& a) {
    if (!t.process()) return Fail("not attached");
    if (WaitForSingleObject(t.process(), TimeoutArg(t, a, 0)) != WAIT_OBJECT_0) return Fail("the program still runs");
    DWORD code = 0;
    GetExitCodeProcess(t.process(), &code);
    return Ok(std::to_string(long(code)));
}

Result CmdSleep(Target&, const Args& a) {
    long long ms;
    if (!ParseInt(a[0].value, &ms) || ms < 0) return Fail("bad duration");
    Sleep(DWORD(ms));
    return Ok();
}

Result CmdEcho(Target&, const Args& a) {
    std::string out;
    for (const Token& k : a) out += (out.empty() ? "" : " ") + k.value;
    return Ok(out);
}

// How long the program's window thread takes to answer: a WM_NULL sent every 10 ms until the control is
// enabled (or disabled with "disabled") or the time-out ends. Gives the number of pings, the longest and the
// mean answer in milliseconds, and when the longest ping was sent (milliseconds after the first); a ping that is
// not answered within the time-out counts as the time-out.
Result CmdResponsiveness(Target& t, const Args& a) {
    NEED_TARGET(t);
    FIND(t, a[0], w);
    bool untilDisabled = a.size() > 1 && a[1].value == "disabled";
    DWORD timeout = TimeoutArg(t, a, untilDisabled ? 2 : 1);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    ULONGLONG until = GetTickCount64() + timeout;
    double longest = 0, total = 0, longestAt = 0;
    long pings = 0;
    LARGE_INTEGER first;
    QueryPerformanceCounter(&first);
    while ((IsWindowEnabled(w) != 0) == untilDisabled) {
        if (GetTickCount64() >= until) return Fail("the control did not change state");
        DWORD_PTR answer = 0;
        QueryPerformanceCounter(&start);
        LRESULT sent = SendMessageTimeoutA(t.main(), WM_NULL, 0, 0, SMTO_NORMAL, timeout, &answer);
        QueryPerformanceCounter(&end);
        double ms = sent ? 1000.0 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart) : timeout;
        if (ms > longest) {
            longest = ms;
            longestAt = 1000.0 * double(start.QuadPart - first.QuadPart) / double(frequency.QuadPart);
        }
        total += ms;
        ++pings;
        Sleep(10);
    }
    char out[128];
    std::snprintf(out, sizeof out, "%ld %.1f %.1f %.0f", pings, longest, pings ? total / double(pings) : 0.0,
                  longestAt);
    return Ok(out);
}

// The number of handles a process holds, from the system-wide handle table (Wine answers
// GetProcessHandleCount for the calling process only, but fills this table for every process). 0 when unknown.
DWORD HandlesFromSystemTable(DWORD pid) {
    struct Entry {
        PVOID object;
        ULONG_PTR processId;
        ULONG_PTR handle;
        ULONG access;
        USHORT creatorBackTrace;
        USHORT objectType;
        ULONG attributes;
        ULONG reserved;
    };
    struct Table {
        ULONG_PTR count;
        ULONG_PTR reserved;
        Entry entries[1];
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    constexpr ULONG kExtendedHandleInformation = 64;
    constexpr LONG kLengthMismatch = LONG(0xC0000004);
    std::vector<unsigned char> buffer(1 << 20);
    LONG status;
    ULONG needed = 0;
    while ((status = query(kExtendedHandleInformation, buffer.data(), ULONG(buffer.size()), &needed)) ==
               kLengthMismatch &&
           buffer.size() < (256u << 20))
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
    if (status != 0) return 0;
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    DWORD handles = 0;
    for (ULONG_PTR i = 0; i < table->count; ++i) handles += table->entries[i].processId == pid;
    return handles;
}

// The program's resource counts: handles, GDI and USER objects, threads, private bytes (KiB) and windows
// (top-level and child), as name=value words.
Result CmdStats(Target& t, const Args&) {
    NEED_TARGET(t);
    DWORD pid = GetProcessId(t.process());
    HANDLE query = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!query) return Fail("cannot query the program's process");
    DWORD handles = 0;
    if (!GetProcessHandleCount(query, &handles) || handles == 0) handles = HandlesFromSystemTable(pid);
    long threads = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
            threads += entry.th32OwnerProcessID == pid;
        CloseHandle(snapshot);
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(query, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    struct Count {
        DWORD pid;
        long windows;
    } count{pid, 0};
    EnumWindows(
        [](HWND top, LPARAM p) -> BOOL {
            auto* c = reinterpret_cast<Count*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(top, &owner);
            if (owner != c->pid) return TRUE;
            ++c->windows;
            EnumChildWindows(
                top, [](HWND, LPARAM q) -> BOOL { return ++reinterpret_cast<Count*>(q)->windows, TRUE; }, p);
            return TRUE;
        },
        LPARAM(&count));
    // Wine reports no object counts or memory for another process: such counts read "n/a".
    auto number = [](unsigned long long v) { return v ? std::to_string(v) : std::string("n/a"); };
    DWORD gdi = GetGuiResources(query, GR_GDIOBJECTS), user = GetGuiResources(query, GR_USEROBJECTS);
    std::string out = "handles=" + number(handles);
    out += " gdi=" + (gdi || user ? std::to_string(gdi) : std::string("n/a"));
    out += " user=" + number(user);
    out += " threads=" + std::to_string(threads);
    out += " private_kib=" + number(memory.PrivateUsage / 1024);
    out += " windows=" + std::to_string(count.windows);
    CloseHandle(query);
    return Ok(out);
}

constexpr int kAny = 99;
const Command kCommands[] = {
    {"attach", 0, 2, "attach [\"title\"] [timeout]", &CmdAttach},
    {"scope", 1, 2, "scope \"title\"|main [timeout]", &CmdScope},
    {"timeout", 1, 1, "timeout ms", &CmdTimeout},
    {"find", 1, 1, "find sel", &CmdFind},
    {"list", 0, 1, "list [sel]", &CmdList},
    {"text", 1, 1, "text sel", &CmdText},
    {"state", 1, 1, "state sel", &CmdState},
    {"checked", 1, 1, "checked sel", &CmdChecked},
    {"progress", 1, 1, "progress sel", &CmdProgress},
    {"rect", 1, 1, "rect sel", &CmdRect},
    {"click", 1, 3, "click sel [x y]", &CmdClick},
    {"dblclick", 1, 3, "dblclick sel [x y]", &CmdDoubleClick},
    {"rclick", 1, 3, "rclick sel [x y]", &CmdRightClick},
    {"press", 1, kAny, "press sel [sel...]", &CmdPress},
    {"focus", 1, 1, "focus sel", &CmdFocus},
    {"type", 2, 2, "type sel \"text\"", &CmdType},
    {"clear", 1, 1, "clear sel", &CmdClear},
    {"key", 2, 3, "key sel name [press|down|up]", &CmdKey},
    {"wheel", 2, 4, "wheel sel delta [x y]", &CmdWheel},
    {"combo-items", 1, 1, "combo-items sel", &CmdComboItems},
    {"combo-selected", 1, 1, "combo-selected sel", &CmdComboSelected},
    {"combo-select", 2, 2, "combo-select sel index|\"text\"", &CmdComboSelect},
    {"menu", 0, 1, "menu [timeout]", &CmdMenu},
    {"menu-pick", 1, 2, "menu-pick index|\"text\" [timeout]", &CmdMenuPick},
    {"menu-close", 0, 1, "menu-close [timeout]", &CmdMenuClose},
    {"msgbox", 0, 1, "msgbox [timeout]", &CmdMsgBox},
    {"msgbox-press", 1, 2, "msgbox-press \"caption\"|id [timeout]", &CmdMsgBoxPress},
    {"folder", 0, 1, "folder [timeout]", &CmdFolder},
    {"folder-items", 0, 1, "folder-items [timeout]", &CmdFolderItems},
    {"folder-select", 1, kAny, "folder-select \"item\" [\"item\"...]", &CmdFolderSelect},
    {"folder-choose", 1, 2, "folder-choose \"path\" [timeout]", &CmdFolderChoose},
    {"folder-ok", 0, 1, "folder-ok [timeout]", &CmdFolderOk},
    {"folder-cancel", 0, 1, "folder-cancel [timeout]", &CmdFolderCancel},
    {"wait-enabled", 1, 2, "wait-enabled sel [timeout]", &CmdWaitEnabled},
    {"wait-disabled", 1, 2, "wait-disabled sel [timeout]", &CmdWaitDisabled},
    {"wait-visible", 1, 2, "wait-visible sel [timeout]", &CmdWaitVisible},
    {"wait-hidden", 1, 2, "wait-hidden sel [timeout]", &CmdWaitHidden},
    {"wait-text", 2, 3, "wait-text sel \"text\" [timeout]", &CmdWaitText},
    {"wait-idle", 0, 1, "wait-idle [timeout]", &CmdWaitIdle},
    {"screenshot", 2, 3, "screenshot sel file.bmp [screen|print]", &CmdScreenshot},
    {"close", 0, 1, "close [sel]", &CmdClose},
    {"wait-exit", 0, 1, "wait-exit [timeout]", &CmdWaitExit},
    {"sleep", 1, 1, "sleep ms", &CmdSleep},
    {"echo", 0, kAny, "echo words...", &CmdEcho},
    {"responsiveness", 1, 3, "responsiveness sel [disabled] [timeout]", &CmdResponsiveness},
    {"stats", 0, 0, "stats", &CmdStats},
};

}  // namespace

const Command* FindCommand(const std::string& name) {
    for (const Command& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

Result Run(Target& t, const std::vector<Token>& words) {
    if (words.empty()) return Fail("empty command");
    const Command* c = FindCommand(words[0].value);
    if (!c) return Fail("unknown command " + words[0].value);
    std::vector<Token> args(words.begin() + 1, words.end());
    if (int(args.size()) < c->minArgs || int(args.size()) > c->maxArgs) return Fail(std::string("usage: ") + c->usage);
    return c->run(t, args);
}

}  // namespace uidriver

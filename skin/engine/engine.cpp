// The skin engine library's entry points, its thread hooks, and the table of windows it has subclassed.
//
// SkinH_AttachRes checks a skin file and makes it the process's skin: it installs a WH_CBT hook on the calling
// thread (and on every thread started later) that subclasses each new window of a class the engine paints,
// subclasses the windows that already exist, and repaints them. Nothing here throws; a bad skin changes nothing.
#include <atomic>

#include "skin/engine/engine.h"

namespace skin {

namespace {

DWORD g_hookSlot = TLS_OUT_OF_INDEXES;

// HWND -> SkinWindow*, open addressing with tombstones; a slow reader-writer lock is plenty since lookups are
// a few dozen instructions and writers only come with window creation and destruction.
struct Slot {
    HWND key;
    SkinWindow* value;
};
const HWND kTombstone = reinterpret_cast<HWND>(1);
SRWLOCK g_tableLock = SRWLOCK_INIT;
Slot* g_slots = nullptr;
size_t g_capacity = 0;  // a power of two
size_t g_used = 0;      // live entries and tombstones

size_t HashOf(HWND h) { return size_t((uintptr_t(h) >> 2) * 0x9E3779B97F4A7C15ull >> 17); }

void PlaceLocked(Slot* slots, size_t capacity, HWND h, SkinWindow* w) {
    for (size_t i = HashOf(h) & (capacity - 1);; i = (i + 1) & (capacity - 1)) {
        if (!slots[i].key || slots[i].key == kTombstone) {
            slots[i] = Slot{h, w};
            return;
        }
    }
}

bool InsertWindow(HWND h, SkinWindow* w) {
    AcquireSRWLockExclusive(&g_tableLock);
    bool ok = true;
    if ((g_used + 1) * 2 >= g_capacity) {
        size_t live = 0;
        for (size_t i = 0; i < g_capacity; ++i) live += g_slots[i].key && g_slots[i].key != kTombstone;
        size_t capacity = 64;
        while ((live + 1) * 4 >= capacity) capacity *= 2;
        auto* slots = static_cast<Slot*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, capacity * sizeof(Slot)));
        if (slots) {
            for (size_t i = 0; i < g_capacity; ++i)
                if (g_slots[i].key && g_slots[i].key != kTombstone)
                    PlaceLocked(slots, capacity, g_slots[i].key, g_slots[i].value);
            if (g_slots) HeapFree(GetProcessHeap(), 0, g_slots);
            g_slots = slots;
            g_capacity = capacity;
            g_used = live;
        } else if (g_used + 1 >= g_capacity) {
            ok = false;
        }
    }
    if (ok) {
        PlaceLocked(g_slots, g_capacity, h, w);
        ++g_used;
    }
    ReleaseSRWLockExclusive(&g_tableLock);
    return ok;
}

void RemoveWindow(HWND h) {
    AcquireSRWLockExclusive(&g_tableLock);
    for (size_t i = g_capacity ? HashOf(h) & (g_capacity - 1) : 0; g_capacity && g_slots[i].key;
         i = (i + 1) & (g_capacity - 1)) {
        if (g_slots[i].key == h) {
            g_slots[i] = Slot{kTombstone, nullptr};
            break;
        }
    }
    ReleaseSRWLockExclusive(&g_tableLock);
}

// Snapshot of the skinned windows, for repainting them all; at most max handles.
size_t ListWindows(HWND* out, size_t max, bool framesOnly) {
    size_t n = 0;
    AcquireSRWLockShared(&g_tableLock);
    for (size_t i = 0; i < g_capacity && n < max; ++i) {
        Slot s = g_slots[i];
        if (s.key && s.key != kTombstone && (!framesOnly || s.value->kind == Kind::kFrame)) out[n++] = s.key;
    }
    ReleaseSRWLockShared(&g_tableLock);
    return n;
}

bool ClassIs(const char* cls, const char* name) { return lstrcmpiA(cls, name) == 0; }

// Which painter a window gets, from its class and style; false for windows the engine leaves alone.
bool Classify(HWND h, LONG style, Kind* kind) {
    char cls[64] = {};
    if (!GetClassNameA(h, cls, sizeof cls)) return false;
    if (!(style & WS_CHILD)) {
        if ((style & WS_CAPTION) == WS_CAPTION)
            *kind = Kind::kFrame;
        else if (ClassIs(cls, "#32770"))
            *kind = Kind::kFace;
        else if (ClassIs(cls, "ComboLBox"))
            *kind = Kind::kBordered;  // a combo box's dropped list
        else
            return false;
        return true;
    }
    if (ClassIs(cls, "Button"))
        *kind = Kind::kButton;
    else if (ClassIs(cls, "Edit") || ClassIs(cls, "ListBox"))
        *kind = Kind::kBordered;
    else if (ClassIs(cls, "ComboBox"))
        *kind = Kind::kCombo;
    else if (ClassIs(cls, "ScrollBar"))
        *kind = Kind::kScrollBar;
    else if (ClassIs(cls, "msctls_progress32"))
        *kind = Kind::kProgress;
    else if (ClassIs(cls, "#32770"))
        *kind = Kind::kFace;
    else
        return false;
    return true;
}

LRESULT CALLBACK SkinWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

void Adopt(HWND h) {
    if (FindSkinWindow(h)) return;
    Kind kind;
    if (!Classify(h, GetWindowLongA(h, GWL_STYLE), &kind)) return;
    auto* w = static_cast<SkinWindow*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SkinWindow)));
    if (!w) return;
    w->hwnd = h;
    w->kind = kind;
    w->active = kind == Kind::kFrame && GetForegroundWindow() == h;
    w->oldProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(h, GWLP_WNDPROC));
    if (!w->oldProc || !InsertWindow(h, w)) {
        HeapFree(GetProcessHeap(), 0, w);
        return;
    }
    auto previous =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SkinWndProc)));
    if (!previous) {
        RemoveWindow(h);
        HeapFree(GetProcessHeap(), 0, w);
        return;
    }
    w->oldProc = previous;
}

LRESULT CALLBACK SkinWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    SkinWindow* w = FindSkinWindow(h);
    if (!w) return DefWindowProcA(h, msg, wp, lp);
    ++w->depth;
    LRESULT r;
    if (msg == WM_NCDESTROY) {
        r = Forward(w, msg, wp, lp);
        w->dead = true;
    } else if (!ActiveSkin()) {
        r = Forward(w, msg, wp, lp);
    } else if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) {
        r = SkinCtlColor(msg, reinterpret_cast<HDC>(wp), Forward(w, msg, wp, lp));
    } else {
        switch (w->kind) {
            case Kind::kFrame: r = FrameProc(w, msg, wp, lp); break;
            case Kind::kButton: r = ButtonProc(w, msg, wp, lp); break;
            case Kind::kBordered: r = BorderedProc(w, msg, wp, lp); break;
            case Kind::kCombo: r = ComboProc(w, msg, wp, lp); break;
            case Kind::kScrollBar: r = ScrollBarProc(w, msg, wp, lp); break;
            case Kind::kProgress: r = ProgressProc(w, msg, wp, lp); break;
            default: r = Forward(w, msg, wp, lp); break;
        }
    }
    if (--w->depth == 0 && w->dead) {
        RemoveWindow(h);
        HeapFree(GetProcessHeap(), 0, w);
    }
    return r;
}

LRESULT CALLBACK CbtHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND && ActiveSkin()) Adopt(reinterpret_cast<HWND>(wp));
    return CallNextHookEx(nullptr, code, wp, lp);
}

LRESULT CALLBACK FilterHook(int code, WPARAM wp, LPARAM lp) {
    if (code == MSGF_SCROLLBAR && lp) ScrollTrackingStep(reinterpret_cast<MSG*>(lp)->hwnd);
    return CallNextHookEx(nullptr, code, wp, lp);
}

void HookThisThread() {
    if (g_hookSlot == TLS_OUT_OF_INDEXES || TlsGetValue(g_hookSlot)) return;
    DWORD thread = GetCurrentThreadId();
    if (SetWindowsHookExA(WH_CBT, &CbtHook, nullptr, thread)) TlsSetValue(g_hookSlot, reinterpret_cast<void*>(1));
    SetWindowsHookExA(WH_MSGFILTER, &FilterHook, nullptr, thread);
}

BOOL CALLBACK AdoptChild(HWND h, LPARAM) {
    Adopt(h);
    return TRUE;
}

BOOL CALLBACK AdoptTopLevel(HWND h, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != GetCurrentProcessId()) return TRUE;
    Adopt(h);
    EnumChildWindows(h, &AdoptChild, 0);
    return TRUE;
}

BOOL CALLBACK RepaintTopLevel(HWND h, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid == GetCurrentProcessId())
        RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    return TRUE;
}

// Applies the translucent mode to every skinned frame.
void GlassEverywhere() {
    HWND frames[512];
    size_t n = ListWindows(frames, 512, true);
    for (size_t i = 0; i < n; ++i)
        if (SkinWindow* w = FindSkinWindow(frames[i])) ApplyGlass(w);
}

}  // namespace

SkinWindow* FindSkinWindow(HWND h) {
    SkinWindow* found = nullptr;
    AcquireSRWLockShared(&g_tableLock);
    for (size_t i = g_capacity ? HashOf(h) & (g_capacity - 1) : 0; g_capacity && g_slots[i].key;
         i = (i + 1) & (g_capacity - 1)) {
        if (g_slots[i].key == h) {
            found = g_slots[i].value;
            break;
        }
    }
    ReleaseSRWLockShared(&g_tableLock);
    return found;
}

LRESULT Forward(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp) {
    return CallWindowProcA(w->oldProc, w->hwnd, msg, wp, lp);
}

LRESULT ForwardQuietly(SkinWindow* w, UINT msg, WPARAM wp, LPARAM lp, bool now) {
    HWND h = w->hwnd;
    // A window that is not on the screen paints nothing, directly or not; it only needs a repaint later.
    if (!IsWindowVisible(h)) {
        LRESULT r = Forward(w, msg, wp, lp);
        if (IsWindow(h)) InvalidateRect(h, nullptr, FALSE);
        return r;
    }
    // WM_SETREDRAW(FALSE) takes the visible bit away, so the standard control's own painting goes nowhere.
    DefWindowProcA(h, WM_SETREDRAW, FALSE, 0);
    LRESULT r = Forward(w, msg, wp, lp);
    if (IsWindow(h)) {
        DefWindowProcA(h, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | (now ? RDW_UPDATENOW : 0));
    }
    return r;
}

LRESULT SkinCtlColor(UINT msg, HDC dc, LRESULT answer) {
    const Skin* s = ActiveSkin();
    if (!s || msg == WM_CTLCOLORSCROLLBAR) return answer;
    auto b = reinterpret_cast<HBRUSH>(answer);
    bool windowLike = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
    int sys = windowLike ? COLOR_WINDOW : COLOR_3DFACE;
    if (b != GetSysColorBrush(sys) && b != reinterpret_cast<HBRUSH>(intptr_t(sys + 1))) return answer;
    Role back = windowLike ? kEditBack : kWindowFace;
    SetBkColor(dc, s->colour[back]);
    COLORREF text = GetTextColor(dc);
    if (text == GetSysColor(COLOR_WINDOWTEXT) || text == GetSysColor(COLOR_BTNTEXT)) SetTextColor(dc, s->colour[kText]);
    return reinterpret_cast<LRESULT>(s->brush[back]);
}

HBRUSH ParentColours(HWND hwnd, UINT msg, HDC dc, COLORREF* text) {
    HWND parent = GetParent(hwnd);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    HBRUSH b = nullptr;
    if (parent)
        b = reinterpret_cast<HBRUSH>(
            SendMessageA(parent, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
    if (!b)
        b = reinterpret_cast<HBRUSH>(
            DefWindowProcA(parent ? parent : hwnd, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
    b = reinterpret_cast<HBRUSH>(SkinCtlColor(msg, dc, reinterpret_cast<LRESULT>(b)));
    if (text) *text = GetTextColor(dc);
    return b;
}

}  // namespace skin

using namespace skin;

// Attaches a skin file to the process. Returns 0 on success; otherwise nothing changes and the result names the
// fault: 1 no data, 2 not a skin file, 3 unknown format version, 4 length mismatch, 5 checksum mismatch,
// 6 broken section directory, 7 a required section missing, 8 a malformed section, 9 out of resources.
// The password is not used (skin files are not encrypted); the three integers shift hue (degrees), saturation
// and lightness (percent) of every colour, 0 meaning as stored.
extern "C" __declspec(dllexport) int32_t SkinH_AttachRes(const void* data, int32_t length, const char* password,
                                                         int32_t hue, int32_t saturation, int32_t lightness) {
    (void)password;
    if (!data || length <= 0) return 1;
    SkinData parsed;
    ReadError e = ReadSkin(data, size_t(length), &parsed);
    if (e != ReadError::kNone) return int32_t(e);
    Skin* s = CreateSkin(parsed, hue, saturation, lightness);
    if (!s) return 9;
    // Windows keep calling into this library once subclassed, so it must never be unloaded from now on.
    HMODULE pinned;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(&SkinH_AttachRes), &pinned);
    PublishSkin(s);
    HookThisThread();
    EnumWindows(&AdoptTopLevel, 0);
    GlassEverywhere();
    EnumWindows(&RepaintTopLevel, 0);
    return 0;
}

// Switches the translucent frame mode on (non-zero) or off for every skinned window, now and later. Returns 0.
extern "C" __declspec(dllexport) int32_t SkinH_SetAero(int32_t on) {
    SetGlassEnabled(on != 0);
    if (ActiveSkin()) {
        GlassEverywhere();
        EnumWindows(&RepaintTopLevel, 0);
    }
    return 0;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_hookSlot = TlsAlloc();
    } else if (reason == DLL_THREAD_ATTACH && ActiveSkin()) {
        // Threads started after the attach get the creation hook too, so their windows are skinned.
        HookThisThread();
    }
    return TRUE;
}

// The UI driver's target: tokens, selectors, the target process and window, remote memory and remote calls,
// menu reading and screenshots.
#include "tools/ui-driver/driver.h"

#include <commctrl.h>
#include <psapi.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace uidriver {

// --- Tokens ---------------------------------------------------------------------------------------------

bool Tokenize(const std::string& line, std::vector<Token>* tokens, std::string* error) {
    tokens->clear();
    size_t i = 0, n = line.size();
    auto lead = [&](size_t k) { return k + 1 < n && IsDBCSLeadByte(BYTE(line[k])); };
    while (i < n) {
        while (i < n && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
        if (i >= n) break;
        Token t;
        while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n') {
            if (line[i] != '"') {
                if (lead(i)) {
                    t.value += line.substr(i, 2);
                    t.raw += line.substr(i, 2);
                    i += 2;
                } else {
                    t.value += line[i];
                    t.raw += line[i++];
                }
                continue;
            }
            t.raw += line[i++];
            bool closed = false;
            while (i < n) {
                char c = line[i];
                if (lead(i)) {
                    t.value += line.substr(i, 2);
                    t.raw += line.substr(i, 2);
                    i += 2;
                    continue;
                }
                t.raw += c;
                ++i;
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c != '\\' || i >= n) {
                    t.value += c;
                    continue;
                }
                char e = line[i++];
                t.raw += e;
                switch (e) {
                    case 'n': t.value += '\n'; break;
                    case 'r': t.value += '\r'; break;
                    case 't': t.value += '\t'; break;
                    case 'x':
                        if (i + 1 < n && std::isxdigit(BYTE(line[i])) && std::isxdigit(BYTE(line[i + 1]))) {
                            t.value += char(std::stoi(line.substr(i, 2), nullptr, 16));
                            t.raw += line.substr(i, 2);
                            i += 2;
                        } else {
                            *error = "bad \\x escape";
                            return false;
                        }
                        break;
                    default: t.value += e; break;
                }
            }
            if (!closed) {
                *error = "unterminated quote";
                return false;
            }
        }
        tokens->push_back(std::move(t));
    }
    return true;
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = BYTE(text[i]);
        if (i + 1 < text.size() && IsDBCSLeadByte(c)) {
            out += text.substr(i++, 2);
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char b[8];
            std::snprintf(b, sizeof b, "\\x%02x", c);
            out += b;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

// --- Windows of another process ------------------------------------------------------------------------

std::string WindowText(HWND w) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
    std::string text(size_t(length) + 1, '\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(w, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                             &got))
        return {};
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::string ClassOf(HWND w) {
    char cls[128] = {};
    GetClassNameA(w, cls, sizeof cls);
    return cls;
}

int ControlId(HWND w) { return int(GetWindowLongPtrA(w, GWLP_ID) & 0xFFFF); }

Target::~Target() {
    if (process_) CloseHandle(process_);
}

namespace {

struct TitleSearch {
    const std::string* title;
    DWORD pid;  // 0: any process
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<TitleSearch*>(lp);
    if (!IsWindowVisible(w)) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (s->pid && pid != s->pid) return TRUE;
    if (s->title) {
        char text[512] = {};
        GetWindowTextA(w, text, sizeof text);
        if (*s->title != text) return TRUE;
    }
    s->found.push_back(w);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND w, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
    return TRUE;
}

}  // namespace

std::vector<HWND> Descendants(HWND w) {
    std::vector<HWND> all;
    EnumChildWindows(w, &CollectChild, reinterpret_cast<LPARAM>(&all));
    return all;
}

std::string HexNumber(uintptr_t v) {
    char b[32];
    std::snprintf(b, sizeof b, "0x%llx", static_cast<unsigned long long>(v));
    return b;
}

Result Target::Attach(const std::string& title, DWORD timeout) {
    TitleSearch s{&title, 0, {}};
    if (!WaitFor(timeout, [&] {
            s.found.clear();
            EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&s));
            return !s.found.empty();
        }))
        return Fail("no window titled " + Quote(title));
    main_ = s.found.front();
    scope_ = nullptr;
    GetWindowThreadProcessId(main_, &pid_);
    if (process_) CloseHandle(process_);
    process_ = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid_);
    return Ok(HexNumber(uintptr_t(main_)) + " " + std::to_string(pid_));
}

std::vector<HWND> Target::TopLevelWindows() const {
    TitleSearch s{nullptr, pid_, {}};
    EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

Result Target::Find(const Token& selector, HWND* found, DWORD wait) {
    HWND root = scope();
    if (!root || !IsWindow(root)) return Fail("not attached to a window");
    std::string raw = selector.raw;
    int nth = 1;
    // "@n" at the end, outside quotes.
    size_t at = raw.rfind('@');
    if (at != std::string::npos && at + 1 < raw.size() && raw.find('"', at) == std::string::npos &&
        raw.find_first_not_of("0123456789", at + 1) == std::string::npos) {
        nth = std::atoi(raw.c_str() + at + 1);
        raw.resize(at);
    }
    if (raw == "main") {
        *found = root;
        return Ok();
    }
    std::string cls, text;
    int id = -1;
    bool byText = false;
    auto readRest = [&](const std::string& rest) -> bool {
        if (rest.size() >= 2 && rest.front() == '"') {
            std::vector<Token> t;
            std::string error;
            if (!Tokenize(rest, &t, &error) || t.size() != 1) return false;
            text = t[0].value;
            byText = true;
            return true;
        }
        if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
            char* end = nullptr;
            id = int(std::strtol(rest.c_str() + 2, &end, 16));
            return end && *end == 0;
        }
        return false;
    };
    if (raw.empty()) return Fail("empty selector");
    if (raw.front() == '"' || (raw.size() > 2 && raw[0] == '0' && (raw[1] == 'x' || raw[1] == 'X'))) {
        if (!readRest(raw)) return Fail("bad selector " + raw);
    } else {
        size_t colon = raw.find(':');
        cls = raw.substr(0, colon);
        if (colon != std::string::npos && !readRest(raw.substr(colon + 1))) return Fail("bad selector " + raw);
    }
    // A control may not exist yet (a window is often shown before its controls are made): look again until
    // the time-out.
    bool hit = WaitFor(wait, [&] {
        int seen = 0;
        for (HWND w : Descendants(root)) {
            if (!cls.empty() && lstrcmpiA(ClassOf(w).c_str(), cls.c_str()) != 0) continue;
            if (id >= 0 && ControlId(w) != id) continue;
            if (byText && WindowText(w) != text) continue;
            if (++seen == nth) {
                *found = w;
                return true;
            }
        }
        return false;
    });
    return hit ? Ok() : Fail("no control " + selector.raw);
}

// A window of the same thread that answers a posted PBM_GETRANGE by writing through its pointer: the marker
// that tells when the thread has taken everything posted before it.
HWND Target::MarkerWindow(HWND any) const {
    DWORD thread = GetWindowThreadProcessId(any, nullptr);
    for (HWND w : Descendants(main_))
        if (ClassOf(w) == PROGRESS_CLASSA && GetWindowThreadProcessId(w, nullptr) == thread) return w;
    return nullptr;
}

bool Target::Settle(HWND any, int posted) {
    if (!any || !IsWindow(any)) return true;
    // Posted messages leave a thread's queue in the order they were posted. So a marker posted after the input
    // is taken only once the input has been dispatched (its handler has begun, or a modal loop took over).
    if (HWND marker = MarkerWindow(any)) {
        RemoteBuffer range(process_, sizeof(PBRANGE));
        const PBRANGE unset{0x5AA5A55A, 0x5AA5A55A};
        if (range.valid() && range.Write(&unset, sizeof unset) &&
            PostMessageA(marker, PBM_GETRANGE, TRUE, LPARAM(range.address()))) {
            return WaitFor(timeoutMs, [&] {
                PBRANGE now = unset;
                if (!IsWindow(marker) || !range.Read(&now, sizeof now)) return true;  // the window or program ended
                return now.iLow != unset.iLow || now.iHigh != unset.iHigh;
            }, 1);
        }
    }
    // Without a marker window, a best effort: the thread answers sent messages at every turn of its message loop
    // and takes one posted message per turn, so posted + 2 answers one after the other usually mean the posted
    // ones are done. Any wait that answers sent messages (a call to another thread's window) spoils the count.
    for (int i = 0; i < posted + 2; ++i) {
        DWORD_PTR ignored;
        if (!IsWindow(any) || !SendMessageTimeoutA(any, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored)) break;
    }
    return true;
}

// --- Remote memory and calls ----------------------------------------------------------------------------

RemoteBuffer::RemoteBuffer(HANDLE process, size_t size, DWORD protect) : process_(process) {
    if (process) address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, protect);
}

RemoteBuffer::~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
}

bool RemoteBuffer::Write(const void* data, size_t size, size_t offset) {
    SIZE_T done = 0;
    return address_ && WriteProcessMemory(process_, reinterpret_cast<void*>(address(offset)), data, size, &done) &&
           done == size;
}

bool RemoteBuffer::Read(void* data, size_t size, size_t offset) const {
    SIZE_T done = 0;
    return address_ && ReadProcessMemory(process_, reinterpret_cast<void*>(address(offset)), data, size, &done) &&
           done == size;
}

namespace {

// The library's base address in another process (psapi reads the process's module list).
uintptr_t RemoteModuleBase(HANDLE process, const char* library) {
    HMODULE modules[512];
    DWORD needed = 0;
    if (!EnumProcessModules(process, modules, sizeof modules, &needed)) return 0;
    for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 512; ++i) {
        char name[MAX_PATH] = {};
        if (GetModuleBaseNameA(process, modules[i], name, sizeof name) && lstrcmpiA(name, library) == 0)
            return reinterpret_cast<uintptr_t>(modules[i]);
    }
    return 0;
}

// x86-64 code run as the remote thread: rcx points at {function, a1..a5, result}; calls function(a1..a5) with
// the Windows x64 convention (four registers, the fifth on the stack above the shadow space) and stores rax.
constexpr uint8_t kCallStub[] = {
    0x53,                          // push rbx
    0x48, 0x83, 0xEC, 0x30,        // sub rsp, 0x30
    0x48, 0x89, 0xCB,              // mov rbx, rcx
    0x48, 0x8B, 0x43, 0x28,        // mov rax, [rbx+40]
    0x48, 0x89, 0x44, 0x24, 0x20,  // mov [rsp+0x20], rax
    0x48, 0x8B, 0x4B, 0x08,        // mov rcx, [rbx+8]
    0x48, 0x8B, 0x53, 0x10,        // mov rdx, [rbx+16]
    0x4C, 0x8B, 0x43, 0x18,        // mov r8, [rbx+24]
    0x4C, 0x8B, 0x4B, 0x20,        // mov r9, [rbx+32]
    0xFF, 0x13,                    // call [rbx]
    0x48, 0x89, 0x43, 0x30,        // mov [rbx+48], rax
    0x48, 0x83, 0xC4, 0x30,        // add rsp, 0x30
    0x5B,                          // pop rbx
    0x31, 0xC0,                    // xor eax, eax
    0xC3,                          // ret
};

}  // namespace

bool RemoteCall(HANDLE process, const char* library, const char* function, const std::vector<uint64_t>& args,
                uint64_t* result) {
    if (!process || args.size() > 5) return false;
    HMODULE local = GetModuleHandleA(library);
    if (!local) local = LoadLibraryA(library);
    FARPROC proc = local ? GetProcAddress(local, function) : nullptr;
    uintptr_t base = RemoteModuleBase(process, library);
    if (!proc || !base) return false;
    uint64_t block[7] = {base + (reinterpret_cast<uintptr_t>(proc) - reinterpret_cast<uintptr_t>(local))};
    for (size_t i = 0; i < args.size(); ++i) block[1 + i] = args[i];
    RemoteBuffer code(process, sizeof kCallStub, PAGE_EXECUTE_READWRITE);
    RemoteBuffer data(process, sizeof block);
    if (!code.Write(kCallStub, sizeof kCallStub) || !data.Write(block, sizeof block)) return false;
    FlushInstructionCache(process, reinterpret_cast<void*>(code.address()), sizeof kCallStub);
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(code.address()),
                                       reinterpret_cast<void*>(data.address()), 0, nullptr);
    if (!thread) return false;
    bool done = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
    CloseHandle(thread);
    // A thread still running keeps its memory: leaking it is better than pulling it away under the thread.
    if (!done) return false;
    return data.Read(block, sizeof block) && (*result = block[6], true);
}

bool ReadMenu(HANDLE process, HMENU menu, std::vector<MenuItem>* items) {
    items->clear();
    uint64_t count = 0;
    auto handle = uint64_t(reinterpret_cast<uintptr_t>(menu));
    if (!RemoteCall(process, "user32.dll", "GetMenuItemCount", {handle}, &count) || int(count) < 0) return false;
    RemoteBuffer text(process, 512);
    for (int i = 0; i < int(count); ++i) {
        uint64_t state = 0, length = 0;
        RemoteCall(process, "user32.dll", "GetMenuState", {handle, uint64_t(i), MF_BYPOSITION}, &state);
        MenuItem item{{}, (state & MF_SEPARATOR) != 0, (state & (MF_GRAYED | MF_DISABLED)) != 0};
        if (item.separator) {
            item.text = "-";
        } else if (RemoteCall(process, "user32.dll", "GetMenuStringA",
                              {handle, uint64_t(i), text.address(), 511, MF_BYPOSITION}, &length)) {
            char buffer[512] = {};
            text.Read(buffer, 511);
            item.text = buffer;
        }
        items->push_back(item);
    }
    return true;
}

// --- Screenshots ----------------------------------------------------------------------------------------

Result Screenshot(HWND w, const std::string& path, bool print) {
    RECT r;
    if (!GetWindowRect(w, &r)) return Fail("no such window");
    int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return Fail("empty window");
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bitmap);
    bool drawn = print ? PrintWindow(w, mem, 0) : BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    Result result = Fail("cannot capture the window");
    if (drawn && bits) {
        DWORD stride = (DWORD(width) * 3 + 3) & ~3u, imageSize = stride * DWORD(height);
        BITMAPFILEHEADER fh{};
        fh.bfType = 0x4D42;
        fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
        fh.bfSize = fh.bfOffBits + imageSize;
        bi.bmiHeader.biSizeImage = imageSize;
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) {
            result = Fail("cannot write " + Quote(path));
        } else {
            bool written = std::fwrite(&fh, sizeof fh, 1, f) == 1 &&
                           std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
                           std::fwrite(bits, imageSize, 1, f) == 1;
            written = std::fclose(f) == 0 && written;
            result = written ? Ok(std::to_string(width) + " " + std::to_string(height))
                             : Fail("cannot write " + Quote(path));
        }
    }
    DeleteObject(bitmap);
    return result;
}

}  // namespace uidriver

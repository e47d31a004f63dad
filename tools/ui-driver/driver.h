// The UI driver's model of the program it operates: the target process and window, control selectors, waits,
// input messages, and memory and calls inside the target process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace uidriver {

// A word of a command line: its value (quotes and escapes resolved) and its raw spelling (for selectors).
struct Token {
    std::string value;
    std::string raw;
};

// Splits a command line into tokens; double quotes group text and take \" \\ \n \r \t \xHH escapes.
// GBK double-byte characters are kept whole (a trail byte 0x5C is not an escape).
bool Tokenize(const std::string& line, std::vector<Token>* tokens, std::string* error);
// A text as a quoted token, escaping what Tokenize would read back differently.
std::string Quote(const std::string& text);

struct Result {
    bool ok;
    std::string text;  // what follows "ok " or "error "
};
inline Result Ok(std::string text = {}) { return Result{true, std::move(text)}; }
inline Result Fail(std::string text) { return Result{false, std::move(text)}; }

class Target {
public:
    ~Target();

    DWORD timeoutMs = 10000;
    std::string defaultTitle;

    // Waits for a visible top-level window with exactly this title and makes its process the target.
    Result Attach(const std::string& title, DWORD timeout);
    bool attached() const { return main_ != nullptr; }
    HWND main() const { return main_; }
    HWND scope() const { return scope_ ? scope_ : main_; }
    void SetScope(HWND w) { scope_ = w; }
    DWORD pid() const { return pid_; }
    HANDLE process() const { return process_; }

    // Resolves a selector inside the scope window: main | 0xID | "caption" | Class | Class:"caption" |
    // Class:0xID, each optionally followed by @n (the n-th match, 1-based).
    // Waits up to the default time-out for the control to exist.
    Result Find(const Token& selector, HWND* found) { return Find(selector, found, timeoutMs); }
    Result Find(const Token& selector, HWND* found, DWORD wait);
    // Visible top-level windows of the target process, in Z order.
    std::vector<HWND> TopLevelWindows() const;
    // Waits until cond() holds or the time-out passes; gives up at once when the program has ended, since nothing
    // it would have shown can come any more.
    template <typename Cond>
    bool WaitFor(DWORD timeout, Cond cond, DWORD pollMs = 15) {
        DWORD start = GetTickCount();
        for (;;) {
            if (cond()) return true;
            if (GetTickCount() - start >= timeout || Ended()) return false;
            Sleep(pollMs);
        }
    }
    // Whether the attached program has ended.
    bool Ended() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }
    // Waits until the target's thread has dispatched the messages just posted to the window `any` (posted
    // of them): a person acts, then looks at what the program made of it. False when the program did not take
    // them within the time-out.
    bool Settle(HWND any, int posted);

private:
    HWND MarkerWindow(HWND any) const;

    HWND main_ = nullptr;
    HWND scope_ = nullptr;
    DWORD pid_ = 0;
    HANDLE process_ = nullptr;
};

// Texts of another process's windows and controls, through messages the system carries across processes.
std::string WindowText(HWND w);
std::string ClassOf(HWND w);
int ControlId(HWND w);
// Every descendant of a window, in the order EnumChildWindows gives.
std::vector<HWND> Descendants(HWND w);
std::string HexNumber(uintptr_t v);

// Memory in the target process, freed with the object.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, size_t size, DWORD protect = PAGE_READWRITE);
    ~RemoteBuffer();
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    bool valid() const { return address_ != nullptr; }
    uintptr_t address(size_t offset = 0) const { return reinterpret_cast<uintptr_t>(address_) + offset; }
    bool Write(const void* data, size_t size, size_t offset = 0);
    bool Read(void* data, size_t size, size_t offset = 0) const;

private:
    HANDLE process_;
    void* address_ = nullptr;
};

// Runs function(args...) (up to five integer arguments) of a system library on a new thread of the target
// process and gives its result. Used for what another process cannot read directly, such as menu texts.
bool RemoteCall(HANDLE process, const char* library, const char* function, const std::vector<uint64_t>& args,
                uint64_t* result);

// The items of a menu that the target process owns: text ("-" for a separator) and grey state.
struct MenuItem {
    std::string text;
    bool separator;
    bool grey;
};
bool ReadMenu(HANDLE process, HMENU menu, std::vector<MenuItem>* items);

// Writes the window's picture on the screen (or, with print, as it paints itself) to a 24-bit BMP file.
Result Screenshot(HWND w, const std::string& path, bool print);

}  // namespace uidriver

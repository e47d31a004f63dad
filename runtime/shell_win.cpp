// The shell library on Win32: the folder browser and shell-link shortcuts.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "runtime/args.h"
#include "runtime/library_commands.h"
#include "runtime/library_rules.h"
#include "runtime/memory.h"

namespace rt {

namespace {

constexpr UINT kBrowseEditBox = 0x10;         // BIF_EDITBOX
constexpr UINT kBrowseIncludeFiles = 0x4000;  // BIF_BROWSEINCLUDEFILES
constexpr int kShowCurrentSize = SW_SHOW;     // 5: the window in its current size and position

// COM on the calling thread for the length of one command; left alone when the thread already chose a model.
class ComScope {
public:
    ComScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (initialised_) CoUninitialize();
    }

private:
    bool initialised_;
};

// Releases a COM interface when the command ends.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (p_) p_->Release();
    }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    void** out() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

// Disables the program's enabled top-level windows (all but the dialog's owner, whose state the dialog itself
// manages) for the life of the object, then enables again exactly the ones it disabled.
class DisabledTopLevelWindows {
public:
    explicit DisabledTopLevelWindows(HWND owner) : owner_(owner) {
        EnumWindows(&Collect, reinterpret_cast<LPARAM>(this));
        for (HWND w : disabled_) EnableWindow(w, FALSE);
    }
    DisabledTopLevelWindows(const DisabledTopLevelWindows&) = delete;
    DisabledTopLevelWindows& operator=(const DisabledTopLevelWindows&) = delete;
    ~DisabledTopLevelWindows() {
        for (HWND w : disabled_)
            if (IsWindow(w)) EnableWindow(w, TRUE);
    }

private:
    static BOOL CALLBACK Collect(HWND w, LPARAM self) {
        auto* me = reinterpret_cast<DisabledTopLevelWindows*>(self);
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process == GetCurrentProcessId() && w != me->owner_ && IsWindowEnabled(w)) me->disabled_.push_back(w);
        return TRUE;
    }

    HWND owner_;
    std::vector<HWND> disabled_;
};

std::wstring ToWide(const std::string& ansi) {
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), n);
    wide.resize(size_t(n) - 1);
    return wide;
}

// The folder the browser opens at, and whether anything was selected in it since.
struct StartFolder {
    std::string path;
    bool selected = false;
};

// Once the folder browser is up, selects the start folder and opens it in the tree, so that OK alone
// chooses it again. A folder that no longer exists leaves the browser at the top of the tree. Every change of
// the selection, the user's or this one, is noted.
int CALLBACK SelectStartFolder(HWND dialog, UINT message, LPARAM, LPARAM data) {
    auto* start = reinterpret_cast<StartFolder*>(data);
    if (!start) return 0;
    if (message == BFFM_SELCHANGED) start->selected = true;
    if (message != BFFM_INITIALIZED) return 0;
    std::wstring wide = ToWide(start->path);
    SendMessageW(dialog, BFFM_SETEXPANDED, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
    SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(start->path.c_str()));
    return 0;
}

bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Reads the folder and each folder above it once. The browser finds its start folder by comparing the
// folder's shell IDs byte for byte with the ones it listed into its tree, and those IDs hold the last-access
// time. A folder changed since it was last read (pictures were just saved into it) gets a new access time from
// the browser's own first read of it, so the tree and the start folder would disagree and the browser would
// select nothing; once read here, later reads leave the access time as it is.
void ReadFolderPath(const std::string& folder) {
    for (size_t end = folder.find('\\'); ; end = folder.find('\\', end + 1)) {
        std::string part = folder.substr(0, end == std::string::npos ? folder.size() : end);
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((part + "\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) FindClose(find);
        if (end == std::string::npos) break;
    }
}

}  // namespace

void BrowseForFolder(Value* result, int32_t argc, Value* args) {
    ComScope com;
    HWND active = GetActiveWindow();
    HWND owner = IsWindow(active) ? active : nullptr;
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.lpszTitle = ArgText(argc, args, 0);
    info.ulFlags = kBrowseEditBox | (ArgBool(argc, args, 1) ? kBrowseIncludeFiles : 0);
    StartFolder start;
    if (!ArgOmitted(argc, args, 2)) start.path = ArgText(argc, args, 2);
    if (start.path.size() > 3 && start.path.back() == '\\') start.path.pop_back();  // "D:\\pictures\\" as "D:\\pictures"
    if (!start.path.empty()) {
        ReadFolderPath(start.path);
        info.lpfn = &SelectStartFolder;
        info.lParam = reinterpret_cast<LPARAM>(&start);
    }

    LPITEMIDLIST item;
    {
        DisabledTopLevelWindows disabled(owner);
        item = SHBrowseForFolderA(&info);
    }
    char path[MAX_PATH] = "";
    if (item) {
        if (!SHGetPathFromIDListA(item, path)) path[0] = 0;
        CoTaskMemFree(item);
        // OK with nothing selected: the browser could not show the start folder (Wine's finds it only while the
        // folders on its path keep the access times its tree listed) and would answer with the desktop. The
        // start folder, which OK alone is meant to choose, is the answer then.
        if (!start.path.empty() && !start.selected && IsFolder(start.path))
            lstrcpynA(path, start.path.c_str(), MAX_PATH);
    }
    SetText(result, NewText(path));
}

void CreateShortcut(Value* result, int32_t argc, Value* args) {
    std::string name = ArgText(argc, args, 0);
    if (name.empty()) return SetBool(result, false);
    ComScope com;
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.out())))
        return SetBool(result, false);
    link->SetPath(ArgText(argc, args, 1));
    link->SetShowCmd(kShowCurrentSize);
    if (!ArgOmitted(argc, args, 2)) link->SetDescription(ArgText(argc, args, 2));
    if (!ArgOmitted(argc, args, 3)) link->SetArguments(ArgText(argc, args, 3));
    if (!ArgOmitted(argc, args, 4)) link->SetWorkingDirectory(ArgText(argc, args, 4));

    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return SetBool(result, false);
    SetBool(result, SUCCEEDED(file->Save(ToWide(ShortcutFileName(name)).c_str(), TRUE)));
}

}  // namespace rt

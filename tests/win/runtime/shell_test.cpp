// The shell library under Wine: shortcuts read back through IShellLinkA, the folder browser driven by a thread.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "runtime/call.h"
#include "runtime/library_commands.h"

namespace rt {
namespace {

struct FoundDialog {
    HWND dialog = nullptr;
};

BOOL CALLBACK FindOwnDialog(HWND w, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (process == GetCurrentProcessId() && std::string(cls) == "#32770" && IsWindowVisible(w)) {
        reinterpret_cast<FoundDialog*>(found)->dialog = w;
        return FALSE;
    }
    return TRUE;
}

// The program's visible dialog (class #32770), waited for up to ten seconds.
HWND WaitForDialog() {
    for (int i = 0; i < 1000; ++i) {
        FoundDialog found;
        EnumWindows(&FindOwnDialog, reinterpret_cast<LPARAM>(&found));
        if (found.dialog) return found.dialog;
        Sleep(10);
    }
    return nullptr;
}

std::string ItemText(HWND tree, HTREEITEM item) {
    char text[260] = "";
    TVITEMA tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return text;
}

HTREEITEM NextItem(HWND tree, UINT relation, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// The first of the item and its following siblings whose text the predicate accepts.
template <typename F>
HTREEITEM FindSibling(HWND tree, HTREEITEM first, F accept) {
    for (HTREEITEM item = first; item; item = NextItem(tree, TVGN_NEXT, item))
        if (accept(ItemText(tree, item))) return item;
    return nullptr;
}

// The first child of the item, once it is expanded.
HTREEITEM ExpandedChild(HWND tree, HTREEITEM item) {
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    return NextItem(tree, TVGN_CHILD, item);
}

bool SameText(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// Selects C:\windows (through My Computer and the C: drive) in the folder browser; null when not found.
HTREEITEM SelectWindowsFolder(HWND tree, std::string* childrenOfWindows) {
    // The desktop's children: "/" (the whole Unix tree, left closed), My Computer, folders. One holds C:.
    HTREEITEM drive = nullptr;
    HTREEITEM root = NextItem(tree, TVGN_ROOT, nullptr);
    for (HTREEITEM top = ExpandedChild(tree, root); top && !drive; top = NextItem(tree, TVGN_NEXT, top)) {
        if (ItemText(tree, top) == "/") continue;
        drive = FindSibling(tree, ExpandedChild(tree, top),
                            [](const std::string& t) { return t.find("(C:)") != std::string::npos; });
    }
    if (!drive) return nullptr;
    HTREEITEM windows =
        FindSibling(tree, ExpandedChild(tree, drive), [](const std::string& t) { return SameText(t, "windows"); });
    if (!windows) return nullptr;
    for (HTREEITEM c = ExpandedChild(tree, windows); c; c = NextItem(tree, TVGN_NEXT, c))
        *childrenOfWindows += ItemText(tree, c) + "|";
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(windows));
    return windows;
}

bool HasChildWithText(HWND dialog, const char* text) {
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char buffer[260] = "";
        GetWindowTextA(c, buffer, sizeof buffer);
        if (std::string(buffer) == text) return true;
    }
    return false;
}

// What the driver thread saw while the folder browser was open.
struct BrowserSeen {
    bool found = false;
    HWND owner = nullptr;
    bool titleShown = false;
    bool otherEnabled = true;
    bool selected = false;
    std::string childrenOfWindows;
};

// Finds the folder browser, notes what it sees, selects C:\windows and ends the dialog with the given button.
std::thread DriveBrowser(BrowserSeen* seen, HWND other, const char* title, int button) {
    return std::thread([=] {
        HWND dialog = WaitForDialog();
        if (!dialog) return;
        seen->found = true;
        seen->owner = GetWindow(dialog, GW_OWNER);
        seen->titleShown = HasChildWithText(dialog, title);
        seen->otherEnabled = IsWindowEnabled(other) != FALSE;
        HWND tree = FindWindowExA(dialog, nullptr, "SysTreeView32", nullptr);
        seen->selected = tree && SelectWindowsFolder(tree, &seen->childrenOfWindows);
        PostMessageA(dialog, WM_COMMAND, button, 0);
    });
}

// Three top-level windows of the program: the active one (the dialog's owner), an enabled and a disabled one.
// They stay hidden: without a window manager Wine waits two seconds to take a shown window down.
class TopLevelWindows : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "ShellTestWindow";
        RegisterClassA(&wc);
        for (HWND* w : {&active, &enabled, &disabled}) {
            *w = CreateWindowExA(0, "ShellTestWindow", "shell test", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        }
        EnableWindow(disabled, FALSE);
        SetForegroundWindow(active);
        SetActiveWindow(active);
    }
    void TearDown() override {
        for (HWND w : {active, enabled, disabled}) DestroyWindow(w);
    }

    HWND active = nullptr;
    HWND enabled = nullptr;
    HWND disabled = nullptr;
};

TEST_F(TopLevelWindows, BrowseForFolderGivesTheChosenFolderWhileOtherWindowsAreDisabled) {
    ASSERT_EQ(GetActiveWindow(), active);
    BrowserSeen seen;
    std::thread driver = DriveBrowser(&seen, enabled, "选择保存目录", IDOK);
    Text path = TextResult(CallLibrary(kShellCommands[kBrowseForFolder].fn, "选择保存目录"));
    driver.join();
    ASSERT_TRUE(seen.found);
    ASSERT_TRUE(seen.selected);
    char windowsDir[MAX_PATH];
    GetWindowsDirectoryA(windowsDir, MAX_PATH);
    EXPECT_TRUE(SameText(path.str(), windowsDir)) << path.str();

    EXPECT_EQ(seen.owner, active);
    EXPECT_TRUE(seen.titleShown);
    EXPECT_FALSE(seen.otherEnabled);
    EXPECT_EQ(seen.childrenOfWindows.find("notepad.exe"), std::string::npos);  // folders only
    // Afterwards every window has its previous state again.
    EXPECT_TRUE(IsWindowEnabled(active));
    EXPECT_TRUE(IsWindowEnabled(enabled));
    EXPECT_FALSE(IsWindowEnabled(disabled));
}

// OK alone, without touching the tree, chooses the start folder: the browser opened with it selected, also
// three levels down in a folder the tree had not opened. The application passes its last folder with the
// backslash it adds.
TEST_F(TopLevelWindows, BrowseForFolderStartsAtTheGivenFolder) {
    char windowsDir[MAX_PATH], temp[MAX_PATH];
    GetWindowsDirectoryA(windowsDir, MAX_PATH);
    GetTempPathA(MAX_PATH, temp);
    std::string top = std::string(temp) + "pexo-browse-" + std::to_string(GetCurrentProcessId());
    std::string deep = top + "\\相册\\b";
    for (const std::string& dir : {top, top + "\\相册", deep}) CreateDirectoryA(dir.c_str(), nullptr);
    for (std::string start : {std::string(windowsDir), deep + "\\"}) {
        std::thread driver([] {
            if (HWND dialog = WaitForDialog()) PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        Text path = TextResult(CallLibrary(kShellCommands[kBrowseForFolder].fn, "选择保存目录", false, start.c_str()));
        driver.join();
        std::string expected = start.back() == '\\' ? start.substr(0, start.size() - 1) : start;
        EXPECT_TRUE(SameText(path.str(), expected)) << start << " -> " << path.str();
    }
    for (const std::string& dir : {deep, top + "\\相册", top}) RemoveDirectoryA(dir.c_str());
}

// OK alone chooses the start folder again after pictures were saved into it (a temporary file renamed, as the
// downloads do) and seconds went by before the browser opened: the browser's own first read of the changed
// folder then gives it a new access time, which it stores in the shell IDs that it compares.
TEST_F(TopLevelWindows, BrowseForFolderStartsAtAFolderJustWrittenInto) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "pexo-written-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::vector<std::string> pictures;
    for (int round = 0; round < 3; ++round) {
        std::thread driver([] {
            if (HWND dialog = WaitForDialog()) PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        Text path = TextResult(CallLibrary(kShellCommands[kBrowseForFolder].fn, "选择保存目录", false, folder.c_str()));
        driver.join();
        EXPECT_TRUE(SameText(path.str(), folder)) << "round " << round << ": " << path.str();
        std::string temporary = folder + "\\~pexo.tmp", picture = folder + "\\IMG_" + std::to_string(round) + ".jpg";
        HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, "picture", 7, &written, nullptr);
        CloseHandle(file);
        ASSERT_TRUE(MoveFileExA(temporary.c_str(), picture.c_str(), 0));
        pictures.push_back(picture);
        Sleep(2100);  // access times in shell IDs count in two-second steps
    }
    for (const std::string& picture : pictures) DeleteFileA(picture.c_str());
    RemoveDirectoryA(folder.c_str());
}

// A start folder the browser cannot show (inside a hidden folder, which its tree leaves out): OK with nothing
// selected chooses the start folder, not the desktop the browser answers with.
TEST_F(TopLevelWindows, BrowseForFolderOkWithoutASelectionChoosesTheStartFolder) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string hidden = std::string(temp) + ".pexo-hidden-" + std::to_string(GetCurrentProcessId());
    std::string folder = hidden + "\\album";
    ASSERT_TRUE(CreateDirectoryA(hidden.c_str(), nullptr));
    SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::thread driver([] {
        if (HWND dialog = WaitForDialog()) PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    Text path = TextResult(CallLibrary(kShellCommands[kBrowseForFolder].fn, "选择保存目录", false, folder.c_str()));
    driver.join();
    EXPECT_TRUE(SameText(path.str(), folder)) << path.str();
    RemoveDirectoryA(folder.c_str());
    SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(hidden.c_str());
}

TEST_F(TopLevelWindows, BrowseForFolderWithFilesAndCancelled) {
    BrowserSeen seen;
    std::thread driver = DriveBrowser(&seen, enabled, "选择文件", IDCANCEL);
    Value r = CallLibrary(kShellCommands[kBrowseForFolder].fn, "选择文件", true);
    driver.join();
    ASSERT_TRUE(seen.found);
    EXPECT_NE(seen.childrenOfWindows.find("notepad.exe"), std::string::npos);
    EXPECT_EQ(r.tag, kTagText);
    EXPECT_EQ(r.AsPointer(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(enabled));
}

// A fresh folder under the temporary directory, removed with its files at the end.
class ShortcutFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        dir = std::string(temp) + "shortcut-test-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir.c_str(), nullptr);
        CreateDirectoryA((dir + "\\sub.dir").c_str(), nullptr);
        char exe[MAX_PATH];
        GetModuleFileNameA(nullptr, exe, MAX_PATH);
        target = exe;
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    }
    void TearDown() override {
        CoUninitialize();
        SHFILEOPSTRUCTA op{};
        std::string from = dir + std::string(1, '\0');
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
        SHFileOperationA(&op);
    }

    static bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    struct LinkFields {
        std::string path, description, arguments, directory;
    };
    // Loads a saved link through IShellLinkA.
    static bool Load(const std::wstring& file, LinkFields* f) {
        IShellLinkA* link = nullptr;
        if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&link))))
            return false;
        IPersistFile* persist = nullptr;
        bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
                  SUCCEEDED(persist->Load(file.c_str(), STGM_READ));
        if (ok) {
            char buffer[1024];
            link->GetPath(buffer, sizeof buffer, nullptr, 0);
            f->path = buffer;
            link->GetDescription(buffer, sizeof buffer);
            f->description = buffer;
            link->GetArguments(buffer, sizeof buffer);
            f->arguments = buffer;
            link->GetWorkingDirectory(buffer, sizeof buffer);
            f->directory = buffer;
        }
        if (persist) persist->Release();
        link->Release();
        return ok;
    }
    // The show command as stored in the file: a 32-bit field at offset 60 of the link header. (Wine's loader
    // reports every value other than 1, 3 and 7 as 1, so IShellLinkA::GetShowCmd cannot tell.)
    static int StoredShowCommand(const std::string& file) {
        int32_t show = -1;
        if (FILE* f = std::fopen(file.c_str(), "rb")) {
            if (std::fseek(f, 60, SEEK_SET) != 0 || std::fread(&show, 4, 1, f) != 1) show = -1;
            std::fclose(f);
        }
        return show;
    }
    static std::wstring Wide(const std::string& ansi) {
        wchar_t buffer[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, buffer, MAX_PATH);
        return buffer;
    }

    std::string dir;
    std::string target;
};

TEST_F(ShortcutFolder, EveryFieldReadsBack) {
    std::string name = dir + "\\全部.lnk";
    Value r = CallLibrary(kShellCommands[kCreateShortcut].fn, name.c_str(), target.c_str(), "相册下载工具",
                          "-x \"a b\"", dir.c_str());
    EXPECT_EQ(r.tag, kTagBool);
    EXPECT_EQ(r.low, 1u);
    LinkFields f;
    ASSERT_TRUE(Load(Wide(name), &f));
    EXPECT_TRUE(SameText(f.path, target)) << f.path;
    EXPECT_EQ(f.description, "相册下载工具");
    EXPECT_EQ(f.arguments, "-x \"a b\"");
    EXPECT_TRUE(SameText(f.directory, dir)) << f.directory;
    EXPECT_EQ(StoredShowCommand(name), SW_SHOW);
}

TEST_F(ShortcutFolder, OmittedFieldsStayEmpty) {
    std::string name = dir + "\\bare.lnk";
    ASSERT_EQ(CallLibrary(kShellCommands[kCreateShortcut].fn, name.c_str(), target.c_str()).low, 1u);
    LinkFields f;
    ASSERT_TRUE(Load(Wide(name), &f));
    EXPECT_EQ(f.description, "");
    EXPECT_EQ(f.arguments, "");
    EXPECT_EQ(f.directory, "");
    EXPECT_EQ(StoredShowCommand(name), SW_SHOW);
}

TEST_F(ShortcutFolder, LnkIsAddedWhenTheFileNameHasNoExtension) {
    auto create = [&](const std::string& name) {
        return CallLibrary(kShellCommands[kCreateShortcut].fn, name.c_str(), target.c_str()).low;
    };
    EXPECT_EQ(create(dir + "\\Pexo相册图片批量下载"), 1u);
    // The Chinese name went through the ANSI code page into UTF-16 intact.
    EXPECT_NE(GetFileAttributesW((Wide(dir) + L"\\Pexo相册图片批量下载.lnk").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(Exists(dir + "\\Pexo相册图片批量下载"));

    EXPECT_EQ(create(dir + "\\kept.name"), 1u);
    EXPECT_TRUE(Exists(dir + "\\kept.name"));
    EXPECT_FALSE(Exists(dir + "\\kept.name.lnk"));

    EXPECT_EQ(create(dir + "\\sub.dir\\inner"), 1u);
    EXPECT_TRUE(Exists(dir + "\\sub.dir\\inner.lnk"));
}

TEST_F(ShortcutFolder, SavingThatFailsGivesFalse) {
    EXPECT_EQ(CallLibrary(kShellCommands[kCreateShortcut].fn, (dir + "\\missing\\x.lnk").c_str(), target.c_str()).low,
              0u);
    EXPECT_EQ(CallLibrary(kShellCommands[kCreateShortcut].fn, "", target.c_str()).low, 0u);
}

}  // namespace
}  // namespace rt

// Disk-file, registry, message-box and message-pump commands against Wine's real implementations.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "runtime/call.h"
#include "tests/win/child_process.h"

namespace rt {
namespace {

bool Ok(const Value& result) { return result.AsInt() != 0; }

// ---- disk files -------------------------------------------------------------------------------------------------

// A private folder under the temporary directory, emptied and removed afterwards.
class DiskFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        dir_ = std::string(temp) + "pexo_files_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir_.c_str(), nullptr);
    }
    void TearDown() override {
        WIN32_FIND_DATAA d;
        HANDLE h = FindFirstFileA((dir_ + "\\*").c_str(), &d);
        for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &d)) {
            std::string path = Path(d.cFileName);
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
        if (h != INVALID_HANDLE_VALUE) FindClose(h);
        RemoveDirectoryA(dir_.c_str());
    }

    std::string Path(const std::string& name) const { return dir_ + "\\" + name; }
    static std::string ReadAll(const std::string& path) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return "<missing>";
        std::string data(4096, '\0');
        DWORD n = 0;
        ReadFile(h, data.data(), DWORD(data.size()), &n, nullptr);
        CloseHandle(h);
        return data.substr(0, n);
    }

    std::string dir_;
};

TEST_F(DiskFiles, WriteFileBytesCreatesAndReplaces) {
    std::string path = Path("out.bin");
    Bytes hello = Bytes::Copy("hello", 5), world = Bytes::Copy(" world", 6), x = Bytes::Copy("x", 1);
    EXPECT_TRUE(Ok(CallKernel(kWriteFileBytes, path.c_str(), hello, Bytes(), world)));
    EXPECT_EQ(ReadAll(path), "hello world");
    EXPECT_TRUE(Ok(CallKernel(kWriteFileBytes, path.c_str(), x)));
    EXPECT_EQ(ReadAll(path), "x");  // replaced, not overwritten in place

    EXPECT_FALSE(Ok(CallKernel(kWriteFileBytes, "", x)));
    EXPECT_FALSE(Ok(CallKernel(kWriteFileBytes, Path("no such folder\\f.bin").c_str(), x)));
}

TEST_F(DiskFiles, WriteFileBytesSharesTheFileWithNobody) {
    std::string path = Path("held.bin");
    Bytes data = Bytes::Copy("abc", 3);
    ASSERT_TRUE(Ok(CallKernel(kWriteFileBytes, path.c_str(), data)));
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Ok(CallKernel(kWriteFileBytes, path.c_str(), data)));
    CloseHandle(reader);
    EXPECT_TRUE(Ok(CallKernel(kWriteFileBytes, path.c_str(), data)));
}

TEST_F(DiskFiles, FileExistsCountsDirectoriesAndMatchingPatterns) {
    Bytes data = Bytes::Copy("1", 1);
    ASSERT_TRUE(Ok(CallKernel(kWriteFileBytes, Path("a.bin").c_str(), data)));
    EXPECT_TRUE(Ok(CallKernel(kFileExists, Path("a.bin").c_str())));
    EXPECT_TRUE(Ok(CallKernel(kFileExists, dir_.c_str())));
    EXPECT_TRUE(Ok(CallKernel(kFileExists, Path("*.bin").c_str())));
    EXPECT_FALSE(Ok(CallKernel(kFileExists, Path("*.zzz").c_str())));
    EXPECT_FALSE(Ok(CallKernel(kFileExists, Path("b.bin").c_str())));
    EXPECT_FALSE(Ok(CallKernel(kFileExists, "")));

    EXPECT_TRUE(Ok(CallKernel(kRemoveFile, Path("a.bin").c_str())));
    EXPECT_FALSE(Ok(CallKernel(kFileExists, Path("a.bin").c_str())));
    EXPECT_FALSE(Ok(CallKernel(kRemoveFile, Path("a.bin").c_str())));
}

TEST_F(DiskFiles, SetFileAttrsKeepsOnlyTheSettableBits) {
    std::string path = Path("attrs.bin");
    Bytes data = Bytes::Copy("1", 1);
    ASSERT_TRUE(Ok(CallKernel(kWriteFileBytes, path.c_str(), data)));
    // Directory (0x10) and the higher bits are dropped.
    EXPECT_TRUE(Ok(CallKernel(kSetFileAttrs, path.c_str(), int32_t(0x7FFFFF11))));
    DWORD attributes = GetFileAttributesA(path.c_str());
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_TRUE(Ok(CallKernel(kSetFileAttrs, path.c_str(), int32_t(FILE_ATTRIBUTE_ARCHIVE))));
    EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_FALSE(Ok(CallKernel(kSetFileAttrs, Path("missing.bin").c_str(), int32_t(0))));
}

// ---- registry ---------------------------------------------------------------------------------------------------

// A private key under HKCU\Software\PexoTests, deleted before and after.
class Registry : public ::testing::Test {
protected:
    static constexpr const char* kKey = "Software\\PexoTests\\FilesRuntime";
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }

    static std::string PathOf(const std::string& name) { return std::string(kKey) + "\\" + name; }
    // The type and raw bytes of a value of the test key (REG_NONE when it is missing).
    static DWORD Query(const std::string& name, std::string* data) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return REG_NONE;
        DWORD type = REG_NONE, size = 256;
        data->assign(size, '\0');
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data->data()), &size) !=
            ERROR_SUCCESS)
            type = REG_NONE;
        data->resize(type == REG_NONE ? 0 : size);
        RegCloseKey(key);
        return type;
    }
    static std::string Read(int32_t root, const std::string& path) {
        return TextResult(CallKernel(kReadRegistryText, root, path.c_str())).str();
    }
    static std::string Read(int32_t root, const std::string& path, const char* fallback) {
        return TextResult(CallKernel(kReadRegistryText, root, path.c_str(), fallback)).str();
    }
};

TEST_F(Registry, WriteRegistryStoresEachKindOfValue) {
    std::string data;
    EXPECT_TRUE(Ok(CallKernel(kWriteRegistry, 3, PathOf("Text").c_str(), "中文值")));
    EXPECT_EQ(Query("Text", &data), DWORD(REG_SZ));
    EXPECT_EQ(data, std::string("中文值", sizeof "中文值"));  // with its NUL

    EXPECT_TRUE(Ok(CallKernel(kWriteRegistry, 3, PathOf("Number").c_str(), 42)));
    EXPECT_EQ(Query("Number", &data), DWORD(REG_DWORD));
    EXPECT_EQ(data, std::string("\x2A\0\0\0", 4));
    EXPECT_TRUE(Ok(CallKernel(kWriteRegistry, 3, PathOf("Real").c_str(), -3.9)));
    EXPECT_EQ(Query("Real", &data), DWORD(REG_DWORD));
    EXPECT_EQ(data, std::string("\xFD\xFF\xFF\xFF", 4));  // truncated toward zero

    Bytes binary = Bytes::Copy("\x00\x01\xFF", 3);
    EXPECT_TRUE(Ok(CallKernel(kWriteRegistry, 3, PathOf("Binary").c_str(), binary)));
    EXPECT_EQ(Query("Binary", &data), DWORD(REG_BINARY));
    EXPECT_EQ(data, std::string("\x00\x01\xFF", 3));

    // A boolean is no value type the registry takes, and the key is not created for it.
    EXPECT_FALSE(Ok(CallKernel(kWriteRegistry, 3, PathOf("Sub\\Flag").c_str(), true)));
    HKEY sub;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, PathOf("Sub").c_str(), 0, KEY_READ, &sub), ERROR_SUCCESS);
}

TEST_F(Registry, ReadRegistryTextReadsStringsAndFallsBackOtherwise) {
    ASSERT_TRUE(Ok(CallKernel(kWriteRegistry, 99, PathOf("Text").c_str(), "written under HKCU")));
    EXPECT_EQ(Read(3, PathOf("Text")), "written under HKCU");  // any unknown root is HKEY_CURRENT_USER

    ASSERT_TRUE(Ok(CallKernel(kWriteRegistry, 3, PathOf("Number").c_str(), 7)));
    EXPECT_EQ(Read(3, PathOf("Number"), "fallback"), "fallback");
    EXPECT_EQ(Read(3, PathOf("Number")), "");
    EXPECT_EQ(Read(3, PathOf("Missing"), "fallback"), "fallback");
    EXPECT_EQ(Read(3, "Software\\PexoTests\\NoSuchKey\\Value", "fallback"), "fallback");

    // Root 4 is HKEY_LOCAL_MACHINE, where Wine keeps the system root; it is not under HKEY_CURRENT_USER.
    const char* systemRoot = "Software\\Microsoft\\Windows NT\\CurrentVersion\\SystemRoot";
    EXPECT_NE(Read(4, systemRoot), "");
    EXPECT_EQ(Read(3, systemRoot, "none"), "none");
}

TEST_F(Registry, ExpandableStringsAreExpandedAndPlainOnesAreNot) {
    SetEnvironmentVariableA("PEXO_FILES_TEST", "C:\\expanded");
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char raw[] = "%PEXO_FILES_TEST%\\sub";
    RegSetValueExA(key, "Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(raw), sizeof raw);
    RegSetValueExA(key, "Plain", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), sizeof raw);
    // Stored without its NUL: still read as the whole text.
    RegSetValueExA(key, "Unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
    RegCloseKey(key);
    EXPECT_EQ(Read(3, PathOf("Expand")), "C:\\expanded\\sub");
    EXPECT_EQ(Read(3, PathOf("Plain")), raw);
    EXPECT_EQ(Read(3, PathOf("Unterminated")), "abc");
}

TEST_F(Registry, AValueNameMayEndInATrailByteBackslash) {
    // 0x95 0x5C is one double-byte character: the path names the value "名\x95\x5C" of the test key.
    std::string name = "名\x95\x5C";
    ASSERT_TRUE(Ok(CallKernel(kWriteRegistry, 3, PathOf(name).c_str(), "v")));
    std::string data;
    EXPECT_EQ(Query(name, &data), DWORD(REG_SZ));
    EXPECT_EQ(Read(3, PathOf(name)), "v");
}

// ---- message box ------------------------------------------------------------------------------------------------

struct SeenBox {
    std::string title, text;
    bool probeEnabled = true;
};

// Waits on another thread for this process's message box, reads it, notes whether `probe` (a window of the
// showing thread) is enabled meanwhile, and presses `button`.
std::thread AnswerBox(int button, HWND probe, SeenBox* seen) {
    return std::thread([=] {
        for (int i = 0; i < 400; ++i) {
            HWND box;
            if (FindMessageBox(GetCurrentProcessId(), &box, &seen->title, &seen->text)) {
                seen->probeEnabled = IsWindowEnabled(probe);
                PostMessageA(box, WM_COMMAND, button, 0);
                return;
            }
            Sleep(25);
        }
    });
}

class MessageBoxes : public ::testing::Test {
protected:
    void SetUp() override {
        probe_ = CreateWindowExA(0, "STATIC", "probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override { DestroyWindow(probe_); }
    HWND probe_ = nullptr;
};

TEST_F(MessageBoxes, ANumberMessageWithTheDefaultTitleIsTaskModal) {
    SeenBox seen;
    std::thread answer = AnswerBox(IDOK, probe_, &seen);
    Value pressed = CallKernel(kShowMessageBox, 42, 0);
    answer.join();
    EXPECT_EQ(pressed.AsInt(), 0);
    EXPECT_EQ(seen.title, "信息：");
    EXPECT_EQ(seen.text, "42");
    EXPECT_FALSE(seen.probeEnabled);  // the thread's windows are disabled while the box shows
    EXPECT_TRUE(IsWindowEnabled(probe_));
}

TEST_F(MessageBoxes, YesAndNoMapToFiveAndSix) {
    for (int button : {IDYES, IDNO}) {
        SeenBox seen;
        std::thread answer = AnswerBox(button, probe_, &seen);
        Value pressed = CallKernel(kShowMessageBox, "要更新吗？", 36, "更新");
        answer.join();
        EXPECT_EQ(pressed.AsInt(), button == IDYES ? 5 : 6);
        EXPECT_EQ(seen.title, "更新");
        EXPECT_EQ(seen.text, "要更新吗？");
    }
}

TEST_F(MessageBoxes, SystemModalIsNotMadeTaskModal) {
    SeenBox seen;
    std::thread answer = AnswerBox(IDOK, probe_, &seen);
    Value pressed = CallKernel(kShowMessageBox, "system", int32_t(MB_SYSTEMMODAL));
    answer.join();
    EXPECT_EQ(pressed.AsInt(), 0);
    EXPECT_TRUE(seen.probeEnabled);
}

// ---- message pumping --------------------------------------------------------------------------------------------

constexpr UINT kProbeMessage = WM_APP + 7;
std::vector<WPARAM> dispatched;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kProbeMessage) dispatched.push_back(wparam);
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

class DoEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = CountingProc;
        wc.lpszClassName = "PexoDoEventsProbe";
        RegisterClassA(&wc);
        window_ = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        dispatched.clear();
    }
    void TearDown() override {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        DestroyWindow(window_);
    }
    // The next message left in the queue, removed.
    static MSG Next() {
        MSG msg = {};
        PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
        return msg;
    }
    HWND window_ = nullptr;
};

TEST_F(DoEventsTest, DispatchesUntilAQuitMessageAndLeavesIt) {
    PostMessageA(window_, kProbeMessage, 1, 0);
    PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 9, 0);
    PostMessageA(window_, kProbeMessage, 2, 0);
    CallKernel(kDoEvents);
    EXPECT_EQ(dispatched, std::vector<WPARAM>{1});
    MSG quit = Next();
    EXPECT_EQ(quit.message, UINT(WM_QUIT));
    EXPECT_EQ(quit.wParam, WPARAM(9));
    EXPECT_EQ(Next().wParam, WPARAM(2));  // still waiting behind the quit message
}

TEST_F(DoEventsTest, PostQuitMessageComesAfterPostedMessagesAndStays) {
    PostMessageA(window_, kProbeMessage, 1, 0);
    PostQuitMessage(3);
    PostMessageA(window_, kProbeMessage, 2, 0);
    CallKernel(kDoEvents);
    EXPECT_EQ(dispatched, (std::vector<WPARAM>{1, 2}));
    MSG quit = Next();
    EXPECT_EQ(quit.message, UINT(WM_QUIT));
    EXPECT_EQ(quit.wParam, WPARAM(3));
    CallKernel(kDoEvents);  // an empty queue returns at once
    EXPECT_EQ(dispatched.size(), 2u);
}

}  // namespace
}  // namespace rt

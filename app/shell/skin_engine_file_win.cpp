// Checking, writing and holding the skin engine library file on Win32.
#include <windows.h>

#include <cstring>
#include <vector>

#include "app/shell/skin_engine_file.h"
#include "runtime/gbk_text.h"

namespace app {

namespace {

// Open for reading, sharing reading only: the loader may map it, nobody may change it.
HANDLE OpenForReadingOnly(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool HoldsExactly(HANDLE file, const uint8_t* bytes, size_t length) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart != static_cast<long long>(length)) return false;
    std::vector<uint8_t> content(length);
    size_t done = 0;
    while (done < length) {
        DWORD read = 0;
        if (!ReadFile(file, content.data() + done, DWORD(length - done), &read, nullptr) || read == 0) return false;
        done += read;
    }
    return std::memcmp(content.data(), bytes, length) == 0;
}

bool WriteAnew(const std::wstring& path, const uint8_t* bytes, size_t length) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only or system file refuses to be replaced
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    size_t done = 0;
    while (done < length) {
        DWORD written = 0;
        if (!WriteFile(file, bytes + done, DWORD(length - done), &written, nullptr) || written == 0) break;
        done += written;
    }
    // Hidden as written: an existing file keeps its own attributes when it is written over.
    return CloseHandle(file) && done == length && SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
}

}  // namespace

HeldEngineFile::~HeldEngineFile() {
    if (file_) CloseHandle(file_);
}

HeldEngineFile HoldEngineFile(const std::string& path, const uint8_t* engine, size_t length) {
    std::wstring wide = rt::WideFromGbk(path);
    if (wide.empty()) return {};
    // A file in use may be another instance of the program writing the engine at the same moment, which takes
    // milliseconds: it is tried again a few times before the program does without its skin.
    bool written = false;
    for (int round = 0; round < 5; ++round) {
        HANDLE file = OpenForReadingOnly(wide);
        DWORD openError = GetLastError();
        if (file != INVALID_HANDLE_VALUE) {
            if (HoldsExactly(file, engine, length)) return HeldEngineFile(file);
            CloseHandle(file);
        }
        bool inUse = file == INVALID_HANDLE_VALUE && openError == ERROR_SHARING_VIOLATION;
        if (!inUse && !written) {
            written = WriteAnew(wide, engine, length);
            if (written) continue;
            inUse = GetLastError() == ERROR_SHARING_VIOLATION;
        }
        if (!inUse) return {};  // written and still not the engine, or not writable at all
        Sleep(50);
    }
    return {};
}

}  // namespace app

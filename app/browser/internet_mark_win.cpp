// Writing the internet zone mark on Win32.
#include <windows.h>

#include <map>
#include <mutex>

#include "app/browser/internet_mark.h"
#include "runtime/gbk_text.h"

namespace app {

namespace {

// The long form of a whole path ("\\?\C:\..." or "\\?\UNC\server\share\..."), which the file calls take up to
// 32,767 characters: a picture's name is cut to fill MAX_PATH, so the stream's name is past it.
std::wstring LongPath(const std::wstring& path) {
    if (path.compare(0, 4, L"\\\\?\\") == 0) return path;
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return {};
    std::wstring full(length, L'\0');
    length = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (length == 0 || length >= full.size()) return {};
    full.resize(length);
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// Whether the volume that holds path keeps named streams; asked once per volume.
bool AskTheVolume(const std::string& path) {
    std::wstring wide = rt::WideFromGbk(path);
    wchar_t root[MAX_PATH + 1] = L"";
    if (wide.empty() || !GetVolumePathNameW(wide.c_str(), root, MAX_PATH + 1)) return false;
    static std::mutex lock;
    static std::map<std::wstring, bool> known;
    std::lock_guard<std::mutex> hold(lock);
    auto it = known.find(root);
    if (it != known.end()) return it->second;
    DWORD flags = 0;
    bool keeps = GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
                 (flags & FILE_NAMED_STREAMS) != 0;
    known[root] = keeps;
    return keeps;
}

}  // namespace

NamedStreamsQuery volumeKeepsStreams = &AskTheVolume;

InternetMark MarkFromInternet(const std::string& path, const std::string& url) {
    if (!volumeKeepsStreams(path)) return InternetMark::kNotKept;
    std::wstring file = LongPath(rt::WideFromGbk(path));
    if (file.empty()) return InternetMark::kFailed;
    HANDLE stream = CreateFileW((file + L":Zone.Identifier").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (stream == INVALID_HANDLE_VALUE) return InternetMark::kFailed;
    std::string text = ZoneIdentifierText(url);
    DWORD written = 0;
    bool ok = WriteFile(stream, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
    return CloseHandle(stream) && ok ? InternetMark::kWritten : InternetMark::kFailed;
}

}  // namespace app

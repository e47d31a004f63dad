// Writing the internet zone mark on Win32.
#include <windows.h>

#include <map>
#include <mutex>

#include "app/browser/internet_mark.h"

namespace app {

namespace {

// Whether the volume that holds path keeps named streams; asked once per volume.
bool VolumeKeepsStreams(const std::string& path) {
    char root[MAX_PATH] = "";
    if (!GetVolumePathNameA(path.c_str(), root, MAX_PATH)) return false;
    static std::mutex lock;
    static std::map<std::string, bool> known;
    std::lock_guard<std::mutex> hold(lock);
    auto it = known.find(root);
    if (it != known.end()) return it->second;
    DWORD flags = 0;
    bool keeps = GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
                 (flags & FILE_NAMED_STREAMS) != 0;
    known[root] = keeps;
    return keeps;
}

}  // namespace

bool MarkFromInternet(const std::string& path, const std::string& url) {
    if (!VolumeKeepsStreams(path)) return false;
    HANDLE stream = CreateFileA((path + ":Zone.Identifier").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (stream == INVALID_HANDLE_VALUE) return false;
    std::string text = ZoneIdentifierText(url);
    DWORD written = 0;
    bool ok = WriteFile(stream, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
    return CloseHandle(stream) && ok;
}

}  // namespace app

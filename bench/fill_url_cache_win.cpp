// Fills the Wine prefix's URL cache as a used machine leaves it: COUNT entries of BYTES bytes each, under
// addresses of a host nobody serves, committed the way WinINet commits what it fetches. The listing benchmark
// runs the program once in a clean prefix and once in one filled by this.
//   fill_url_cache_win.exe COUNT BYTES
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: fill_url_cache_win.exe COUNT BYTES\n");
        return 2;
    }
    const int count = std::atoi(argv[1]);
    const DWORD bytes = DWORD(std::atol(argv[2]));
    std::vector<char> body(bytes);
    for (DWORD i = 0; i < bytes; ++i) body[i] = char(i * 131 + 7);
    int committed = 0;
    for (int n = 0; n < count; ++n) {
        std::string url = "http://cache-filler.invalid/album/" + std::to_string(n / 100) + "/IMG_" + std::to_string(n) +
                          ".jpg";
        char path[MAX_PATH] = "";
        if (!CreateUrlCacheEntryA(url.c_str(), bytes, "jpg", path, 0)) continue;
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        bool ok = file != INVALID_HANDLE_VALUE && WriteFile(file, body.data(), bytes, &written, nullptr) &&
                  written == bytes;
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        FILETIME never = {0, 0};
        const char head[] = "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\n\r\n";
        if (ok && CommitUrlCacheEntryA(url.c_str(), path, never, never, NORMAL_CACHE_ENTRY,
                                       reinterpret_cast<BYTE*>(const_cast<char*>(head)), DWORD(sizeof head - 1),
                                       nullptr, nullptr))
            ++committed;
    }
    std::printf("%d entries, %.0f MB\n", committed, double(committed) * bytes / 1e6);
    return committed == count ? 0 : 1;
}

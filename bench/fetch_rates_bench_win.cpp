// Benchmark of the platform's fetches under the program's load pattern: ten threads read the thumbnail
// addresses (one per line of the first file) with HttpReadFile, and as the thumbnail stage does (the same
// request with the cookies of a per-stage snapshot), then save the pictures (second file: an address and its
// size in bytes per line) into a folder with URLDownloadToFileA alone and with SavePicture as the download
// does. A last row creates and writes files of the pictures' sizes with no network at all: the platform's
// ceiling for new files. Prints each rate beside a single thread's, so that what the platform costs per request
// and what our own steps add can be told apart. Beside each rate: how much the process's committed memory grew
// over the threaded pass, per thousand requests (after a pass of every thread over the first tenth has warmed
// the platform up), which tells a creep inside the platform's calls from one in the program.
//   fetch_rates_bench_win.exe THUMBNAIL-FILE PICTURE-FILE FOLDER [THREADS]
#include <windows.h>

#include <psapi.h>
#include <urlmon.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/browser/picture_saver.h"
#include "runtime/call.h"
#include "runtime/library_commands.h"
#include "runtime/transfer.h"

namespace {

double Seconds() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return double(t.QuadPart) / double(f.QuadPart);
}

// The committed memory (Wine leaves PrivateUsage at 0 and fills PagefileUsage).
double CommittedKib() {
    PROCESS_MEMORY_COUNTERS_EX c{};
    c.cb = sizeof c;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&c), sizeof c);
    return double(c.PrivateUsage ? c.PrivateUsage : c.PagefileUsage) / 1024;
}

// Runs `fetch` once per address on `threads` threads; returns fetches per second and counts the failures.
double Rate(const std::vector<std::string>& addresses, int threads, const std::function<bool(size_t)>& fetch,
            int* failures) {
    std::atomic<size_t> next{0};
    std::atomic<int> failed{0};
    double start = Seconds();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&] {
            for (size_t i; (i = next++) < addresses.size();)
                if (!fetch(i)) ++failed;
        });
    for (std::thread& w : workers) w.join();
    *failures += failed;
    return double(addresses.size()) / (Seconds() - start);
}

std::vector<std::string> Lines(const char* file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

std::vector<std::string> Tenth(const std::vector<std::string>& all) {
    return std::vector<std::string>(all.begin(), all.begin() + all.size() / 10);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: fetch_rates_bench_win THUMBNAIL-FILE PICTURE-FILE FOLDER [THREADS]\n");
        return 2;
    }
    const std::vector<std::string> thumbnails = Lines(argv[1]);
    std::vector<std::string> addresses;
    std::vector<size_t> sizes;
    for (const std::string& line : Lines(argv[2])) {
        size_t blank = line.find(' ');
        addresses.push_back(line.substr(0, blank));
        sizes.push_back(blank == std::string::npos ? 0 : std::stoul(line.substr(blank + 1)));
    }
    const std::string folder = std::string(argv[3]) + "\\";
    const int threads = argc > 4 ? std::atoi(argv[4]) : 10;

    auto read = [&](size_t i) {
        return rt::BytesResult(rt::CallLibrary(&rt::HttpReadFile, thumbnails[i].c_str())).size() > 0;
    };
    // Separate folders so that names never collide between the runs.
    auto subfolder = [&](const char* sub) {
        std::string into = folder + sub + "\\";
        CreateDirectoryA(into.c_str(), nullptr);
        return into;
    };
    auto urlmon = [&](const char* sub) {
        return [&addresses, into = subfolder(sub)](size_t i) {
            std::string path = into + std::to_string(i) + ".jpg";
            return SUCCEEDED(URLDownloadToFileA(nullptr, addresses[i].c_str(), path.c_str(), 0, nullptr));
        };
    };
    auto saver = [&](const char* sub) {
        return [&addresses, into = subfolder(sub)](size_t i) {
            return app::SavePicture(app::Text::Copy(addresses[i].c_str()), app::Text::Copy(into.c_str())).saved;
        };
    };

    auto snapshotRead = [&](size_t i) {
        std::string body;
        rt::TransferLimits limits;
        limits.maxBytes = 4 << 20;
        limits.baseMs = 60000;
        return rt::TransferToMemory(thumbnails[i], rt::WireProfile::kPage, rt::CookieSource::kSnapshot, limits,
                                    &body) &&
               !body.empty();
    };
    // A new file of the picture's size, written in one piece: no network. Each file gets a name of its own, also
    // across the warm-up pass over the same addresses.
    static std::atomic<uint64_t> fileNumber{0};
    auto newFiles = [&](const char* sub) {
        return [&sizes, into = subfolder(sub)](size_t i) {
            std::string path = into + std::to_string(fileNumber++) + ".jpg";
            std::string bytes(sizes[i], 'x');
            HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
            if (file == INVALID_HANDLE_VALUE) return false;
            DWORD written = 0;
            bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
            return CloseHandle(file) && ok;
        };
    };

    int failures = 0;
    std::printf("%zu thumbnails, %zu pictures, %d threads (one thread: the first tenth)\n", thumbnails.size(),
                addresses.size(), threads);
    auto row = [&](const char* name, const std::vector<std::string>& all, auto one, auto many) {
        double single = Rate(Tenth(all), 1, one, &failures);
        Rate(Tenth(all), threads, many, &failures);  // every thread warmed up before the memory is read
        double before = CommittedKib();
        double parallel = Rate(all, threads, many, &failures);
        double growth = (CommittedKib() - before) * 1000 / double(all.size());
        std::printf("  %-18s  1 thread %5.0f/s   %d threads %5.0f/s   memory %+6.0f KiB per 1,000\n", name, single,
                    threads, parallel, growth);
    };
    row("HttpReadFile", thumbnails, read, read);
    rt::StartCookieSnapshot();
    row("thumbnail stage", thumbnails, snapshotRead, snapshotRead);
    row("URLDownloadToFileA", addresses, urlmon("u1"), urlmon("un"));
    row("SavePicture", addresses, saver("s1"), saver("sn"));
    row("new files", addresses, newFiles("f1"), newFiles("fn"));
    std::printf("  failures: %d\n", failures);
    return failures == 0 ? 0 : 1;
}

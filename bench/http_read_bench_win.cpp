// Benchmark of the internet library's HttpReadFile under load: ten threads read a list of addresses (one per
// line of the file given) as the thumbnail stage does, and the rate is printed beside a single thread's.
//   http_read_bench_win.exe ADDRESS-FILE [THREADS]
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "runtime/call.h"
#include "runtime/library_commands.h"

namespace {

double Seconds() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return double(t.QuadPart) / double(f.QuadPart);
}

// Reads every address once with `threads` threads; returns reads per second and counts the empty answers.
double ReadAll(const std::vector<std::string>& addresses, int threads, int* empty) {
    std::atomic<size_t> next{0};
    std::atomic<int> failures{0};
    double start = Seconds();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&] {
            for (size_t i; (i = next++) < addresses.size();) {
                rt::Bytes body = rt::BytesResult(rt::CallLibrary(&rt::HttpReadFile, addresses[i].c_str()));
                if (body.size() == 0) ++failures;
            }
        });
    for (std::thread& w : workers) w.join();
    *empty = failures;
    return double(addresses.size()) / (Seconds() - start);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: http_read_bench_win ADDRESS-FILE [THREADS]\n");
        return 2;
    }
    std::vector<std::string> addresses;
    std::ifstream in(argv[1]);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) addresses.push_back(line);
    int threads = argc > 2 ? std::atoi(argv[2]) : 10;
    int empty1 = 0, emptyN = 0;
    double one = ReadAll(std::vector<std::string>(addresses.begin(), addresses.begin() + addresses.size() / 10), 1, &empty1);
    double many = ReadAll(addresses, threads, &emptyN);
    std::printf("%zu addresses: 1 thread %.0f reads/s, %d threads %.0f reads/s (%d empty)\n", addresses.size(), one,
                threads, many, empty1 + emptyN);
    return 0;
}

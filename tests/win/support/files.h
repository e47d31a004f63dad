// Small file helpers for tests: the file names in a folder, a file's bytes and a folder of the test's own.
#pragma once

#include <windows.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace testing_support {

// The names of the files (not directories) in a folder given with its trailing backslash.
inline std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((folder + "*").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(d.cFileName);
    } while (FindNextFileA(h, &d));
    FindClose(h);
    return names;
}

inline std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A new folder in the temporary folder for the running test, named prefix-PROCESS-TESTNAME, with its trailing
// backslash.
std::string NewTestFolder(const std::string& prefix);

// The folder that holds this test program, and pexo.exe beside it (no trailing backslash).
inline std::string BuildFolder() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.rfind('\\'));
}

}  // namespace testing_support

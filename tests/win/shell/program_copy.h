// A test fixture that runs child scenarios from a copy of the test program in a folder of its own: the
// program's start-up writes the skin engine library beside the program, which must not stay beside the test
// program.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/win/child_process.h"

namespace app {

class ProgramCopy : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH], self[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        directory = std::string(temp) + "pexo-program-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(directory.c_str(), nullptr);
        program = directory + "\\pexo_program_test.exe";
        ASSERT_TRUE(CopyFileA(self, program.c_str(), FALSE));
    }
    void TearDown() override {
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::string path = directory + "\\" + entry.cFileName;
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            } while (FindNextFileA(search, &entry));
            FindClose(search);
        }
        RemoveDirectoryA(directory.c_str());
    }
    rt::ChildResult Run(const char* scenario, bool answerBox = false, DWORD timeoutMs = 60000) {
        return rt::RunChild(scenario, answerBox, timeoutMs, program);
    }

    std::string directory, program;
};

}  // namespace app

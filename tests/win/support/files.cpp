// A folder of the running test's own.
#include "tests/win/support/files.h"

#include <gtest/gtest.h>

namespace testing_support {

std::string NewTestFolder(const std::string& prefix) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + prefix + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name();
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\";
}

}  // namespace testing_support

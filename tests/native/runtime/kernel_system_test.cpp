// The platform-free parts of the system commands: the registry path split and the run paths.
#include <gtest/gtest.h>

#include "runtime/call.h"
#include "runtime/kernel_system.h"
#include "runtime/program.h"

namespace rt {
namespace {

TEST(RegistryPath, SplitsAtTheLastBackslashOutsideDoubleByteCharacters) {
    struct Case {
        const char* path;
        const char* subKey;
        const char* valueName;
    } cases[] = {
        {"Software\\Microsoft\\Internet Explorer\\Main\\Start Page", "Software\\Microsoft\\Internet Explorer\\Main",
         "Start Page"},
        {"ValueUnderRoot", "", "ValueUnderRoot"},
        {"Software\\Key\\", "Software\\Key", ""},  // the key's default value
        // 0x95 0x5C is one character whose trail byte is a backslash: it never splits the path.
        {"Software\\\x95\x5C", "Software", "\x95\x5C"},
        {"Soft\x95\x5Cware\\Name", "Soft\x95\x5Cware", "Name"},
        {"\x95\x5C", "", "\x95\x5C"},
    };
    for (const Case& c : cases) {
        std::string subKey = "stale", valueName = "stale";
        SplitRegistryPath(c.path, &subKey, &valueName);
        EXPECT_EQ(subKey, c.subKey) << c.path;
        EXPECT_EQ(valueName, c.valueName) << c.path;
    }
}

TEST(RunPaths, CommandsReturnOwnedCopiesOfTheStartUpValues) {
    InitRuntime();
    Text directory = TextResult(CallKernel(kGetRunDirectory));
    Text name = TextResult(CallKernel(kGetExeName));
    EXPECT_EQ(name.str(), "native_tests");
    EXPECT_EQ(directory.str(), RunDirectory());
    EXPECT_NE(directory.get(), RunDirectory().c_str());
}

}  // namespace
}  // namespace rt

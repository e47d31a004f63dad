// OpenWebPage under Wine: the shell's "open" reaches Wine's browser launcher, pointed here at a recording command.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "runtime/call.h"
#include "runtime/library_commands.h"
#include "tests/win/support/browser_recorder.h"

namespace rt {
namespace {

class RecordingBrowser : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(browser.ready()); }
    std::string OpenedAddress() { return browser.Opened(); }
    testing_support::BrowserRecorder browser;
};

TEST_F(RecordingBrowser, OpensTheGivenAddress) {
    CallLibrary(kAppInterfaceCommands[kOpenWebPage].fn, "http://127.0.0.1:9/相册?a=1&b=2");
    // The launcher hands the address on in the Unix code page (UTF-8 here).
    EXPECT_EQ(OpenedAddress(), "http://127.0.0.1:9/\xe7\x9b\xb8\xe5\x86\x8c?a=1&b=2");
}

TEST_F(RecordingBrowser, OpensTheDefaultAddressWhenNoneIsGiven) {
    Value r = CallLibrary(kAppInterfaceCommands[kOpenWebPage].fn);
    EXPECT_EQ(r.tag, 0u);  // no result
    EXPECT_EQ(OpenedAddress(), kDefaultWebAddress);
}

}  // namespace
}  // namespace rt

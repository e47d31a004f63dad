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
    CallLibrary(kAppInterfaceCommands[kOpenWebPage].fn, "http://127.0.0.1:9/%E7%9B%B8?a=1&b=2");
    EXPECT_EQ(OpenedAddress(), "http://127.0.0.1:9/%E7%9B%B8?a=1&b=2");
}

// Only web pages of printable ASCII reach the shell: these two would reach the browser launcher too.
TEST_F(RecordingBrowser, OpensNothingButWebPages) {
    CallLibrary(kAppInterfaceCommands[kOpenWebPage].fn, "http://127.0.0.1:9/相册");
    CallLibrary(kAppInterfaceCommands[kOpenWebPage].fn, "ftp://127.0.0.1:9/x");
    EXPECT_EQ(browser.Opened(3000), "");
}

TEST_F(RecordingBrowser, OpensTheDefaultAddressWhenNoneIsGiven) {
    Value r = CallLibrary(kAppInterfaceCommands[kOpenWebPage].fn);
    EXPECT_EQ(r.tag, 0u);  // no result
    EXPECT_EQ(OpenedAddress(), kDefaultWebAddress);
}

}  // namespace
}  // namespace rt

// Picture records read from the joined index pages: the text of each match, the library's way and the way that
// measures the text once for thousands of matches.
#include <gtest/gtest.h>

#include <string>

#include "app/main_window_access.h"
#include "app/shell/globals.h"
#include "runtime/call.h"
#include "runtime/library_commands.h"
#include "tests/common/scraping_patterns.h"

namespace app {
namespace {

TEST(MatchText, AMeasuredTextGivesWhatTheLibraryGivesAndNothingPastItsEnd) {
    rt::RegexVariable psrc{};
    rt::Value pattern = rt::Value::Pointer(rt::kTagRegex, &psrc);
    rt::CallLibrary(rt::kRegexCommands[rt::kRegexInit].fn, pattern);
    ASSERT_TRUE(
        rt::CallLibrary(rt::kRegexCommands[rt::kRegexCompile].fn, pattern, rt::kScrapingPatterns[3], false).AsInt());
    std::string pages;
    for (int i = 1; i <= 300; ++i) pages += "<li psrc:\"/abpic/9/IMG_" + std::to_string(i) + ".jpg\" pname:\"x\">";
    pages += "psrc:\"\"";  // an empty match last
    Text joined = Text::Copy(pages);
    void* matches = SearchAll(&psrc, joined.c_str());
    ASSERT_EQ(CountOf(matches), 301);
    for (int32_t k = 1; k <= 301; ++k)
        EXPECT_EQ(MatchText(matches, k, joined.c_str(), pages.size()).str(), MatchText(matches, k, joined).str()) << k;
    EXPECT_EQ(MatchText(matches, 300, joined.c_str(), pages.size()).str(), "/abpic/9/IMG_300.jpg");
    EXPECT_TRUE(MatchText(matches, 302, joined.c_str(), pages.size()).empty()) << "past the last match";
    EXPECT_TRUE(MatchText(matches, 0, joined.c_str(), pages.size()).empty());
    // A length shorter than the text searched (a caller that measured a shorter text) gives only what lies within.
    size_t cut = pages.find("IMG_2.jpg") + 4;
    EXPECT_EQ(MatchText(matches, 2, joined.c_str(), cut).str(), "/abpic/9/IMG_");
    EXPECT_TRUE(MatchText(matches, 3, joined.c_str(), cut).empty());
    FreeMatchArray(matches);
    // A listing's cap on records: the first matches, in page order, and none past the cap.
    void* first = SearchAll(&psrc, joined.c_str(), 100);
    ASSERT_EQ(CountOf(first), 100);
    EXPECT_EQ(MatchText(first, 100, joined.c_str(), pages.size()).str(), "/abpic/9/IMG_100.jpg");
    FreeMatchArray(first);
    rt::CallLibrary(rt::kRegexCommands[rt::kRegexFree].fn, pattern);
}

}  // namespace
}  // namespace app

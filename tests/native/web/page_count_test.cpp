// The page count read from a first index page's last-page link.
#include <gtest/gtest.h>

#include "app/web/page_count.h"

namespace app {
namespace {

int32_t Count(const char* page) { return IndexPageCount(Text::Copy(page)); }

TEST(IndexPageCount, LastPageLinkGivesIndexPlusOne) {
    EXPECT_EQ(Count("<a href=\"/u/album/index/1\">2</a> <a href=\"/u/album/index/3\">[尾页]</a>"), 4);
    EXPECT_EQ(Count("<a href=\"http://h/小明/album/index/0\">[尾页]</a>"), 1);
    // The last marker counts; a later "/" after it does not.
    EXPECT_EQ(Count("<a href=\"/x/index/2\">[尾页]</a><a href=\"/x/index/7\">[尾页]</a> </div>"), 8);
}

TEST(IndexPageCount, NoMarkerOrNoNumberIsOnePage) {
    EXPECT_EQ(Count(""), 1);
    EXPECT_EQ(Count("<a href=\"/u/album/index/3\">next</a>"), 1);
    EXPECT_EQ(Count("\">[尾页]"), 1);
    EXPECT_EQ(Count("<a href=\"/u/album/index/\">[尾页]"), 1);
    EXPECT_EQ(Count("<a href=\"/u/album/index/abc\">[尾页]"), 1);
}

// An album that claims 2,000,000,000 pictures: doubled and added to its pages in 64 bits, the bar's range
// stops at the largest 32-bit count instead of wrapping to a negative one.
TEST(ProgressRanges, HugeCountsStopAtTheBarsLimit) {
    int32_t claimed = 2000000000;
    EXPECT_EQ(ProgressRange(kMaxIndexPages + 2 * int64_t(claimed)), INT32_MAX);
    EXPECT_EQ(ProgressRange(INT64_MIN), INT32_MIN);
    EXPECT_EQ(ProgressRange(3 + 2 * int64_t(-5)), -7);  // a negative claim keeps its old meaning
    EXPECT_EQ(ProgressRange(120), 120);
}

TEST(IndexPageCount, LyingNumbersStayInRange) {
    EXPECT_EQ(Count("<a href=\"/index/-5\">[尾页]"), 1);
    EXPECT_EQ(Count("<a href=\"/index/2147483647\">[尾页]"), kMaxIndexPages);
    EXPECT_EQ(Count("<a href=\"/index/99999999999999\">[尾页]"), kMaxIndexPages);
    EXPECT_EQ(Count("<a href=\"/index/１２\">[尾页]"), 13);  // full-width digits read as numbers
}

}  // namespace
}  // namespace app

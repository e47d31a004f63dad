// Byte-wise version comparison and the trimming of the server's version text.
#include <gtest/gtest.h>

#include "app/shell/version_compare.h"

namespace app {
namespace {

TEST(VersionComparison, ByteWiseWithPrefixSmaller) {
    EXPECT_EQ(CompareVersionTexts("V1.0", "V1.0"), 0);
    EXPECT_GT(CompareVersionTexts("V1.1", "V1.0"), 0);
    EXPECT_GT(CompareVersionTexts("V1.10", "V1.0"), 0);
    EXPECT_GT(CompareVersionTexts("V1.09", "V1.0"), 0);
    EXPECT_GT(CompareVersionTexts("V2", "V1.0"), 0);
    EXPECT_GT(CompareVersionTexts("V10.0", "V1.0"), 0);
    EXPECT_LT(CompareVersionTexts("V0.10", "V1.0"), 0);
    EXPECT_LT(CompareVersionTexts("V0.9", "V1.0"), 0);
    EXPECT_LT(CompareVersionTexts("", "V1.0"), 0);
    EXPECT_LT(CompareVersionTexts(nullptr, "V1.0"), 0);
    // Bytes compare unsigned: a GBK lead byte is greater than any ASCII byte.
    EXPECT_GT(CompareVersionTexts("V\xB0", "V1"), 0);
}

TEST(VersionTrimming, LineBreaksAndSpacesAround) {
    EXPECT_EQ(TrimVersionText("V1.0\r\n"), "V1.0");
    EXPECT_EQ(TrimVersionText("  V1.1\n"), "V1.1");
    EXPECT_EQ(TrimVersionText("V1 .0"), "V1 .0");
    EXPECT_EQ(TrimVersionText("\r\n"), "");
    EXPECT_EQ(TrimVersionText(nullptr), "");
    EXPECT_EQ(CompareVersionTexts(TrimVersionText("V1.0\r\n").c_str(), "V1.0"), 0);
}

}  // namespace
}  // namespace app

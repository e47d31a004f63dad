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

TEST(VersionTrimming, ByteOrderMarkAndFullWidthSpaces) {
    EXPECT_EQ(TrimVersionText("\xEF\xBB\xBFV1.0\r\n"), "V1.0");
    EXPECT_EQ(TrimVersionText("\xEF\xBB\xBF\xE3\x80\x80V1.0\xE3\x80\x80\n"), "V1.0");
    EXPECT_EQ(TrimVersionText("\xA1\xA1 V1.0\xA1\xA1\r\n"), "V1.0");
    EXPECT_EQ(TrimVersionText("V1\xA1\xA1.0"), "V1\xA1\xA1.0");
    EXPECT_EQ(TrimVersionText("\xEF\xBB\xBF \r\n"), "");
    // A mark anywhere but at the start is part of the text.
    EXPECT_EQ(TrimVersionText(" \xEF\xBB\xBFV1"), "\xEF\xBB\xBFV1");
    // B0 A1 is one GBK character: its A1 and the A1 after it are not a full-width space.
    EXPECT_EQ(TrimVersionText("V\xB0\xA1\xA1"), "V\xB0\xA1\xA1");
    EXPECT_EQ(TrimVersionText("V\xB0\xA1\xA1\xA1"), "V\xB0\xA1");
}

}  // namespace
}  // namespace app

// Kernel text, number and byte-set commands called through the frame: positions, GBK stepping, case, empties.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "runtime/args.h"
#include "runtime/call.h"

namespace rt {
namespace {

template <typename... A>
std::string TextOf(KernelIndex k, const A&... args) {
    Value r = CallKernel(k, args...);
    EXPECT_EQ(r.tag, kTagText) << kKernelCommands[k].name;
    return TextResult(r).str();
}

// An empty result is a text record holding null, never an allocated "".
template <typename... A>
bool IsNullText(KernelIndex k, const A&... args) {
    Value r = CallKernel(k, args...);
    Text owned = TextResult(r);
    return r.tag == kTagText && owned.get() == nullptr;
}

template <typename... A>
int32_t IntOf(KernelIndex k, const A&... args) {
    Value r = CallKernel(k, args...);
    EXPECT_EQ(r.tag, kTagInt) << kKernelCommands[k].name;
    return r.AsInt();
}

template <typename... A>
double DoubleOf(KernelIndex k, const A&... args) {
    Value r = CallKernel(k, args...);
    EXPECT_EQ(r.tag, kTagDouble) << kKernelCommands[k].name;
    return r.AsDouble();
}

// 0x95 0x5C is one character whose trail byte is '\'; 0x81 0x61 one whose trail byte is 'a'.
const char* const kTrailBackslash = "\x95\x5C";
const char* const kTrailA = "\x81\x61";

TEST(CutText, LeftRightAndMidCutAtBytes) {
    EXPECT_EQ(TextOf(kLeftText, "abcdef", 2), "ab");
    EXPECT_EQ(TextOf(kLeftText, "abc", 10), "abc");
    EXPECT_EQ(TextOf(kRightText, "abcdef", 2), "ef");
    EXPECT_EQ(TextOf(kMidText, "abcdef", 2, 3), "bcd");
    EXPECT_EQ(TextOf(kMidText, "abcdef", 5, 100), "ef");
    // Double-byte characters are cut through.
    EXPECT_EQ(TextOf(kLeftText, "中文", 1), "\xD6");
    EXPECT_EQ(IntOf(kTextLength, "中文a"), 5);
}

TEST(CutText, OutOfRangeGivesNull) {
    EXPECT_TRUE(IsNullText(kLeftText, "abc", 0));
    EXPECT_TRUE(IsNullText(kRightText, "abc", 0));
    EXPECT_TRUE(IsNullText(kMidText, "abc", 0, 2));
    EXPECT_TRUE(IsNullText(kMidText, "abc", 4, 1));
    EXPECT_TRUE(IsNullText(kMidText, "abc", 1, 0));
    EXPECT_TRUE(IsNullText(kMidText, "abc", -2147483647 - 1, 1));
}

TEST(FindText, PositionsAreOneBasedFromTheStartOffset) {
    EXPECT_EQ(IntOf(kFindText, "abc", "b"), 2);
    EXPECT_EQ(IntOf(kFindText, "abc", "b", 3), -1);
    EXPECT_EQ(IntOf(kFindText, "abcb", "b", 3), 4);
    EXPECT_EQ(IntOf(kFindText, "abc", "b", 0), 2);
    EXPECT_EQ(IntOf(kFindText, "abc", "b", 4), -1);
    EXPECT_EQ(IntOf(kFindText, "abc", "bcd"), -1);
}

TEST(FindText, EmptySubtextFindsTheStartOfANonEmptyRegion) {
    EXPECT_EQ(IntOf(kFindText, "abc", ""), 1);
    EXPECT_EQ(IntOf(kFindText, "abc", "", 3), 1);
    EXPECT_EQ(IntOf(kFindText, "", ""), -1);
    EXPECT_EQ(IntOf(kFindText, "abc", "", 4), -1);
}

TEST(FindText, NeverMatchesInsideADoubleByteCharacter) {
    std::string text = std::string(kTrailBackslash) + "x\\";
    EXPECT_EQ(IntOf(kFindText, text.c_str(), "\\"), 4);
    EXPECT_EQ(IntOf(kFindText, kTrailA, "a"), -1);
    EXPECT_EQ(IntOf(kFindText, kTrailA, "A", Omit(), true), -1);
    // B0 A1 then A1 A1: the full-width space is the second character, not bytes 2-3.
    EXPECT_EQ(IntOf(kFindText, "\xB0\xA1\xA1\xA1", "\xA1\xA1"), 3);
    // Stepping counts from the start offset: starting on a trail byte treats it as a character.
    EXPECT_EQ(IntOf(kFindText, kTrailA, "a", 2), 2);
    // A lead byte right before the end stands alone.
    EXPECT_EQ(IntOf(kFindText, "ab\x81", "\x81"), 3);
}

TEST(FindText, CaseFoldingIsAsciiOnly) {
    EXPECT_EQ(IntOf(kFindText, "xabc", "ABC", Omit(), true), 2);
    EXPECT_EQ(IntOf(kFindText, "xabc", "ABC"), -1);
    // Full-width Ａ (A3 C1) and ａ (A3 E1) differ; a trail byte 'A' is not folded to 'a'.
    EXPECT_EQ(IntOf(kFindText, "ａ", "Ａ", Omit(), true), -1);
    EXPECT_EQ(IntOf(kFindText, kTrailA,
                    "\x81"
                    "A",
                    Omit(), true),
              -1);
    EXPECT_EQ(IntOf(kFindText, "x中A", "中a", Omit(), true), 2);
}

TEST(FindTextReverse, LastOccurrenceEndingBeforeTheStart) {
    EXPECT_EQ(IntOf(kFindTextReverse, "abca", "a"), 4);
    EXPECT_EQ(IntOf(kFindTextReverse, "abca", "a", 4), 1);
    EXPECT_EQ(IntOf(kFindTextReverse, "abca", "a", 5), 4);
    EXPECT_EQ(IntOf(kFindTextReverse, "abca", "a", 1), -1);
    EXPECT_EQ(IntOf(kFindTextReverse, "abca", "a", 0), -1);
    EXPECT_EQ(IntOf(kFindTextReverse, "abcabc", "bc", 6), 2);  // "bc" at 5 would end on byte 6
    EXPECT_EQ(IntOf(kFindTextReverse, "aaa", "aa"), 2);        // occurrences overlap
}

TEST(FindTextReverse, EmptySubtextCaseAndDoubleBytes) {
    EXPECT_EQ(IntOf(kFindTextReverse, "abc", ""), 1);
    EXPECT_EQ(IntOf(kFindTextReverse, "", ""), -1);
    EXPECT_EQ(IntOf(kFindTextReverse, "AxA", "a", Omit(), true), 3);
    EXPECT_EQ(IntOf(kFindTextReverse, "AxA", "a"), -1);
    std::string text = std::string("\\") + kTrailBackslash;
    EXPECT_EQ(IntOf(kFindTextReverse, text.c_str(), "\\"), 1);
}

TEST(ReplaceSubtext, ReplacesEveryOccurrenceByDefault) {
    EXPECT_EQ(TextOf(kReplaceSubtext, "a.b.c", ".", "::"), "a::b::c");
    EXPECT_EQ(TextOf(kReplaceSubtext, "aaaa", "aa", "b"), "bb");
    EXPECT_EQ(TextOf(kReplaceSubtext, "x.y", ".", Omit()), "xy");
    EXPECT_TRUE(IsNullText(kReplaceSubtext, "aaa", "a", ""));
}

TEST(ReplaceSubtext, StartAndCountLimitTheReplacements) {
    EXPECT_EQ(TextOf(kReplaceSubtext, "a.b.c.d", ".", "(1).", 1, 1, true), "a(1).b.c.d");
    EXPECT_EQ(TextOf(kReplaceSubtext, "a.b.c.d", ".", "-", 3, 1), "a.b-c.d");
    EXPECT_EQ(TextOf(kReplaceSubtext, "a.b.c.d", ".", "-", 3, 2), "a.b-c-d");
    EXPECT_EQ(TextOf(kReplaceSubtext, "a.b", ".", "-", 1, 0), "a.b");
    EXPECT_EQ(TextOf(kReplaceSubtext, "a.b", ".", "-", 4), "a.b");
    EXPECT_EQ(TextOf(kReplaceSubtext, "a.b", "", "-"), "a.b");
    EXPECT_TRUE(IsNullText(kReplaceSubtext, "", "a", "b"));
}

TEST(ReplaceSubtext, OmittedCaseFlagIgnoresAsciiCase) {
    EXPECT_EQ(TextOf(kReplaceSubtext, "JPG jpg", "jpg", "png"), "png png");
    EXPECT_EQ(TextOf(kReplaceSubtext, "JPG jpg", "jpg", "png", 1, -1, true), "JPG png");
}

TEST(ReplaceSubtext, StepsOverDoubleByteCharacters) {
    std::string text = std::string(kTrailBackslash) + "\\" + kTrailA + "a";
    EXPECT_EQ(TextOf(kReplaceSubtext, text.c_str(), "\\", "/"), std::string(kTrailBackslash) + "/" + kTrailA + "a");
    EXPECT_EQ(TextOf(kReplaceSubtext, text.c_str(), "A", "b"), std::string(kTrailBackslash) + "\\" + kTrailA + "b");
    EXPECT_EQ(TextOf(kReplaceSubtext, "/abpic/1.jpg", "/abpic/", "/pic/"), "/pic/1.jpg");
}

TEST(ReplaceTextAt, DeletesThenInsertsAtAClampedPosition) {
    EXPECT_EQ(TextOf(kReplaceTextAt, "abcdef", 3, 2, "XY"), "abXYef");
    EXPECT_EQ(TextOf(kReplaceTextAt, "abcdef", 3, 100, "XY"), "abXY");
    EXPECT_EQ(TextOf(kReplaceTextAt, "abcdef", 0, 1, "X"), "Xbcdef");
    EXPECT_EQ(TextOf(kReplaceTextAt, "abcdef", -7, 1, "X"), "Xbcdef");
    EXPECT_EQ(TextOf(kReplaceTextAt, "abc", 10, 2, "X"), "abcX");
    EXPECT_EQ(TextOf(kReplaceTextAt, "abc", 2, -1, "X"), "aXbc");
    EXPECT_EQ(TextOf(kReplaceTextAt, "abc", 2, 1, Omit()), "ac");
    EXPECT_TRUE(IsNullText(kReplaceTextAt, "abc", 1, 3, Omit()));
}

TEST(Spaces, TrimRemovesHalfAndFullWidthRunsAtTheEnds) {
    EXPECT_EQ(TextOf(kTrimSpaces, "  　ab c　 "), "ab c");
    EXPECT_EQ(TextOf(kTrimSpaces, "\tab\r\n"), "\tab\r\n");
    EXPECT_TRUE(IsNullText(kTrimSpaces, " 　 　"));
    // 啊 (B0 A1) then a lone A1: bytes A1 A1 at the end are not a full-width space.
    EXPECT_EQ(TextOf(kTrimSpaces, "a\xB0\xA1\xA1"), "a\xB0\xA1\xA1");
    EXPECT_EQ(TextOf(kTrimSpaces, "\xB0\xA1\xA1\xA1"), "\xB0\xA1");
}

TEST(Spaces, RemoveAllKeepsEverythingElseInOrder) {
    EXPECT_EQ(TextOf(kRemoveAllSpaces, " a b　c\t "), "abc\t");
    EXPECT_EQ(TextOf(kRemoveAllSpaces, "\xB0\xA1\xA1\xA1"), "\xB0\xA1");
    EXPECT_TRUE(IsNullText(kRemoveAllSpaces, "　 "));
}

TEST(LetterCase, OnlyAsciiLettersChange) {
    EXPECT_EQ(TextOf(kToUpper, "abz AZ 09!"), "ABZ AZ 09!");
    EXPECT_EQ(TextOf(kToLower, "ABZ az 09!"), "abz az 09!");
    std::string text = std::string("a") + kTrailA + "ａ";
    EXPECT_EQ(TextOf(kToUpper, text.c_str()), std::string("A") + kTrailA + "ａ");
    EXPECT_EQ(TextOf(kToLower,
                     "\x81"
                     "A"),
              "\x81"
              "A");
    EXPECT_TRUE(IsNullText(kToUpper, ""));
}

TEST(MadeTexts, SpaceTextAndCharFromCode) {
    EXPECT_EQ(TextOf(kSpaceText, 3), "   ");
    EXPECT_TRUE(IsNullText(kSpaceText, 0));
    EXPECT_EQ(TextOf(kCharFromCode, Value{'A', 0, kTagByte}), "A");
    EXPECT_EQ(TextOf(kCharFromCode, Value{0xB0, 0, kTagByte}), "\xB0");
    EXPECT_TRUE(IsNullText(kCharFromCode, Value{0, 0, kTagByte}));
}

TEST(ToInteger, ConvertsEachType) {
    EXPECT_EQ(IntOf(kToInteger, Value{0xFF, 0, kTagByte}), 255);
    EXPECT_EQ(IntOf(kToInteger, Value{0xFFFF, 0, kTagShort}), -1);
    EXPECT_EQ(IntOf(kToInteger, Value::Long((int64_t(7) << 32) | 5)), 5);
    EXPECT_EQ(IntOf(kToInteger, Value::Bool(true)), 1);
    EXPECT_EQ(IntOf(kToInteger, 2.9), 2);
    EXPECT_EQ(IntOf(kToInteger, -2.9), -2);
    EXPECT_EQ(IntOf(kToInteger, 1e20), std::numeric_limits<int32_t>::max());
    Value dateTime = Value::Double(45000.5);
    dateTime.tag = kTagDateTime;
    EXPECT_EQ(IntOf(kToInteger, dateTime), 0);
    EXPECT_EQ(IntOf(kToInteger, Bytes::Copy("12", 2)), 0);
}

TEST(NumericArguments, RealsPastTheIntegerRangeHoldAtItsBoundsAndNaNReadsAsZero) {
    // Converting such a real to an integer was undefined; 3e9 came out as a negative count.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(TextOf(kLeftText, "abc", 3e9), "abc");
    EXPECT_EQ(TextOf(kRightText, "abc", 1e300), "abc");
    EXPECT_TRUE(IsNullText(kLeftText, "abc", -1e300));
    EXPECT_TRUE(IsNullText(kLeftText, "abc", nan));
    EXPECT_TRUE(IsNullText(kMidText, "abc", nan, 2));
    EXPECT_EQ(IntOf(kFindText, "abcabc", "c", -1e300), 3);
    EXPECT_EQ(IntOf(kFindText, "abcabc", "c", HUGE_VAL), -1);
    const Value reals[] = {Value::Double(1e300), Value::Double(-HUGE_VAL), Value::Double(nan), Value::Double(-0.9)};
    EXPECT_EQ(ArgInt(1, &reals[0], 0), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ArgLong(1, &reals[0], 0), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(ArgLong(1, &reals[1], 0), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(ArgInt(1, &reals[2], 0), 0);
    EXPECT_EQ(ArgInt(1, &reals[3], 0), 0);
}

TEST(ToInteger, ReadsFoldedDecimalText) {
    EXPECT_EQ(IntOf(kToInteger, "１２３"), 123);
    EXPECT_EQ(IntOf(kToInteger, "－４５"), -45);
    EXPECT_EQ(IntOf(kToInteger, "12abc"), 12);
    EXPECT_EQ(IntOf(kToInteger, "abc"), 0);
    EXPECT_EQ(IntOf(kToInteger, " \t+7"), 7);
    EXPECT_EQ(IntOf(kToInteger, "　8"), 8);
    EXPECT_EQ(IntOf(kToInteger, "3.9"), 3);
    EXPECT_EQ(IntOf(kToInteger, "-2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(IntOf(kToInteger, "99999999999"), std::numeric_limits<int32_t>::max());
}

TEST(ToNumber, ConvertsEachTypeAndReadsDecimalText) {
    EXPECT_EQ(DoubleOf(kToNumber, Value{0xFFFF, 0, kTagShort}), -1.0);
    EXPECT_EQ(DoubleOf(kToNumber, Value::Long(int64_t(1) << 40)), 1099511627776.0);
    EXPECT_EQ(DoubleOf(kToNumber, Value::Of(kTagSubProgram, 0xFFFFFFFFull)), 4294967295.0);
    EXPECT_EQ(DoubleOf(kToNumber, Value{0x3FC00000, 0, kTagFloat}), 1.5);
    EXPECT_EQ(DoubleOf(kToNumber, "１２．５"), 12.5);
    EXPECT_EQ(DoubleOf(kToNumber, " -1.5e3x"), -1500.0);
    EXPECT_EQ(DoubleOf(kToNumber, "2e"), 2.0);
    EXPECT_EQ(DoubleOf(kToNumber, "abc"), 0.0);
    EXPECT_EQ(DoubleOf(kToNumber, "inf"), 0.0);
    EXPECT_EQ(DoubleOf(kToNumber, "0x10"), 0.0);
}

TEST(Division, IntegerDivideTruncatesTowardZero) {
    EXPECT_EQ(DoubleOf(kIntegerDivide, 7.0, 2.0), 3.0);
    EXPECT_EQ(DoubleOf(kIntegerDivide, -7.0, 2.0), -3.0);
    EXPECT_EQ(DoubleOf(kIntegerDivide, 7.0, -2.0), -3.0);
    EXPECT_EQ(DoubleOf(kIntegerDivide, 100.0, 3.0, 4.0), 8.0);  // 100/3 -> 33, 33/4 -> 8
    EXPECT_EQ(DoubleOf(kIntegerDivide, 17, 5), 3.0);
    EXPECT_EQ(DoubleOf(kIntegerDivide, 7.0, 2.0, Omit()), 3.0);  // a left-out further divisor is no divisor
}

TEST(Division, RemainderTakesTheSignOfTheDividend) {
    EXPECT_EQ(DoubleOf(kRemainder, -7.0, 2.0), -1.0);
    EXPECT_EQ(DoubleOf(kRemainder, 7.0, -2.0), 1.0);
    EXPECT_EQ(DoubleOf(kRemainder, 7.5, 2.0), 1.5);
    EXPECT_EQ(DoubleOf(kRemainder, 17.0, 7.0, 2.0), 1.0);  // 17 % 7 -> 3, 3 % 2 -> 1
}

TEST(Division, ZeroDivisorsAreFatal) {
    EXPECT_EXIT(CallKernel(kIntegerDivide, 1.0, 0.0), ::testing::ExitedWithCode(255), "错误信息：不能整除于零");
    EXPECT_EXIT(CallKernel(kIntegerDivide, 1.0, 2.0, -0.0), ::testing::ExitedWithCode(255), "不能整除于零");
    EXPECT_EXIT(CallKernel(kRemainder, 1.0, 0), ::testing::ExitedWithCode(255), "错误信息：不能求余数于零");
}

TEST(ByteSets, BlankLengthAndLeft) {
    Bytes blank = BytesResult(CallKernel(kBlankBytes, 3));
    ASSERT_EQ(blank.size(), 3u);
    EXPECT_EQ(std::memcmp(blank.data(), "\0\0\0", 3), 0);
    EXPECT_EQ(CallKernel(kBlankBytes, 0).AsPointer(), nullptr);
    EXPECT_EQ(CallKernel(kBlankBytes, -1).tag, kTagBytes);

    Bytes data = Bytes::Copy("ab\0cd", 5);
    EXPECT_EQ(IntOf(kBytesLength, data), 5);
    Bytes left = BytesResult(CallKernel(kLeftBytes, data, 3));
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ(std::memcmp(left.data(), "ab\0", 3), 0);
    EXPECT_EQ(BytesResult(CallKernel(kLeftBytes, data, 99)).size(), 5u);
    EXPECT_EQ(CallKernel(kLeftBytes, data, -1).AsPointer(), nullptr);
    EXPECT_EQ(CallKernel(kLeftBytes, Bytes(), 2).AsPointer(), nullptr);
}

}  // namespace
}  // namespace rt

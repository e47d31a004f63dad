// Number to text for every system type, date-time formatting and clamping, ToText of byte sets and arrays, folding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "runtime/call.h"
#include "runtime/number_text.h"

namespace rt {
namespace {

std::string ToTextOf(const Value& v) {
    Value r = CallKernel(kToText, v);
    EXPECT_EQ(r.tag, kTagText);
    return TextResult(r).str();
}

Value DateTime(double days) {
    Value v = Value::Double(days);
    v.tag = kTagDateTime;
    return v;
}

Value FloatValue(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return Value{bits, 0, kTagFloat};
}

constexpr double kDay = 45000;  // 2023-03-15
double At(int h, int m, double s) { return kDay + (h * 3600 + m * 60 + s) / 86400.0; }

TEST(NumberToText, EachNumericTypeHasItsFormat) {
    EXPECT_EQ(ToTextOf(Value{0xFFFFFF05, 0, kTagByte}), "5");  // only the low byte counts
    EXPECT_EQ(ToTextOf(Value{0xFFFB, 0, kTagShort}), "-5");
    EXPECT_EQ(ToTextOf(Value::Int(-2147483647 - 1)), "-2147483648");
    EXPECT_EQ(ToTextOf(Value::Long(int64_t(1) << 40)), "1099511627776");
    EXPECT_EQ(ToTextOf(FloatValue(0.1f)), "0.1");
    EXPECT_EQ(ToTextOf(FloatValue(1234567.0f)), "1.23457e+06");
    EXPECT_EQ(ToTextOf(Value::Double(1.0 / 3)), "0.3333333333333");
    EXPECT_EQ(ToTextOf(Value::Double(123456789012.5)), "123456789012.5");
    EXPECT_EQ(ToTextOf(Value::Double(1e15)), "1e+15");
}

TEST(NumberToText, BooleanIsTrueForAnyNonZeroWord) {
    EXPECT_EQ(ToTextOf(Value::Bool(true)), "真");
    EXPECT_EQ(ToTextOf(Value::Bool(false)), "假");
    EXPECT_EQ(ToTextOf(Value{2, 0, kTagBool}), "真");
}

TEST(NumberToText, DateTimeDropsZeroTimeParts) {
    EXPECT_EQ(ToTextOf(DateTime(kDay)), "2023年3月15日");
    EXPECT_EQ(ToTextOf(DateTime(At(12, 0, 0))), "2023年3月15日12时");
    EXPECT_EQ(ToTextOf(DateTime(At(10, 30, 0))), "2023年3月15日10时30分");
    EXPECT_EQ(ToTextOf(DateTime(At(10, 30, 15))), "2023年3月15日10时30分15秒");
    EXPECT_EQ(ToTextOf(DateTime(At(10, 0, 15))), "2023年3月15日10时0分15秒");
    EXPECT_EQ(ToTextOf(DateTime(At(0, 5, 0))), "2023年3月15日0时5分");
    EXPECT_EQ(ToTextOf(DateTime(0)), "1899年12月30日");
    EXPECT_EQ(ToTextOf(DateTime(61)), "1900年3月1日");
}

TEST(NumberToText, DateTimeRoundsToTheSecondAcrossMidnight) {
    EXPECT_EQ(ToTextOf(DateTime(At(10, 30, 14.6))), "2023年3月15日10时30分15秒");
    EXPECT_EQ(ToTextOf(DateTime(At(23, 59, 59.7))), "2023年3月16日");
}

TEST(NumberToText, DateTimeBeforeTheEpochTakesTheFractionAsTimeOfDay) {
    EXPECT_EQ(ToTextOf(DateTime(-1)), "1899年12月29日");
    EXPECT_EQ(ToTextOf(DateTime(-1.25)), "1899年12月29日6时");
    EXPECT_EQ(ToTextOf(DateTime(-0.5)), "1899年12月30日12时");
}

TEST(NumberToText, DateTimeIsClampedToYears100To9999) {
    EXPECT_EQ(ToTextOf(DateTime(-657434)), "100年1月1日");
    EXPECT_EQ(ToTextOf(DateTime(2958465)), "9999年12月31日");
    EXPECT_EQ(ToTextOf(DateTime(2958465.5)), "9999年12月31日");
}

TEST(NumberToText, OtherTypesGiveNull) {
    EXPECT_EQ(NumberToText(Value::Text("12")), nullptr);
    EXPECT_EQ(NumberToText(Value::Control(kTagButton, 0x52010001, 0x1601004a)), nullptr);
}

TEST(ValueToText, TextsAreCopiedAndByteSetsEndAtTheFirstNul) {
    const char source[] = "abc";
    Text copy = Text::Adopt(ValueToText(Value::Text(source)));
    EXPECT_EQ(copy, "abc");
    EXPECT_NE(copy.get(), source);

    Bytes withNul = Bytes::Copy("ab\0c", 4);
    EXPECT_EQ(ToTextOf(ToArg(withNul)), "ab");
    Bytes plain = Bytes::Copy("xyz", 3);
    EXPECT_EQ(ToTextOf(ToArg(plain)), "xyz");
    Value r = CallKernel(kToText, Bytes());
    EXPECT_EQ(r.tag, kTagText);
    EXPECT_EQ(r.AsPointer(), nullptr);
    r = CallKernel(kToText, Bytes::Copy("\0a", 2));
    EXPECT_EQ(r.AsPointer(), nullptr);
}

TEST(ValueToText, NumericArraysGiveTheBytesOfTheirFirstDimension) {
    // Two dimensions of 2 x 3 bytes: only the first dimension's count of elements is read.
    struct {
        int32_t dims, first, second;
        char bytes[6];
    } grid = {2, 2, 3, {'a', 'b', 'c', 'd', 'e', 'f'}};
    EXPECT_EQ(ToTextOf(Value::Pointer(kTagByte | kTagArrayBit, &grid)), "ab");

    void* ints = NewArray(kTagInt, 3);
    const int32_t values[3] = {0x44434241, 0x00004645, 0x47};
    std::memcpy(ArrayElements(ints), values, sizeof values);
    EXPECT_EQ(ToTextOf(Value::Pointer(kTagInt | kTagArrayBit, ints)), "ABCDEF");
    MemFree(ints);

    void* texts = NewArray(kTagText, 1);
    EXPECT_EQ(ToTextOf(Value::Pointer(kTagText | kTagArrayBit, texts)), "");
    MemFree(texts);
    EXPECT_EQ(ToTextOf(Value::Pointer(kTagInt | kTagArrayBit, nullptr)), "");
    EXPECT_EQ(ToTextOf(Value::Of(kTagSubProgram, 0x401000)), "");
}

TEST(FoldFullWidth, FullWidthFormsBecomeAscii) {
    EXPECT_EQ(FoldFullWidth("１２３"), "123");
    EXPECT_EQ(FoldFullWidth("ＡｂＣ＋－．"), "AbC+-.");
    EXPECT_EQ(FoldFullWidth("a　b～c\xA1\xEE\xA1\xEF"), "a b~c**");
}

TEST(FoldFullWidth, OtherCharactersStayWhole) {
    EXPECT_EQ(FoldFullWidth("中文ok"), "中文ok");
    // A3 A0 is outside the folded trail range; A1 A2 is another punctuation mark.
    EXPECT_EQ(FoldFullWidth("\xA3\xA0\xA1\xA2"), "\xA3\xA0\xA1\xA2");
    // Stepping is by character: the trail byte A3 of B0 A3 does not start a full-width digit.
    EXPECT_EQ(FoldFullWidth("\xB0\xA3\xB1"), "\xB0\xA3\xB1");
    EXPECT_EQ(FoldFullWidth("1\xA3"), "1\xA3");
    EXPECT_EQ(FoldFullWidth(""), "");
}

}  // namespace
}  // namespace rt

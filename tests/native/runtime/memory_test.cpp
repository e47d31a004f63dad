// Heap helpers, constant ranges, owned-value constructors and array index checks.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/errors.h"
#include "runtime/memory.h"

namespace rt {
namespace {

const char kConstantText[] = "constant";
struct {
    int32_t dims = 1, size = 3;
    int32_t items[3] = {7, 8, 9};
} constantArray;

class ConstantRanges : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterConstantRange(kConstantText, kConstantText + sizeof kConstantText);
        RegisterConstantRange(&constantArray, reinterpret_cast<char*>(&constantArray) + sizeof constantArray);
    }
};

TEST_F(ConstantRanges, FreeOfConstantDoesNothingAndReallocCopies) {
    MemFree(const_cast<char*>(kConstantText));
    EXPECT_STREQ(kConstantText, "constant");
    // From the middle of the constant: only the bytes up to the end of its range are copied.
    auto* copy = static_cast<char*>(MemRealloc(const_cast<char*>(kConstantText + 4), 32));
    EXPECT_NE(copy, kConstantText + 4);
    EXPECT_STREQ(copy, "tant");
    MemFree(copy);
}

TEST_F(ConstantRanges, CopyOnWriteOnlyForConstants) {
    void* variable = &constantArray;
    ArrayCopyOnWrite(4, &variable);
    ASSERT_NE(variable, static_cast<void*>(&constantArray));
    EXPECT_EQ(ArrayCount(variable), 3);
    EXPECT_EQ(0, std::memcmp(ArrayElements(variable), constantArray.items, 12));
    void* heap = variable;
    ArrayCopyOnWrite(4, &variable);
    EXPECT_EQ(variable, heap);
    MemFree(variable);
}

// Nobody registers the empties: freeing them must not reach the heap, and resizing copies them out.
TEST(BuiltInEmpties, FreeDoesNothingAndReallocCopies) {
    EXPECT_TRUE(InConstantRange(kEmptyText));
    EXPECT_TRUE(InConstantRange(&kEmptyBytes));
    MemFree(const_cast<char*>(kEmptyText));
    MemFree(const_cast<ByteSetHeader*>(&kEmptyBytes));
    auto* text = static_cast<char*>(MemRealloc(const_cast<char*>(kEmptyText), 8));
    ASSERT_NE(text, kEmptyText);
    EXPECT_EQ(text[0], 0);
    MemFree(text);
    auto* bytes = static_cast<ByteSetHeader*>(MemRealloc(const_cast<ByteSetHeader*>(&kEmptyBytes), 16));
    ASSERT_NE(bytes, &kEmptyBytes);
    EXPECT_EQ(0, std::memcmp(bytes, &kEmptyBytes, sizeof kEmptyBytes));
    MemFree(bytes);
    EXPECT_EQ(kEmptyText[0], 0);
    EXPECT_EQ(kEmptyBytes.length, 0);
}

TEST(OwnedValues, EmptyResultsAreNull) {
    EXPECT_EQ(NewText("", 0), nullptr);
    EXPECT_EQ(NewText(nullptr), nullptr);
    EXPECT_EQ(NewBytes("x", 0), nullptr);
    char* t = NewText("ab\0cd", 5);
    EXPECT_EQ(0, std::memcmp(t, "ab\0cd\0", 6));
    MemFree(t);
    void* b = NewBytes("xyz", 3);
    EXPECT_EQ(BytesLengthOf(b), 3);
    EXPECT_EQ(reinterpret_cast<const int32_t*>(b)[0], 1);
    EXPECT_EQ(0, std::memcmp(BytesDataOf(b), "xyz", 3));
    MemFree(b);
}

TEST(OwnedValues, TextArrayFreesElements) {
    void* a = NewArray(kTagText, 2);
    EXPECT_EQ(ArrayCount(a), 2);
    char* items[2] = {NewText("one"), NewText("two")};
    std::memcpy(ArrayElements(a), items, sizeof items);
    FreeArray(kTagText, a);  // leak-checked under the sanitizer build
    EXPECT_EQ(ArrayCount(nullptr), 0);
}

TEST(IndexChecks, BelowOneIsError4AboveCountIsError1) {
    EXPECT_EQ(CheckedIndex(1, 3), 0);
    EXPECT_EQ(CheckedIndex(3, 3), 2);
    EXPECT_EXIT(CheckedIndex(0, 3), ::testing::ExitedWithCode(255), "错误代码：4");
    EXPECT_EXIT(CheckedIndex(4, 3), ::testing::ExitedWithCode(255), "错误代码：1");
    EXPECT_EXIT(CheckedIndex(1, 0), ::testing::ExitedWithCode(255), "数组成员引用下标超出定义范围");
}

TEST(Allocation, NegativeSizeIsTheAllocationFailure) {
    EXPECT_EXIT(MemAlloc(-5), ::testing::ExitedWithCode(255), "分配 -5 字节内存失败!");
}

// A body of 4 GiB and 8 bytes once became an allocation of 8 bytes followed by a 4 GiB copy.
TEST(Allocation, SizesPastTheAllocatorsRangeAreRefusedNotCut) {
    EXPECT_EXIT(NewBytes(nullptr, (size_t(1) << 32) + 8), ::testing::ExitedWithCode(255),
                "分配 4294967304 字节内存失败!");
    EXPECT_EXIT(NewBytes(nullptr, size_t(INT32_MAX)), ::testing::ExitedWithCode(255), "分配 2147483647 字节内存失败!");
}

}  // namespace
}  // namespace rt

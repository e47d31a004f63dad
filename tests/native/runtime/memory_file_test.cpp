// In-memory file commands and the binary value format, byte for byte, through real argument frames.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "runtime/call.h"
#include "runtime/memory_file.h"

namespace rt {
namespace {

using namespace std::string_literals;

// A fresh in-memory file, closed at the end of the test.
class MemoryFileTest : public ::testing::Test {
protected:
    void SetUp() override { file_ = CallKernel(kOpenMemoryFile).AsInt(); }
    void TearDown() override { CallKernel(kCloseFile, file_); }

    std::string Contents() const {
        auto f = FindMemoryFile(file_);
        return std::string(reinterpret_cast<const char*>(f->Data()), size_t(f->Length()));
    }
    int32_t Position() const { return FindMemoryFile(file_)->Position(); }
    bool Put(const std::string& bytes) {
        Bytes b = Bytes::Copy(bytes.data(), bytes.size());
        return CallKernel(kWriteBytes, file_, b).AsInt() != 0;
    }
    void Rewind() { ASSERT_TRUE(CallKernel(kSeekFileStart, file_).AsInt()); }
    std::string Line() { return TextResult(CallKernel(kReadLine, file_)).str(); }
    bool AtEnd(bool stopAtTerminator) { return CallKernel(kAtFileEnd, file_, stopAtTerminator).AsInt() != 0; }

    int32_t file_ = 0;
};

Value Scalar(uint32_t tag, uint64_t bits) { return Value::Of(tag, bits); }
void SubProgramA() {}

// ---- binary value format ----------------------------------------------------------------------------------------

using BinaryFormat = MemoryFileTest;

TEST_F(BinaryFormat, TextsEndInNulAndReadBack) {
    EXPECT_TRUE(CallKernel(kWriteData, file_, "ab", "").AsInt());
    EXPECT_EQ(Contents(), "ab\0\0"s);
    Rewind();
    char* first = NewText("old value");  // replaced, and freed by the read
    char* second = nullptr;
    EXPECT_TRUE(CallKernel(kReadData, file_, Ref{&first, kTagText}, Ref{&second, kTagText}).AsInt());
    EXPECT_STREQ(first, "ab");
    EXPECT_EQ(second, nullptr);  // the empty text is null
    EXPECT_TRUE(AtEnd(false));
    MemFree(first);
}

TEST_F(BinaryFormat, ScalarsAreTheirStoredLittleEndianBytes) {
    EXPECT_TRUE(CallKernel(kWriteData, file_, Scalar(kTagByte, 0xAB), Scalar(kTagShort, 0xFFFE), Value::Int(0x01020304),
                           Value::Long(-2), Scalar(kTagFloat, 0x3FC00000), Value::Double(1.5), Value::Bool(true),
                           Scalar(kTagDateTime, 0x40E0000000000000))
                    .AsInt());
    EXPECT_EQ(Contents(),
              "\xAB"
              "\xFE\xFF"
              "\x04\x03\x02\x01"
              "\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF"
              "\x00\x00\xC0\x3F"
              "\x00\x00\x00\x00\x00\x00\xF8\x3F"
              "\x01\x00\x00\x00"
              "\x00\x00\x00\x00\x00\x00\xE0\x40"s);

    // Each variable receives exactly its own width: the guard bytes around the byte and short stay.
    Rewind();
    struct {
        uint8_t byte, guard1 = 0x55;
        int16_t shortValue;
        uint16_t guard2 = 0x5555;
        int32_t integer;
        int64_t longValue;
        float floatValue;
        double doubleValue;
        int32_t boolean;
        double dateTime;
    } v{};
    EXPECT_TRUE(CallKernel(kReadData, file_, Ref{&v.byte, kTagByte}, Ref{&v.shortValue, kTagShort},
                           Ref{&v.integer, kTagInt}, Ref{&v.longValue, kTagLong}, Ref{&v.floatValue, kTagFloat},
                           Ref{&v.doubleValue, kTagDouble}, Ref{&v.boolean, kTagBool}, Ref{&v.dateTime, kTagDateTime})
                    .AsInt());
    EXPECT_EQ(v.byte, 0xAB);
    EXPECT_EQ(v.guard1, 0x55);
    EXPECT_EQ(v.shortValue, -2);
    EXPECT_EQ(v.guard2, 0x5555);
    EXPECT_EQ(v.integer, 0x01020304);
    EXPECT_EQ(v.longValue, -2);
    EXPECT_EQ(v.floatValue, 1.5f);
    EXPECT_EQ(v.doubleValue, 1.5);
    EXPECT_EQ(v.boolean, 1);
    EXPECT_EQ(v.dateTime, 32768.0);
}

TEST_F(BinaryFormat, ByteSetIsLengthWordAndBytes) {
    Bytes three = Bytes::Copy("xyz", 3);
    EXPECT_TRUE(CallKernel(kWriteData, file_, three, Bytes()).AsInt());
    EXPECT_EQ(Contents(), "\x03\x00\x00\x00xyz\x00\x00\x00\x00"s);
    Rewind();
    void* first = nullptr;
    void* second = NewBytes("old", 3);
    EXPECT_TRUE(CallKernel(kReadData, file_, Ref{&first, kTagBytes}, Ref{&second, kTagBytes}).AsInt());
    ASSERT_EQ(BytesLengthOf(first), 3);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(BytesDataOf(first)), 3), "xyz");
    EXPECT_EQ(second, nullptr);
    MemFree(first);

    // At the end of the file there is no length word: the read fails and the position stays.
    void* third = nullptr;
    EXPECT_FALSE(CallKernel(kReadData, file_, Ref{&third, kTagBytes}).AsInt());
    EXPECT_EQ(Position(), 11);
}

TEST_F(BinaryFormat, ByteSetLongerThanTheRestFailsAndKeepsThePosition) {
    ASSERT_TRUE(
        Put("\x05\x00\x00\x00"
            "abc"s));
    Rewind();
    void* bytes = nullptr;
    EXPECT_FALSE(CallKernel(kReadData, file_, Ref{&bytes, kTagBytes}).AsInt());
    EXPECT_EQ(bytes, nullptr);
    EXPECT_EQ(Position(), 0);
    ASSERT_TRUE(CallKernel(kDeleteData, file_, 100).AsInt());
    ASSERT_TRUE(
        Put("\xFF\xFF\xFF\xFF"
            "abc"s));  // a negative length is no byte set either
    Rewind();
    EXPECT_FALSE(CallKernel(kReadData, file_, Ref{&bytes, kTagBytes}).AsInt());
    EXPECT_EQ(Position(), 0);
}

TEST_F(BinaryFormat, TextWithoutNulRunsToTheEndAndNothingAtAllFails) {
    ASSERT_TRUE(Put("tail"));
    Rewind();
    char* text = nullptr;
    EXPECT_TRUE(CallKernel(kReadData, file_, Ref{&text, kTagText}).AsInt());
    EXPECT_STREQ(text, "tail");
    EXPECT_FALSE(CallKernel(kReadData, file_, Ref{&text, kTagText}).AsInt());
    EXPECT_EQ(text, nullptr);  // the old text was freed first
}

TEST_F(BinaryFormat, ArraysAreTheirElementsWithoutHeader) {
    void* numbers = NewArray(kTagInt, 3);
    int32_t items[3] = {1, -1, 0x10203};
    std::memcpy(ArrayElements(numbers), items, sizeof items);
    void* texts = NewArray(kTagText, 3);  // "a", empty (null), "bc"
    char* textItems[3] = {NewText("a"), nullptr, NewText("bc")};
    std::memcpy(ArrayElements(texts), textItems, sizeof textItems);
    void* byteSets = NewArray(kTagBytes, 2);  // a missing element, then "q"
    void* byteItems[2] = {nullptr, NewBytes("q", 1)};
    std::memcpy(ArrayElements(byteSets), byteItems, sizeof byteItems);

    EXPECT_TRUE(CallKernel(kWriteData, file_, Value::Pointer(kTagInt | kTagArrayBit, numbers),
                           Value::Pointer(kTagText | kTagArrayBit, texts),
                           Value::Pointer(kTagBytes | kTagArrayBit, byteSets))
                    .AsInt());
    EXPECT_EQ(Contents(),
              "\x01\x00\x00\x00\xFF\xFF\xFF\xFF\x03\x02\x01\x00"
              "a\0\0bc\0"
              "\x00\x00\x00\x00\x01\x00\x00\x00q"s);

    // Reading takes the element counts from the arrays the variables hold now, whatever their shape: a 3x1 integer
    // array becomes a one-dimensional array of 3.
    Rewind();
    struct {
        int32_t dims = 2, rows = 3, columns = 1;
        int32_t items[3] = {};
    } shaped;
    void* numbersBack = MemAlloc(sizeof shaped);
    std::memcpy(numbersBack, &shaped, sizeof shaped);
    void* textsBack = NewArray(kTagText, 3);
    char* oldText = NewText("freed by the read");
    std::memcpy(ArrayElements(textsBack), &oldText, sizeof oldText);
    void* byteSetsBack = NewArray(kTagBytes, 2);
    EXPECT_TRUE(CallKernel(kReadData, file_, Ref{&numbersBack, kTagInt | kTagArrayBit},
                           Ref{&textsBack, kTagText | kTagArrayBit}, Ref{&byteSetsBack, kTagBytes | kTagArrayBit})
                    .AsInt());
    ASSERT_EQ(ArrayDims(numbersBack), 1);
    ASSERT_EQ(ArrayCount(numbersBack), 3);
    EXPECT_EQ(0, std::memcmp(ArrayElements(numbersBack), items, sizeof items));
    char* textsRead[3];
    std::memcpy(textsRead, ArrayElements(textsBack), sizeof textsRead);
    EXPECT_STREQ(textsRead[0], "a");
    EXPECT_EQ(textsRead[1], nullptr);
    EXPECT_STREQ(textsRead[2], "bc");
    void* bytesRead[2];
    std::memcpy(bytesRead, ArrayElements(byteSetsBack), sizeof bytesRead);
    EXPECT_EQ(bytesRead[0], nullptr);
    EXPECT_EQ(BytesLengthOf(bytesRead[1]), 1);

    for (void* a : {numbers, numbersBack}) FreeArray(kTagInt, a);
    for (void* a : {texts, textsBack}) FreeArray(kTagText, a);
    for (void* a : {byteSets, byteSetsBack}) FreeArray(kTagBytes, a);
}

TEST_F(BinaryFormat, ArrayReadIsAllElementsOrNone) {
    ASSERT_TRUE(Put("one\0two\0"s));
    Rewind();
    void* texts = NewArray(kTagText, 3);
    EXPECT_FALSE(CallKernel(kReadData, file_, Ref{&texts, kTagText | kTagArrayBit}).AsInt());
    EXPECT_EQ(texts, nullptr);  // the old array was freed, the partly read one too
    EXPECT_EQ(Position(), 0);
}

TEST_F(BinaryFormat, SubProgramPointerKeepsFourBytesAndRoundTrips) {
    auto* target = &SubProgramA;
    EXPECT_TRUE(CallKernel(kWriteData, file_, Value::Pointer(kTagSubProgram, reinterpret_cast<void*>(target)),
                           Value::Pointer(kTagSubProgram, nullptr))
                    .AsInt());
    EXPECT_EQ(Contents().size(), 8u);
    EXPECT_EQ(Contents().substr(4), "\0\0\0\0"s);
    Rewind();
    void* back = nullptr;
    void* none = reinterpret_cast<void*>(target);
    EXPECT_TRUE(CallKernel(kReadData, file_, Ref{&back, kTagSubProgram}, Ref{&none, kTagSubProgram}).AsInt());
    EXPECT_EQ(back, reinterpret_cast<void*>(target));
    EXPECT_EQ(none, nullptr);
}

TEST_F(BinaryFormat, AFailedValueStopsTheCommandAndRestoresThePosition) {
    ASSERT_TRUE(Put("#"));
    // A control is not a system data type: the text before it stays written, the position goes back.
    EXPECT_FALSE(
        CallKernel(kWriteData, file_, "kept", Value::Control(kTagButton, 0x52010001, 0x1601004a), "never").AsInt());
    EXPECT_EQ(Contents(), "#kept\0"s);
    EXPECT_EQ(Position(), 1);

    // A read that runs short keeps the variables filled before it and restores the position.
    Rewind();
    ASSERT_TRUE(CallKernel(kDeleteData, file_, 100).AsInt());
    ASSERT_TRUE(Put("x\0\x01\x02"s));
    Rewind();
    char* text = nullptr;
    int32_t number = 77;
    EXPECT_FALSE(CallKernel(kReadData, file_, Ref{&text, kTagText}, Ref{&number, kTagInt}).AsInt());
    EXPECT_STREQ(text, "x");
    EXPECT_EQ(number, 77);
    EXPECT_EQ(Position(), 0);
    MemFree(text);

    // An object variable is refused the same way.
    void* object = nullptr;
    EXPECT_FALSE(CallKernel(kReadData, file_, Ref{&object, kTagRegex}).AsInt());
    EXPECT_EQ(Position(), 0);
}

// ---- commands ---------------------------------------------------------------------------------------------------

using MemoryFileCommands = MemoryFileTest;

TEST_F(MemoryFileCommands, BytesGoInWithoutLengthAndComeOutUpToN) {
    Bytes ab = Bytes::Copy("ab", 2), c = Bytes::Copy("c", 1);
    EXPECT_TRUE(CallKernel(kWriteBytes, file_, ab, Bytes(), c).AsInt());
    EXPECT_EQ(Contents(), "abc");
    Rewind();
    EXPECT_TRUE(BytesResult(CallKernel(kReadBytes, file_, 0)).empty());
    EXPECT_TRUE(BytesResult(CallKernel(kReadBytes, file_, -4)).empty());
    Bytes first = BytesResult(CallKernel(kReadBytes, file_, 2));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(first.data()), first.size()), "ab");
    Bytes rest = BytesResult(CallKernel(kReadBytes, file_, 100));
    EXPECT_EQ(rest.size(), 1u);
    EXPECT_EQ(BytesResult(CallKernel(kReadBytes, file_, 100)).get(), nullptr);
}

TEST_F(MemoryFileCommands, WriteTextWritesNumbersAsTextAndSkipsOtherTypes) {
    Bytes skipped = Bytes::Copy("zz", 2);
    EXPECT_TRUE(CallKernel(kWriteText, file_, "n=", Value::Int(-42), "", skipped, Value::Double(2.5), " ",
                           Value::Bool(false), Value::Control(kTagButton, 1, 2))
                    .AsInt());
    EXPECT_EQ(Contents(), "n=-422.5 假");
}

TEST_F(MemoryFileCommands, ReadLineSplitsAtLineFeedAndDropsTheCarriageReturn) {
    ASSERT_TRUE(Put("one\r\ntwo"));
    Rewind();
    EXPECT_EQ(Line(), "one");
    EXPECT_EQ(Line(), "two");
    EXPECT_EQ(Line(), "");
    EXPECT_TRUE(AtEnd(false));
}

TEST_F(MemoryFileCommands, ReadLineStopsInFrontOfNulAndEndOfText) {
    for (char terminator : {'\0', '\x1A'}) {
        ASSERT_TRUE(CallKernel(kDeleteData, file_, 100).AsInt());
        Rewind();
        ASSERT_TRUE(Put("ab"s + terminator + "cd"));
        Rewind();
        EXPECT_EQ(Line(), "ab");
        EXPECT_EQ(Line(), "");  // stays in front of the terminator
        EXPECT_EQ(Line(), "");
        EXPECT_EQ(Position(), 2);
        EXPECT_TRUE(AtEnd(true));
        EXPECT_FALSE(AtEnd(false));
        EXPECT_EQ(Position(), 2);
    }
}

TEST_F(MemoryFileCommands, ReadLineKeepsDoubleByteCharactersWhole) {
    // "中" (D6 D0) straddles the 512-byte mark; 0x95 0x5C is one character whose trail byte is a backslash.
    std::string longLine(511, 'a');
    ASSERT_TRUE(Put(longLine + "\xD6\xD0\r\n"
                               "\x95\x5C\n"
                               "last\xB0"));
    Rewind();
    EXPECT_EQ(Line(), longLine + "\xD6\xD0");
    EXPECT_EQ(Line(), "\x95\x5C");
    // A lead byte that ends the file stands alone.
    EXPECT_EQ(Line(), "last\xB0");
    EXPECT_TRUE(AtEnd(false));
}

TEST_F(MemoryFileCommands, ReadLineNeverTakesALineEndForATrailByte) {
    // A stray lead byte directly before LF used to take the LF as its trail byte, merging two lines into one that
    // held the LF; before NUL the line came back cut short at the NUL while the position had passed it.
    ASSERT_TRUE(Put("Set-Cookie: a=1\xB0\nSet-Cookie: b=2"));
    Rewind();
    EXPECT_EQ(Line(), "Set-Cookie: a=1\xB0");
    EXPECT_EQ(Line(), "Set-Cookie: b=2");
    for (char terminator : {'\0', '\x1A'}) {
        Rewind();
        ASSERT_TRUE(CallKernel(kDeleteData, file_, 100).AsInt());
        ASSERT_TRUE(Put("c\xE3"s + terminator + "d"));
        Rewind();
        EXPECT_EQ(Line(), "c\xE3");
        EXPECT_EQ(Position(), 2);  // in front of the terminator
        EXPECT_TRUE(AtEnd(true));
    }
}

TEST_F(MemoryFileCommands, DeleteDataRemovesWhatFollowsAndEndsAtTheNewEnd) {
    ASSERT_TRUE(Put("abcde"));
    Rewind();
    ASSERT_EQ(BytesResult(CallKernel(kReadBytes, file_, 1)).size(), 1u);
    EXPECT_TRUE(CallKernel(kDeleteData, file_, 2).AsInt());
    EXPECT_EQ(Contents(), "ade");
    EXPECT_EQ(Position(), 3);
    EXPECT_TRUE(CallKernel(kDeleteData, file_, 0).AsInt());
    EXPECT_EQ(Contents(), "ade");

    // More than follows: the file ends at the position.
    Rewind();
    ASSERT_EQ(BytesResult(CallKernel(kReadBytes, file_, 2)).size(), 2u);
    EXPECT_TRUE(CallKernel(kDeleteData, file_, 50).AsInt());
    EXPECT_EQ(Contents(), "ad");
    EXPECT_EQ(CallKernel(kGetFileLength, file_).AsInt(), 2);
}

TEST_F(MemoryFileCommands, WritesOverwriteThenExtendAcrossGrowthSteps) {
    std::string expected;
    for (int i = 0; i < 20; ++i) {
        std::string piece(512, char('A' + i));
        ASSERT_TRUE(Put(piece));
        expected += piece;
    }
    EXPECT_EQ(Contents(), expected);
    Rewind();
    ASSERT_TRUE(Put("xy"));
    EXPECT_EQ(CallKernel(kGetFileLength, file_).AsInt(), 20 * 512);
    EXPECT_EQ(Contents().substr(0, 4), "xyAA");
    EXPECT_EQ(Position(), 2);
}

TEST(MemoryFileNumbers, ClosedAndUnknownNumbersGiveFailureValues) {
    int32_t file = CallKernel(kOpenMemoryFile).AsInt();
    Bytes bytes = Bytes::Copy("ab", 2);
    ASSERT_TRUE(CallKernel(kWriteBytes, file, bytes).AsInt());
    CallKernel(kCloseFile, file);
    CallKernel(kCloseFile, file);  // a second close is ignored
    for (int32_t number : {file, 0, -3}) {
        char* text = nullptr;
        EXPECT_FALSE(CallKernel(kWriteData, number, "x").AsInt());
        EXPECT_FALSE(CallKernel(kReadData, number, Ref{&text, kTagText}).AsInt());
        EXPECT_FALSE(CallKernel(kWriteBytes, number, bytes).AsInt());
        EXPECT_EQ(BytesResult(CallKernel(kReadBytes, number, 5)).get(), nullptr);
        EXPECT_FALSE(CallKernel(kWriteText, number, "x").AsInt());
        EXPECT_EQ(TextResult(CallKernel(kReadLine, number)).get(), nullptr);
        EXPECT_FALSE(CallKernel(kSeekFileStart, number).AsInt());
        EXPECT_TRUE(CallKernel(kAtFileEnd, number).AsInt());
        EXPECT_EQ(CallKernel(kGetFileLength, number).AsInt(), -1);
        EXPECT_FALSE(CallKernel(kDeleteData, number, 1).AsInt());
    }
}

TEST(MemoryFileNumbers, NumbersAreDistinctAcrossThreadsAndNotReused) {
    std::vector<std::vector<int32_t>> opened(4);
    std::vector<std::thread> threads;
    for (auto& list : opened)
        threads.emplace_back([&list] {
            for (int i = 0; i < 200; ++i) list.push_back(NewMemoryFile());
        });
    for (auto& t : threads) t.join();
    std::set<int32_t> numbers;
    for (auto& list : opened) numbers.insert(list.begin(), list.end());
    EXPECT_EQ(numbers.size(), 800u);
    EXPECT_EQ(numbers.count(0), 0u);
    for (int32_t n : numbers) EXPECT_TRUE(CloseFileNumber(n));
    int32_t next = NewMemoryFile();
    EXPECT_EQ(numbers.count(next), 0u);
    EXPECT_TRUE(CloseFileNumber(next));
    EXPECT_FALSE(CloseFileNumber(next));
}

}  // namespace
}  // namespace rt

// Fuzz target: the in-memory file commands over arbitrary file contents: ReadLine, ReadData into variables of
// every type, ReadBytes, AtFileEnd, DeleteData and the writes, checked against a model of the bytes and position.
// Input: the file's bytes, then a tape of operations, then one byte giving the tape's length.
#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "runtime/call.h"
#include "runtime/memory_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace rt;
using fuzz::Quote;

constexpr uint32_t kFormatTags[] = {kTagByte, kTagShort,    kTagInt,  kTagLong,  kTagFloat,     kTagDouble,
                                    kTagBool, kTagDateTime, kTagText, kTagBytes, kTagSubProgram};

bool IsPointerTag(uint32_t tag) { return tag == kTagText || tag == kTagBytes; }

// The file under test with the model of its bytes and position that every operation is checked against.
class FileUnderTest {
public:
    explicit FileUnderTest(const std::string& contents) : number_(CallKernel(kOpenMemoryFile).AsInt()) {
        Bytes b = Bytes::Copy(contents.data(), contents.size());
        FUZZ_CHECK(CallKernel(kWriteBytes, number_, b).AsInt() == 1);
        FUZZ_CHECK(CallKernel(kSeekFileStart, number_).AsInt() == 1);
        contents_ = contents;
        Verify("opening");
    }
    ~FileUnderTest() { CallKernel(kCloseFile, number_); }

    int32_t number() const { return number_; }
    const std::string& contents() const { return contents_; }
    size_t position() const { return position_; }
    size_t length() const { return contents_.size(); }

    std::string ActualContents() const {
        auto f = FindMemoryFile(number_);
        return f->Length() ? std::string(reinterpret_cast<const char*>(f->Data()), size_t(f->Length())) : "";
    }
    size_t ActualPosition() const { return size_t(FindMemoryFile(number_)->Position()); }

    void Verify(const char* after) const {
        const std::string actual = ActualContents();
        FUZZ_CHECK(actual == contents_) << "after " << after << ": file " << Quote(actual) << ", expected "
                                        << Quote(contents_);
        FUZZ_CHECK(ActualPosition() == position_)
            << "after " << after << ": position " << ActualPosition() << ", expected " << position_;
    }
    // Takes over what a write left, after checking it only touched the bytes from `from` on.
    void Accept(size_t from, const char* after) {
        const std::string actual = ActualContents();
        FUZZ_CHECK(actual.compare(0, from, contents_, 0, from) == 0) << after << " changed bytes before " << from;
        contents_ = actual;
        position_ = ActualPosition();
    }
    void Expect(std::string contents, size_t position) {
        contents_ = std::move(contents);
        position_ = position;
    }
    void MoveTo(size_t position) {
        FindMemoryFile(number_)->Seek(int64_t(position));
        position_ = position;
    }

private:
    int32_t number_;
    std::string contents_;
    size_t position_ = 0;
};

bool AtTerminator(const std::string& bytes, size_t at) {
    return at < bytes.size() && (bytes[at] == '\0' || bytes[at] == 0x1A);
}

// A line is the bytes up to LF (consumed), NUL or 0x1A (left in place) or the end, without a final CR. It never
// holds a terminator, and a call that does not move reports the end (AtFileEnd with the terminator flag).
void CheckReadLine(FileUnderTest& f) {
    const size_t from = f.position();
    const std::string line = TextResult(CallKernel(kReadLine, f.number())).str();
    const size_t to = f.ActualPosition();
    const std::string& bytes = f.contents();
    FUZZ_CHECK(to >= from && to <= bytes.size()) << "position went from " << from << " to " << to;
    std::string expected = bytes.substr(from, to - from);
    if (!expected.empty() && expected.back() == '\n') expected.pop_back();
    if (!expected.empty() && expected.back() == '\r') expected.pop_back();
    FUZZ_CHECK(expected.find_first_of(std::string("\n\0\x1A", 3)) == std::string::npos)
        << "line " << Quote(expected) << " read from " << from << " to " << to << " holds a terminator";
    FUZZ_CHECK(line == expected) << "line " << Quote(line) << " but the bytes consumed were " << Quote(expected);
    FUZZ_CHECK(to == from || to == bytes.size() || bytes[to - 1] == '\n' || AtTerminator(bytes, to))
        << "the line from " << from << " stopped at " << to << " before its end";
    if (to == from) FUZZ_CHECK(CallKernel(kAtFileEnd, f.number(), true).AsInt() == 1) << "no progress at " << from;
    f.Expect(bytes, to);
}

// Reading lines until AtFileEnd with the terminator flag says so ends within one call per byte.
void CheckReadAllLines(FileUnderTest& f) {
    f.MoveTo(0);
    size_t lines = 0;
    while (!CallKernel(kAtFileEnd, f.number(), true).AsInt()) {
        CheckReadLine(f);
        FUZZ_CHECK(++lines <= f.length()) << "more lines than bytes";
    }
}

// A variable of a given type as the application holds it: eight bytes of storage for a scalar, an owned pointer
// for a text or byte set, an array block whose element count the read keeps.
struct Variable {
    uint32_t tag = kTagInt;
    uint64_t storage = 0;

    Variable() = default;
    Variable(const Variable&) = delete;
    Variable& operator=(const Variable&) = delete;
    ~Variable() {
        void* p = Pointer();
        if (IsArrayTag(tag))
            FreeArray(ElementTag(tag), p);
        else if (IsPointerTag(tag))
            MemFree(p);
    }
    void* Pointer() const {
        void* p;
        std::memcpy(&p, &storage, sizeof p);
        return p;
    }
    void SetPointer(void* p) { std::memcpy(&storage, &p, sizeof p); }
    Value Reference() { return Value::Pointer(tag, &storage); }
    // The variable's value as an argument: what WriteData would be given.
    Value AsValue() const {
        if (IsArrayTag(tag) || IsPointerTag(tag)) return Value::Pointer(tag, Pointer());
        return Value::Of(tag, storage);
    }
};

uint32_t PickTag(FuzzedDataProvider& tape) {
    const size_t n = std::size(kFormatTags);
    const size_t pick = tape.ConsumeIntegralInRange<size_t>(0, 2 * n + 1);
    if (pick < n) return kFormatTags[pick];
    if (pick < 2 * n) return kFormatTags[pick - n] | kTagArrayBit;
    return pick == 2 * n ? kTagWindow : kTagRegex | kTagArrayBit;  // not system data types
}

void Prepare(Variable& v, FuzzedDataProvider& tape) {
    if (IsArrayTag(v.tag)) {
        // One or two dimensions; a read replaces the block with a one-dimensional array of as many elements.
        const int32_t dims = tape.ConsumeIntegralInRange(1, 2);
        const int32_t a = tape.ConsumeIntegralInRange(0, 5), b = dims == 2 ? tape.ConsumeIntegralInRange(0, 3) : 1;
        const size_t elementSize = IsSystemTag(ElementTag(v.tag)) ? StoredSize(ElementTag(v.tag)) : 8;
        auto* block = static_cast<int32_t*>(MemAlloc(int32_t(4 + 4 * dims + a * b * elementSize)));
        std::memset(block, 0, size_t(4 + 4 * dims) + size_t(a * b) * elementSize);
        block[0] = dims;
        block[1] = a;
        if (dims == 2) block[2] = b;
        v.SetPointer(block);
    } else if (IsPointerTag(v.tag) && tape.ConsumeBool()) {
        v.SetPointer(v.tag == kTagText ? static_cast<void*>(NewText("old")) : NewBytes("old", 3));  // freed by the read
    } else if (!IsPointerTag(v.tag)) {
        v.storage = tape.ConsumeIntegral<uint64_t>();
    }
}

int64_t ElementCount(const void* array) { return ArrayCount(array); }

// The bytes WriteData gives for the values, in a scratch file.
bool Encode(const std::vector<Value>& values, std::string* bytes) {
    MemoryFile scratch;
    for (const Value& v : values)
        if (!WriteBinaryValue(scratch, v)) return false;
    bytes->assign(reinterpret_cast<const char*>(scratch.Data()), size_t(scratch.Length()));
    return true;
}

// ReadData either fills every variable, consuming exactly the bytes that writing them back gives, or fails and
// leaves the position where it was.
void CheckReadData(FileUnderTest& f, FuzzedDataProvider& tape) {
    std::vector<Variable> variables(size_t(tape.ConsumeIntegralInRange(1, 3)));
    std::vector<Value> args{Value::Int(f.number())};
    std::vector<int64_t> counts;
    for (Variable& v : variables) {
        v.tag = PickTag(tape);
        Prepare(v, tape);
        counts.push_back(IsArrayTag(v.tag) ? ElementCount(v.Pointer()) : 0);
        args.push_back(v.Reference());
    }
    const size_t from = f.position();
    const bool ok = CallKernelCommand(kKernelCommands[kReadData].fn, int32_t(args.size()), args.data()).AsInt();
    const size_t to = f.ActualPosition();
    if (!ok) {
        FUZZ_CHECK(to == from) << "a failed ReadData moved the position from " << from << " to " << to;
        return;
    }
    std::vector<Value> values;
    for (size_t i = 0; i < variables.size(); ++i) {
        const Variable& v = variables[i];
        FUZZ_CHECK(IsSystemTag(ElementTag(v.tag))) << "ReadData accepted tag " << v.tag;
        if (IsArrayTag(v.tag)) {
            FUZZ_CHECK(v.Pointer() && ArrayDims(v.Pointer()) == 1 && ElementCount(v.Pointer()) == counts[i])
                << "array of " << counts[i] << " elements read back with " << ElementCount(v.Pointer());
        }
        values.push_back(v.AsValue());
    }
    std::string encoded;
    FUZZ_CHECK(Encode(values, &encoded)) << "values read cannot be written back";
    const std::string consumed = f.contents().substr(from, to - from);
    // A text that ends the file without its NUL is written back with one.
    const bool textAtEnd = to == f.length() && encoded == consumed + '\0';
    FUZZ_CHECK(encoded == consumed || textAtEnd)
        << "ReadData consumed " << Quote(consumed) << " but the values write back as " << Quote(encoded);
    f.Expect(f.contents(), to);
}

void SubProgram() {}

Value RandomValue(FuzzedDataProvider& tape, std::deque<std::string>& texts) {
    const uint32_t tag = PickTag(tape);
    if (IsArrayTag(tag) || tag == kTagWindow) return Value::Control(kTagButton, 0x52010001, 7);  // refused
    if (tag == kTagText) {
        texts.push_back(fuzz::WithoutNul(tape.ConsumeRandomLengthString(40)));
        return Value::Text(texts.back().c_str());
    }
    if (tag == kTagBytes) {
        texts.push_back(tape.ConsumeRandomLengthString(40));
        return Value::Pointer(kTagBytes, NewBytes(texts.back().data(), texts.back().size()));
    }
    if (tag == kTagSubProgram)
        return Value::Pointer(tag, tape.ConsumeBool() ? nullptr : reinterpret_cast<const void*>(&SubProgram));
    return Value::Of(tag, tape.ConsumeIntegral<uint64_t>());
}

// WriteData then ReadData at the same place gives the values back; a refused value puts the position back.
void CheckWriteData(FileUnderTest& f, FuzzedDataProvider& tape) {
    std::deque<std::string> texts;  // holds the texts the values point into
    std::vector<Value> values;
    const int32_t count = tape.ConsumeIntegralInRange(1, 3);
    for (int32_t i = 0; i < count; ++i) values.push_back(RandomValue(tape, texts));
    std::vector<Value> args{Value::Int(f.number())};
    args.insert(args.end(), values.begin(), values.end());

    const size_t from = f.position();
    const bool ok = CallKernelCommand(kKernelCommands[kWriteData].fn, int32_t(args.size()), args.data()).AsInt();
    f.Accept(from, "WriteData");
    if (!ok) {
        FUZZ_CHECK(f.position() == from) << "a refused WriteData moved the position to " << f.position();
    } else {
        const size_t end = f.position();
        std::vector<Variable> variables(values.size());
        std::vector<Value> readArgs{Value::Int(f.number())};
        for (size_t i = 0; i < values.size(); ++i) {
            variables[i].tag = values[i].tag;
            readArgs.push_back(variables[i].Reference());
        }
        f.MoveTo(from);
        const int32_t readCount = int32_t(readArgs.size());
        FUZZ_CHECK(CallKernelCommand(kKernelCommands[kReadData].fn, readCount, readArgs.data()).AsInt());
        FUZZ_CHECK(f.ActualPosition() == end) << "read back to " << f.ActualPosition() << ", written to " << end;
        for (size_t i = 0; i < values.size(); ++i) {
            const Value back = variables[i].AsValue();
            if (values[i].tag == kTagText) {
                FUZZ_CHECK(std::string(back.AsText() ? back.AsText() : "") == values[i].AsText());
            } else if (values[i].tag == kTagBytes) {
                const void* b = back.AsPointer();
                FUZZ_CHECK(std::string(reinterpret_cast<const char*>(BytesDataOf(b)), size_t(BytesLengthOf(b))) ==
                           std::string(reinterpret_cast<const char*>(BytesDataOf(values[i].AsPointer())),
                                       size_t(BytesLengthOf(values[i].AsPointer()))));
            } else {
                const size_t size = StoredSize(values[i].tag);
                const uint64_t mask = size >= 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * size)) - 1;
                FUZZ_CHECK((back.AsLong() & int64_t(mask)) == (values[i].AsLong() & int64_t(mask)))
                    << "tag " << values[i].tag << " written " << values[i].AsLong() << " read " << back.AsLong();
            }
        }
        f.Expect(f.contents(), end);
    }
    for (const Value& v : values)
        if (v.tag == kTagBytes) MemFree(v.AsPointer());
}

void CheckReadBytes(FileUnderTest& f, FuzzedDataProvider& tape) {
    const int32_t n = tape.ConsumeBool() ? tape.ConsumeIntegral<int32_t>() : tape.ConsumeIntegralInRange(-2, 600);
    Bytes b = BytesResult(CallKernel(kReadBytes, f.number(), n));
    const size_t from = f.position();
    const size_t taken = n <= 0 ? 0 : std::min(size_t(n), f.length() - from);
    const std::string got(reinterpret_cast<const char*>(b.data()), b.size());
    FUZZ_CHECK(got == f.contents().substr(from, taken)) << "ReadBytes(" << n << ") at " << from;
    f.Expect(f.contents(), from + taken);
}

void CheckAtFileEnd(FileUnderTest& f, FuzzedDataProvider& tape) {
    const bool flag = tape.ConsumeBool();
    const bool expected = f.position() >= f.length() || (flag && AtTerminator(f.contents(), f.position()));
    FUZZ_CHECK((CallKernel(kAtFileEnd, f.number(), flag).AsInt() != 0) == expected) << "at " << f.position();
}

void CheckDeleteData(FileUnderTest& f, FuzzedDataProvider& tape) {
    const int32_t n = tape.ConsumeBool() ? tape.ConsumeIntegral<int32_t>() : tape.ConsumeIntegralInRange(-2, 40);
    FUZZ_CHECK(CallKernel(kDeleteData, f.number(), n).AsInt() == 1);
    if (n <= 0) return;
    std::string contents = f.contents();
    contents.erase(f.position(), size_t(n));
    f.Expect(contents, contents.size());
}

// WriteBytes and WriteText overwrite from the position and extend the file.
void CheckWrites(FileUnderTest& f, FuzzedDataProvider& tape) {
    const std::string chunk = tape.ConsumeRandomLengthString(64);
    std::string written = chunk;
    if (tape.ConsumeBool()) {
        Bytes b = Bytes::Copy(chunk.data(), chunk.size());
        FUZZ_CHECK(CallKernel(kWriteBytes, f.number(), b).AsInt() == 1);
    } else {
        const std::string text = fuzz::WithoutNul(chunk);
        const int32_t number = tape.ConsumeIntegral<int32_t>();
        FUZZ_CHECK(CallKernel(kWriteText, f.number(), text.c_str(), number).AsInt() == 1);
        written = text + std::to_string(number);
    }
    std::string contents = f.contents();
    contents.replace(f.position(), std::min(written.size(), contents.size() - f.position()), written);
    f.Expect(contents, f.position() + written.size());
}

// Every command given a number that is not open gives its failure value.
void CheckClosedNumber(int32_t number) {
    char* text = nullptr;
    FUZZ_CHECK(CallKernel(kGetFileLength, number).AsInt() == -1);
    FUZZ_CHECK(CallKernel(kAtFileEnd, number, true).AsInt() == 1);
    FUZZ_CHECK(CallKernel(kSeekFileStart, number).AsInt() == 0);
    FUZZ_CHECK(CallKernel(kDeleteData, number, 1).AsInt() == 0);
    FUZZ_CHECK(CallKernel(kWriteData, number, 1).AsInt() == 0);
    FUZZ_CHECK(CallKernel(kReadData, number, Ref{&text, kTagText}).AsInt() == 0);
    FUZZ_CHECK(CallKernel(kReadLine, number).AsPointer() == nullptr);
    FUZZ_CHECK(CallKernel(kReadBytes, number, 5).AsPointer() == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t tapeLength = std::min<size_t>(data[size - 1], size - 1);
    const std::string contents(reinterpret_cast<const char*>(data), size - 1 - tapeLength);
    FuzzedDataProvider tape(data + size - 1 - tapeLength, tapeLength);

    int32_t number;
    {
        FileUnderTest f(contents);
        number = f.number();
        CheckReadAllLines(f);
        f.MoveTo(0);
        for (int step = 0; step < 48 && tape.remaining_bytes() > 0; ++step) {
            switch (tape.ConsumeIntegralInRange(0, 9)) {
                case 0: CheckReadLine(f); break;
                case 1: CheckReadData(f, tape); break;
                case 2: CheckReadBytes(f, tape); break;
                case 3: CheckAtFileEnd(f, tape); break;
                case 4:
                    FUZZ_CHECK(CallKernel(kSeekFileStart, f.number()).AsInt() == 1);
                    f.Expect(f.contents(), 0);
                    break;
                case 5: CheckDeleteData(f, tape); break;
                case 6: CheckWriteData(f, tape); break;
                case 7: CheckWrites(f, tape); break;
                case 8: CheckReadAllLines(f); break;
                default: FUZZ_CHECK(CallKernel(kGetFileLength, f.number()).AsInt() == int32_t(f.length())); break;
            }
            f.Verify("a step");
        }
    }
    CheckClosedNumber(number);
    return 0;
}

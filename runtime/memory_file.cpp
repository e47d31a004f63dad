// In-memory files, the open-file set and the binary value format.
#include "runtime/memory_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "runtime/gbk_bytes.h"
#include "runtime/memory.h"

namespace rt {

// ---- MemoryFile --------------------------------------------------------------------------------------------------

namespace {
constexpr int64_t kGrowthStep = 1024;
}

MemoryFile::~MemoryFile() { std::free(data_); }

void MemoryFile::Seek(int64_t position) { position_ = int32_t(std::clamp<int64_t>(position, 0, length_)); }

bool MemoryFile::Write(const void* bytes, size_t n) {
    if (n == 0) return true;
    if (n > size_t(kMaxLength) || position_ + int64_t(n) > kMaxLength) return false;
    int64_t end = position_ + int64_t(n);
    if (end > capacity_) {
        // Whole 1024-byte steps, and at least half again the current capacity, so that a long run of small
        // writes (a response body arrives 512 bytes at a time) does not copy the buffer at every step.
        int64_t want = std::max<int64_t>(end, int64_t(capacity_) + capacity_ / 2);
        want = std::min((want + kGrowthStep - 1) / kGrowthStep * kGrowthStep, kMaxLength);
        void* grown = std::realloc(data_, size_t(want));
        if (!grown) return false;
        data_ = static_cast<uint8_t*>(grown);
        capacity_ = int32_t(want);
    }
    std::memcpy(data_ + position_, bytes, n);
    position_ = int32_t(end);
    length_ = std::max(length_, position_);
    return true;
}

size_t MemoryFile::Read(void* out, size_t n) {
    n = std::min(n, size_t(length_ - position_));
    if (n) std::memcpy(out, data_ + position_, n);
    position_ += int32_t(n);
    return n;
}

void MemoryFile::Delete(int64_t n) {
    if (n <= 0) return;
    int32_t after = length_ - position_;
    int32_t removed = int32_t(std::min<int64_t>(n, after));
    if (after > removed) std::memmove(data_ + position_, data_ + position_ + removed, size_t(after - removed));
    length_ -= removed;
    position_ = length_;
}

namespace {
bool EndsLine(uint8_t c) { return c == '\n' || c == 0 || c == 0x1A; }
}  // namespace

std::string MemoryFile::ReadLine() {
    int32_t start = position_;
    int32_t i = start;
    while (i < length_) {
        uint8_t c = data_[i];
        if (EndsLine(c)) break;
        // A lead byte takes its trail byte with it. A lead byte that ends the file, or one followed by a line
        // end (never a GBK trail byte), stands alone: a malformed character must not swallow the line end.
        i += (IsTextLeadByte(char(c)) && i + 1 < length_ && !EndsLine(data_[i + 1])) ? 2 : 1;
    }
    std::string line(reinterpret_cast<const char*>(data_ + start), size_t(i - start));
    position_ = (i < length_ && data_[i] == '\n') ? i + 1 : i;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// ---- Open-file set -----------------------------------------------------------------------------------------------

namespace {

struct OpenFile {
    FileKind kind;
    std::shared_ptr<MemoryFile> memory;
};

struct OpenFileSet {
    std::mutex lock;
    std::unordered_map<int32_t, OpenFile> files;
    int32_t lastNumber = 0;
};

OpenFileSet& OpenFiles() {
    static OpenFileSet set;
    return set;
}

}  // namespace

int32_t NewMemoryFile() {
    auto file = std::make_shared<MemoryFile>();
    OpenFileSet& set = OpenFiles();
    std::lock_guard<std::mutex> guard(set.lock);
    do {
        set.lastNumber = set.lastNumber == INT32_MAX ? 1 : set.lastNumber + 1;
    } while (set.files.count(set.lastNumber));
    set.files.emplace(set.lastNumber, OpenFile{FileKind::kMemory, std::move(file)});
    return set.lastNumber;
}

std::shared_ptr<MemoryFile> FindMemoryFile(int32_t number) {
    OpenFileSet& set = OpenFiles();
    std::lock_guard<std::mutex> guard(set.lock);
    auto it = set.files.find(number);
    if (it == set.files.end() || it->second.kind != FileKind::kMemory) return nullptr;
    return it->second.memory;
}

bool CloseFileNumber(int32_t number) {
    std::shared_ptr<MemoryFile> closing;  // destroyed after the lock is released
    OpenFileSet& set = OpenFiles();
    std::lock_guard<std::mutex> guard(set.lock);
    auto it = set.files.find(number);
    if (it == set.files.end()) return false;
    closing = std::move(it->second.memory);
    set.files.erase(it);
    return true;
}

// ---- Binary value format -----------------------------------------------------------------------------------------

namespace {

// Bytes of a scalar system type in the file; 0 for text, byte set and anything else.
size_t FileSize(uint32_t tag) {
    switch (tag) {
        case kTagByte: return 1;
        case kTagShort: return 2;
        case kTagInt:
        case kTagFloat:
        case kTagBool:
        case kTagSubProgram: return 4;
        case kTagLong:
        case kTagDouble:
        case kTagDateTime: return 8;
        default: return 0;
    }
}

bool IsFormatTag(uint32_t tag) { return FileSize(tag) != 0 || tag == kTagText || tag == kTagBytes; }

// Fewest file bytes one value of the type takes: its size, one NUL for a text, the length word of a byte set.
size_t MinimumFileSize(uint32_t tag) { return tag == kTagText ? 1 : tag == kTagBytes ? 4 : FileSize(tag); }

// A sub-program pointer travels as its distance from a fixed address of the runtime's code. The runtime and the
// application's sub-programs are linked into one image, so the distance fits in 32 bits; 0 stands for none (the
// anchor itself is never a sub-program of the application).
uint64_t CodeAnchor() { return uint64_t(reinterpret_cast<uintptr_t>(&WriteBinaryValue)); }

bool EncodeSubProgram(uint64_t address, uint32_t* stored) {
    if (address == 0) {
        *stored = 0;
        return true;
    }
    int64_t distance = int64_t(address - CodeAnchor());
    if (distance == 0 || distance < INT32_MIN || distance > INT32_MAX) return false;
    *stored = uint32_t(int32_t(distance));
    return true;
}

uint64_t DecodeSubProgram(uint32_t stored) {
    return stored == 0 ? 0 : CodeAnchor() + uint64_t(int64_t(int32_t(stored)));
}

void* LoadPointer(const void* slot) {
    void* p;
    std::memcpy(&p, slot, sizeof p);
    return p;
}
void StorePointer(void* slot, void* p) { std::memcpy(slot, &p, sizeof p); }

// `memory` holds the scalar as the program keeps it in a variable or an array element.
bool WriteScalar(MemoryFile& file, uint32_t tag, const void* memory) {
    if (tag != kTagSubProgram) return file.Write(memory, FileSize(tag));
    uint32_t stored;
    return EncodeSubProgram(uint64_t(reinterpret_cast<uintptr_t>(LoadPointer(memory))), &stored) &&
           file.Write(&stored, sizeof stored);
}

bool WriteTextValue(MemoryFile& file, const char* text) {
    return text ? file.Write(text, std::strlen(text) + 1) : file.Write("", 1);
}

bool WriteByteSetValue(MemoryFile& file, const void* bytes) {
    int32_t length = BytesLengthOf(bytes);
    return file.Write(&length, sizeof length) && file.Write(BytesDataOf(bytes), size_t(length));
}

bool WriteElement(MemoryFile& file, uint32_t tag, const void* element) {
    if (tag == kTagText) return WriteTextValue(file, static_cast<const char*>(LoadPointer(element)));
    if (tag == kTagBytes) return WriteByteSetValue(file, LoadPointer(element));
    return WriteScalar(file, tag, element);
}

bool ReadExactly(MemoryFile& file, void* out, size_t n) {
    if (size_t(file.Length() - file.Position()) < n) return false;
    file.Read(out, n);
    return true;
}

// Fills the scalar only when all its bytes are there.
bool ReadScalar(MemoryFile& file, uint32_t tag, void* memory) {
    uint8_t stored[8];
    if (!ReadExactly(file, stored, FileSize(tag))) return false;
    if (tag != kTagSubProgram) {
        std::memcpy(memory, stored, FileSize(tag));
        return true;
    }
    uint32_t distance;
    std::memcpy(&distance, stored, sizeof distance);
    StorePointer(memory, reinterpret_cast<void*>(uintptr_t(DecodeSubProgram(distance))));
    return true;
}

// The bytes up to and including the next NUL; at the end of the file without one, the bytes there are.
bool ReadTextValue(MemoryFile& file, void* slot) {
    MemFree(LoadPointer(slot));
    StorePointer(slot, nullptr);
    if (file.AtEnd()) return false;
    const char* start = reinterpret_cast<const char*>(file.Data() + file.Position());
    size_t available = size_t(file.Length() - file.Position());
    const void* nul = std::memchr(start, 0, available);
    size_t length = nul ? size_t(static_cast<const char*>(nul) - start) : available;
    StorePointer(slot, NewText(start, length));
    file.Seek(file.Position() + int64_t(nul ? length + 1 : length));
    return true;
}

bool ReadByteSetValue(MemoryFile& file, void* slot) {
    MemFree(LoadPointer(slot));
    StorePointer(slot, nullptr);
    int32_t length;
    if (!ReadExactly(file, &length, sizeof length)) return false;
    if (length < 0 || length > file.Length() - file.Position()) return false;
    StorePointer(slot, NewBytes(file.Data() + file.Position(), size_t(length)));
    file.Seek(file.Position() + length);
    return true;
}

bool ReadElement(MemoryFile& file, uint32_t tag, void* element) {
    if (tag == kTagText) return ReadTextValue(file, element);
    if (tag == kTagBytes) return ReadByteSetValue(file, element);
    return ReadScalar(file, tag, element);
}

// The element count comes from the array the variable holds now; that array is replaced by a new
// one-dimensional array of as many elements read from the file, all of them or none.
bool ReadArray(MemoryFile& file, uint32_t elementTag, void* variable) {
    void* old = LoadPointer(variable);
    int64_t count = ArrayCount(old);
    FreeArray(elementTag, old);
    StorePointer(variable, nullptr);
    // Refuse counts the file cannot hold before allocating anything for them.
    int64_t available = file.Length() - file.Position();
    if (count < 0 || count * int64_t(MinimumFileSize(elementTag)) > available ||
        8 + count * int64_t(StoredSize(elementTag)) > INT32_MAX)
        return false;
    void* array = NewArray(elementTag, int32_t(count));
    uint8_t* elements = ArrayElements(array);
    size_t elementSize = StoredSize(elementTag);
    for (int64_t i = 0; i < count; ++i) {
        if (!ReadElement(file, elementTag, elements + i * elementSize)) {
            FreeArray(elementTag, array);
            return false;
        }
    }
    StorePointer(variable, array);
    return true;
}

}  // namespace

bool WriteBinaryValue(MemoryFile& file, const Value& value) {
    if (IsArrayTag(value.tag)) {
        uint32_t elementTag = ElementTag(value.tag);
        if (!IsFormatTag(elementTag)) return false;
        const void* array = value.AsPointer();
        int64_t count = ArrayCount(array);
        if (count == 0) return true;
        const uint8_t* elements = ArrayElements(array);
        size_t elementSize = StoredSize(elementTag);
        for (int64_t i = 0; i < count; ++i)
            if (!WriteElement(file, elementTag, elements + i * elementSize)) return false;
        return true;
    }
    if (!IsFormatTag(value.tag)) return false;
    if (value.tag == kTagText) return WriteTextValue(file, value.AsText());
    if (value.tag == kTagBytes) return WriteByteSetValue(file, value.AsPointer());
    // The two value words hold the scalar exactly as a variable would: low word first, little-endian.
    uint8_t memory[8];
    std::memcpy(memory, &value, sizeof memory);
    return WriteScalar(file, value.tag, memory);
}

bool ReadBinaryValue(MemoryFile& file, uint32_t tag, void* variable) {
    if (!variable) return false;
    if (IsArrayTag(tag)) return IsFormatTag(ElementTag(tag)) && ReadArray(file, ElementTag(tag), variable);
    return IsFormatTag(tag) && ReadElement(file, tag, variable);
}

}  // namespace rt

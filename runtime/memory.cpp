// Heap helpers over the C runtime heap, with the constant-range rules for built-in values.
#include "runtime/memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "runtime/errors.h"

namespace rt {

const char kEmptyText[1] = {0};
const ByteSetHeader kEmptyBytes = {1, 0};

namespace {

struct Range {
    const uint8_t* begin;
    const uint8_t* end;
};

std::vector<Range>& Ranges() {
    static std::vector<Range> ranges;
    return ranges;
}
std::mutex& RangesLock() {
    static std::mutex lock;
    return lock;
}

// The empty text and byte set are constants of the runtime itself: they sit in their own ranges from the
// start, so freeing or resizing one never reaches the heap, whoever registered what.
const Range kBuiltInEmpties[] = {
    {reinterpret_cast<const uint8_t*>(kEmptyText), reinterpret_cast<const uint8_t*>(kEmptyText) + sizeof kEmptyText},
    {reinterpret_cast<const uint8_t*>(&kEmptyBytes), reinterpret_cast<const uint8_t*>(&kEmptyBytes + 1)},
};

const Range* FindRange(const void* p) {
    auto* b = static_cast<const uint8_t*>(p);
    for (const Range& r : kBuiltInEmpties)
        if (b >= r.begin && b < r.end) return &r;
    for (const Range& r : Ranges())
        if (b >= r.begin && b < r.end) return &r;
    return nullptr;
}

[[noreturn]] void AllocationFailed(int64_t size) {
    char message[64];
    std::snprintf(message, sizeof message, "分配 %lld 字节内存失败!", static_cast<long long>(size));
    ErrorWithText(message);
}

// The allocator counts in 32 bits: a larger request is refused with its error, never cut to a small one.
int32_t CheckedSize(size_t payload, size_t header) {
    if (payload > size_t(INT32_MAX) - header) AllocationFailed(int64_t(std::min<size_t>(payload, INT64_MAX)));
    return int32_t(payload + header);
}

}  // namespace

void RegisterConstantRange(const void* begin, const void* end) {
    std::lock_guard<std::mutex> guard(RangesLock());
    Ranges().push_back({static_cast<const uint8_t*>(begin), static_cast<const uint8_t*>(end)});
}

bool InConstantRange(const void* p) {
    if (!p) return false;
    std::lock_guard<std::mutex> guard(RangesLock());
    return FindRange(p) != nullptr;
}

size_t ConstantBytesAfter(const void* p) {
    std::lock_guard<std::mutex> guard(RangesLock());
    const Range* r = FindRange(p);
    return r ? size_t(r->end - static_cast<const uint8_t*>(p)) : 0;
}

void* MemAlloc(int32_t size) {
    // A negative count is an impossible request; report it as the failure it is.
    if (size < 0) AllocationFailed(size);
    void* p = std::malloc(size == 0 ? 1 : size_t(size));
    if (!p) AllocationFailed(size);
    return p;
}

void* MemRealloc(void* p, int32_t size) {
    if (!p) return MemAlloc(size);
    if (size_t available = ConstantBytesAfter(p)) {
        void* copy = MemAlloc(size);
        std::memcpy(copy, p, std::min(available, size_t(std::max(size, 0))));
        return copy;
    }
    if (size < 0) AllocationFailed(size);
    void* q = std::realloc(p, size == 0 ? 1 : size_t(size));
    if (!q) AllocationFailed(size);
    return q;
}

void MemFree(void* p) {
    if (!p || InConstantRange(p)) return;
    std::free(p);
}

void ArrayCopyOnWrite(int32_t elementSize, void** variable) {
    void* array = *variable;
    if (!array || !InConstantRange(array)) return;
    size_t bytes = 4 + 4 * size_t(ArrayDims(array)) + size_t(ArrayCount(array)) * size_t(elementSize);
    void* copy = MemAlloc(int32_t(bytes));
    std::memcpy(copy, array, bytes);
    *variable = copy;
}

void FreeArray(uint32_t elementTag, void* array) {
    if (!array) return;
    if (elementTag == kTagText || elementTag == kTagBytes) {
        int64_t n = ArrayCount(array);
        uint8_t* e = ArrayElements(array);
        for (int64_t i = 0; i < n; ++i) {
            void* item;
            std::memcpy(&item, e + i * sizeof(void*), sizeof item);
            MemFree(item);
        }
    }
    MemFree(array);
}

char* NewText(const char* bytes, size_t length) {
    if (!bytes || length == 0) return nullptr;
    auto* t = static_cast<char*>(MemAlloc(CheckedSize(length, 1)));
    std::memcpy(t, bytes, length);
    t[length] = 0;
    return t;
}

char* NewText(const char* text) { return text ? NewText(text, std::strlen(text)) : nullptr; }

void* NewBytes(const void* bytes, size_t length) {
    if (length == 0) return nullptr;
    auto* b = static_cast<uint8_t*>(MemAlloc(CheckedSize(length, sizeof(ByteSetHeader))));
    ByteSetHeader h{1, int32_t(length)};
    std::memcpy(b, &h, sizeof h);
    if (bytes)
        std::memcpy(b + sizeof h, bytes, length);
    else
        std::memset(b + sizeof h, 0, length);
    return b;
}

void* NewArray(uint32_t elementTag, int32_t count) {
    if (count < 0) count = 0;
    size_t bytes = 8 + size_t(count) * StoredSize(elementTag);
    auto* a = static_cast<uint8_t*>(MemAlloc(int32_t(bytes)));
    std::memset(a, 0, bytes);
    int32_t header[2] = {1, count};
    std::memcpy(a, header, sizeof header);
    return a;
}

int64_t ArrayCount(const void* array) {
    int32_t n = ArrayDims(array);
    if (n <= 0) return 0;
    const auto* sizes = static_cast<const int32_t*>(array) + 1;
    int64_t count = 1;
    for (int32_t i = 0; i < n; ++i) count *= sizes[i];
    return count;
}

size_t StoredSize(uint32_t tag) {
    switch (tag) {
        case kTagByte: return 1;
        case kTagShort: return 2;
        case kTagInt:
        case kTagFloat:
        case kTagBool: return 4;
        case kTagLong:
        case kTagDouble:
        case kTagDateTime: return 8;
        case kTagText:
        case kTagBytes:
        case kTagSubProgram: return sizeof(void*);
        default:
            // Control references are (window, control) pairs; library objects are pointers to their variable.
            if (tag >= 0x00010001u && tag <= 0x0003FFFFu) return 8;
            return sizeof(void*);
    }
}

}  // namespace rt

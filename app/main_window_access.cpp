// Control properties through the helper table, and the application's runtime arrays.
#include "app/main_window_access.h"

#include <algorithm>
#include <cstring>

#include "runtime/errors.h"
#include "runtime/library_commands.h"

namespace app {

rt::Value Control(uint32_t type, uint32_t id) { return rt::Value::Control(type, kMainWindowId, id); }

namespace {
void Write(uint32_t id, int32_t property, rt::Value v) {
    rt::Helpers().writeProperty(kMainWindowId, id, property, -1, v.low, v.high);
}
}  // namespace

void SetIntProperty(uint32_t id, int32_t property, int32_t value) { Write(id, property, rt::Value::Int(value)); }
void SetBoolProperty(uint32_t id, int32_t property, bool value) { Write(id, property, rt::Value::Bool(value)); }
void SetTextProperty(uint32_t id, int32_t property, const char* text) {
    Write(id, property, rt::Value::Text(text ? text : rt::kEmptyText));
}
void SetBytesProperty(uint32_t id, int32_t property, const Bytes& bytes) {
    Write(id, property, rt::Value::Pointer(rt::kTagBytes, bytes.block()));
}

int32_t IntProperty(uint32_t id, int32_t property) {
    return int32_t(rt::Helpers().readProperty(kMainWindowId, id, property, -1).low);
}

Text TextProperty(uint32_t id, int32_t property) {
    rt::PropertyValue v = rt::Helpers().readProperty(kMainWindowId, id, property, -1);
    return Text::Adopt(reinterpret_cast<char*>((uint64_t(v.high) << 32) | v.low));
}

void AdvanceProgress() { SetIntProperty(form::进度条1, 13, IntProperty(form::进度条1, 13) + 1); }

int32_t CountOf(const void* array) { return int32_t(rt::ArrayCount(array)); }

namespace {
template <typename T>
T ElementAt(const void* array, int32_t index) {
    T value{};
    if (index >= 1 && index <= CountOf(array))
        std::memcpy(&value, rt::ArrayElements(array) + size_t(index - 1) * sizeof(T), sizeof(T));
    return value;
}
template <typename T>
void StoreAt(void* array, int32_t index, T value) {
    std::memcpy(rt::ArrayElements(array) + size_t(rt::CheckedIndex(index, CountOf(array))) * sizeof(T), &value,
                sizeof(T));
}
}  // namespace

const char* TextAt(const void* array, int32_t index) {
    const char* t = ElementAt<const char*>(array, index);
    return t ? t : "";
}

void ResetTextArray(void** array, int32_t count) {
    rt::FreeArray(rt::kTagText, *array);
    *array = rt::NewArray(rt::kTagText, count);
}

void SetTextAt(void* array, int32_t index, char* owned) {
    rt::MemFree(ElementAt<char*>(array, index));
    StoreAt(array, index, owned);
}

void AppendText(void** array, const char* text) {
    int32_t n = CountOf(*array);
    *array = rt::MemRealloc(*array, int32_t(8 + size_t(n + 1) * sizeof(char*)));
    int32_t header[2] = {1, n + 1};
    std::memcpy(*array, header, sizeof header);
    char* copy = rt::NewText(text);
    std::memcpy(rt::ArrayElements(*array) + size_t(n) * sizeof(char*), &copy, sizeof copy);
}

uint32_t ControlAt(const void* array, int32_t index) { return ElementAt<rt::ControlRef>(array, index).control; }

void ResetControlArray(void** array, uint32_t type, int32_t count) {
    rt::FreeArray(type, *array);
    *array = rt::NewArray(type, count);
}

void* ControlSlot(void* array, int32_t index) {
    return rt::ArrayElements(array) + size_t(rt::CheckedIndex(index, CountOf(array))) * sizeof(rt::ControlRef);
}

void ResetIntArray(void** array, int32_t count) {
    rt::FreeArray(rt::kTagInt, *array);
    *array = rt::NewArray(rt::kTagInt, count);
}
int32_t IntAt(const void* array, int32_t index) { return ElementAt<int32_t>(array, index); }
void SetIntAt(void* array, int32_t index, int32_t value) { StoreAt(array, index, value); }

Text MatchText(const void* matches, int32_t index, const Text& searched) {
    void* cell = ElementAt<void*>(matches, index);
    if (!cell) return Text();
    return rt::TextResult(
        rt::CallLibrary(&rt::RegexMatchText, rt::Value::Pointer(rt::kTagSearchResult, cell), searched));
}

Text MatchText(const void* matches, int32_t index, const char* searched, size_t searchedLength) {
    auto* cell = ElementAt<rt::MatchCell*>(matches, index);
    const rt::SearchResult* record = cell ? *cell : nullptr;
    if (!record || record->count < 1 || !record->entries[0].matched) return Text();
    const rt::MatchEntry& whole = record->entries[0];
    size_t from = std::min(searchedLength, size_t(std::max(whole.offset, 0)));
    size_t length = std::min(searchedLength - from, size_t(std::max(whole.length, 0)));
    return Text::Adopt(rt::NewText(searched + from, length));
}

void* SearchAll(void* pattern, const char* text) {
    return rt::CallLibrary(&rt::RegexSearchAll, rt::Ref{pattern, rt::kTagRegex}, text).AsPointer();
}

void* SearchAll(void* pattern, const char* text, int32_t mostMatches) {
    return rt::CallLibrary(&rt::RegexSearchAll, rt::Ref{pattern, rt::kTagRegex}, text, mostMatches).AsPointer();
}

}  // namespace app

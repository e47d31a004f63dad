// Heap helpers, constant ranges, and constructors for the runtime's owned values (texts, byte sets, arrays).
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/value.h"

namespace rt {

// Allocation failure is fatal ("分配 %d 字节内存失败!"); these never return null for a positive size.
void* MemAlloc(int32_t size);
void* MemRealloc(void* p, int32_t size);
void MemFree(void* p);

// Address ranges holding built-in constants; a pointer inside one is never freed or resized.
void RegisterConstantRange(const void* begin, const void* end);
bool InConstantRange(const void* p);
// Bytes from p to the end of the constant range that holds it (0 when p is not in one).
size_t ConstantBytesAfter(const void* p);

// If the array held by *variable lies in a constant range, replace it with a heap copy of the whole block.
void ArrayCopyOnWrite(int32_t elementSize, void** variable);
// Frees a text or byte-set array's elements first, then the block.
void FreeArray(uint32_t elementTag, void* array);

// New owned values; an empty result is always null, never a zero-length allocation.
char* NewText(const char* bytes, size_t length);
char* NewText(const char* text);
void* NewBytes(const void* bytes, size_t length);
// A one-dimensional array of count zeroed elements of the given element type.
void* NewArray(uint32_t elementTag, int32_t count);

// Constant empty values that the application passes in place of null variables.
extern const char kEmptyText[1];
extern const ByteSetHeader kEmptyBytes;

}  // namespace rt

// In-memory files, the open-file set that gives them their numbers, and the binary value format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "runtime/value.h"

namespace rt {

// A growable byte buffer with a length and a read/write position (always 0..length). Reads past the end give
// fewer bytes; writes at the end extend the file. A file is used by one thread at a time.
class MemoryFile {
public:
    // Lengths and positions are 32-bit integers to the commands, so a file never grows past this.
    static constexpr int64_t kMaxLength = INT32_MAX;

    MemoryFile() = default;
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    ~MemoryFile();

    int32_t Length() const { return length_; }
    int32_t Position() const { return position_; }
    const uint8_t* Data() const { return data_; }
    bool AtEnd() const { return position_ >= length_; }
    // Moves the position, clamped to 0..Length().
    void Seek(int64_t position);

    // Writes n bytes at the position (overwriting, then extending) and moves past them. False, with nothing
    // written, when the file would outgrow kMaxLength or memory runs out.
    bool Write(const void* bytes, size_t n);
    // Reads up to n bytes from the position and moves past them; returns how many were read.
    size_t Read(void* out, size_t n);
    // The byte at the position, or -1 at the end.
    int Peek() const { return AtEnd() ? -1 : data_[position_]; }
    // Removes the n bytes after the position (fewer when the file ends sooner); the position ends at the new end.
    void Delete(int64_t n);
    // One line from the position: it ends at LF (consumed), at NUL or 0x1A (left in place), or at the end of the
    // file. A double-byte character is never split, so its trail byte never ends a line; a lead byte directly
    // before LF, NUL or 0x1A stands alone, so the line never holds one. A final CR is dropped.
    std::string ReadLine();

private:
    uint8_t* data_ = nullptr;
    int32_t capacity_ = 0;
    int32_t length_ = 0;
    int32_t position_ = 0;
};

// The open-file set, safe from any thread. Numbers count up from 1 and are never 0; a number is not handed out
// again until the count wraps, so a stale number does not reach a newer file.
enum class FileKind : int32_t { kMemory = 2 };
// Opens a new, empty in-memory file and returns its number.
int32_t NewMemoryFile();
// The in-memory file behind a number, or null when the number is not open. The shared owner keeps the file
// alive even if another thread closes the number meanwhile.
std::shared_ptr<MemoryFile> FindMemoryFile(int32_t number);
// Removes the number from the set and destroys its file; false when the number was not open.
bool CloseFileNumber(int32_t number);

// Binary value format (little-endian):
//   byte, short, integer, long, float, double, boolean, date-time  their stored bytes (1, 2, 4, 8, 4, 8, 4, 8)
//   sub-program pointer   4 bytes: the signed distance of the code address from the runtime's own code (the
//                         program is one image), 0 for none; an x64 address does not fit in 4 bytes itself
//   text                  its bytes and one NUL (the empty text is a single NUL)
//   byte set              a 32-bit length, then that many bytes
//   array of these        the elements one after another (a missing byte-set element is a zero length word),
//                         without the dimension header
//
// Writes one value at the file's position. False when its type is not a system data type or a write failed;
// bytes already written stay and the position is not restored (the caller decides).
bool WriteBinaryValue(MemoryFile& file, const Value& value);
// Reads into the variable at `variable`, whose type is `tag` (with the array bit for an array variable). A text,
// byte-set or array variable must hold a valid owned value or null: its old value is freed first. False when the
// type is not a system data type or the file holds too few bytes; the variable is then left empty (scalars keep
// their value) and the position is not restored.
bool ReadBinaryValue(MemoryFile& file, uint32_t tag, void* variable);

}  // namespace rt

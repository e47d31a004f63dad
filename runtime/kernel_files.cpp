// Kernel in-memory file commands. An unknown file number makes a command do nothing and give its failure value;
// a command that may have written part of its values puts the position back where it found it.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "runtime/args.h"
#include "runtime/kernel_commands.h"
#include "runtime/memory_file.h"
#include "runtime/number_text.h"

namespace rt {

namespace {

std::shared_ptr<MemoryFile> FileArg(int32_t argc, const Value* args) { return FindMemoryFile(ArgInt(argc, args, 0)); }

// Runs `write` for each argument after the file; the first failure restores the position and gives false.
template <typename WriteOne>
void WriteEach(Value* result, int32_t argc, Value* args, WriteOne write) {
    auto file = FileArg(argc, args);
    if (!file) return SetBool(result, false);
    int32_t start = file->Position();
    for (int32_t i = 1; i < argc; ++i) {
        if (!write(*file, args[i])) {
            file->Seek(start);
            return SetBool(result, false);
        }
    }
    SetBool(result, true);
}

}  // namespace

void OpenMemoryFile(Value* result, int32_t, Value*) { SetInt(result, NewMemoryFile()); }

void WriteData(Value* result, int32_t argc, Value* args) {
    WriteEach(result, argc, args, [](MemoryFile& file, const Value& v) { return WriteBinaryValue(file, v); });
}

void ReadData(Value* result, int32_t argc, Value* args) {
    auto file = FileArg(argc, args);
    if (!file) return SetBool(result, false);
    int32_t start = file->Position();
    for (int32_t i = 1; i < argc; ++i) {
        if (!ReadBinaryValue(*file, args[i].tag, args[i].AsPointer())) {
            file->Seek(start);
            return SetBool(result, false);
        }
    }
    SetBool(result, true);
}

void WriteBytes(Value* result, int32_t argc, Value* args) {
    WriteEach(result, argc, args, [](MemoryFile& file, const Value& v) {
        const void* bytes = v.tag == kTagBytes ? v.AsPointer() : nullptr;
        return file.Write(BytesDataOf(bytes), size_t(BytesLengthOf(bytes)));
    });
}

void ReadBytes(Value* result, int32_t argc, Value* args) {
    auto file = FileArg(argc, args);
    int32_t n = ArgInt(argc, args, 1);
    if (!file || n <= 0 || file->AtEnd()) return;
    int32_t start = file->Position();
    int32_t count = std::min(n, file->Length() - start);
    SetBytes(result, NewBytes(file->Data() + start, size_t(count)));
    file->Seek(int64_t(start) + count);
}

void WriteText(Value* result, int32_t argc, Value* args) {
    WriteEach(result, argc, args, [](MemoryFile& file, const Value& v) {
        if (v.tag == kTagText) {
            const char* text = v.AsText();
            return !text || file.Write(text, std::strlen(text));
        }
        char* text = NumberToText(v);  // null for the types that are skipped
        bool written = !text || file.Write(text, std::strlen(text));
        MemFree(text);
        return written;
    });
}

void ReadLine(Value* result, int32_t argc, Value* args) {
    auto file = FileArg(argc, args);
    if (!file) return;
    std::string line = file->ReadLine();
    SetText(result, NewText(line.data(), line.size()));
}

void SeekFileStart(Value* result, int32_t argc, Value* args) {
    auto file = FileArg(argc, args);
    if (file) file->Seek(0);
    SetBool(result, file != nullptr);
}

void AtFileEnd(Value* result, int32_t argc, Value* args) {
    auto file = FileArg(argc, args);
    if (!file || file->AtEnd()) return SetBool(result, true);
    int next = file->Peek();
    SetBool(result, ArgBool(argc, args, 1) && (next == 0 || next == 0x1A));
}

void GetFileLength(Value* result, int32_t argc, Value* args) {
    auto file = FileArg(argc, args);
    SetInt(result, file ? file->Length() : -1);
}

void DeleteData(Value* result, int32_t argc, Value* args) {
    auto file = FileArg(argc, args);
    if (file) file->Delete(ArgInt(argc, args, 1));
    SetBool(result, file != nullptr);
}

void CloseFile(Value*, int32_t argc, Value* args) { CloseFileNumber(ArgInt(argc, args, 0)); }

}  // namespace rt

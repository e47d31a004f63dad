// The command-calling frame: argument frames, result records, the kernel/library call helpers and the
// thirteen-slot helper table through which the application reaches the runtime.
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace rt {

// Every kernel and library command: (result record, argument count, first argument record).
// The result record arrives zeroed; a command with no result leaves it so.
using CommandFn = void (*)(Value* result, int32_t argc, Value* args);
using ResultRecord = Value;

struct CommandEntry {
    const char* name;
    CommandFn fn;
};

#pragma pack(push, 4)
// The argument count followed by the records in argument order, as the application lays them out.
template <int N>
struct ArgumentFrame {
    int32_t count;
    Value args[N > 0 ? N : 1];
};
#pragma pack(pop)

Value CallKernelCommand(CommandFn fn, int32_t argc, Value* args);
Value CallLibraryCommand(CommandFn fn, int32_t argc, Value* args);

// Slot 12: the miscellaneous operations, by sub-function number.
enum MiscOperation : int32_t {
    kMiscFindFileEntry = 0,
    kMiscCloseFileSearch = 1,
    kMiscArrayCopyOnWrite = 2,
    kMiscSetExitRoutine = 3,
    kMiscReadObjectProperty = 4,
    kMiscWriteObjectProperty = 5,
    kMiscRuntimeInit = 6,
};

// Property value as read or written: the two value words.
struct PropertyValue {
    uint32_t low;
    uint32_t high;
};

// The helper table, in slot order. How hidden arguments travel is ours to choose: they are ordinary ones.
struct HelperTable {
    void (*errorReport)(int32_t number);                                   // 0: never returns
    void* (*callDllCommand)(int32_t index);                                // 1: binds, gives the address
    Value (*callLibraryCommand)(CommandFn fn, int32_t argc, Value* args);  // 2
    Value (*callKernelCommand)(CommandFn fn, int32_t argc, Value* args);   // 3
    PropertyValue (*readProperty)(uint32_t window, uint32_t control, int32_t property, int32_t member);  // 4
    void (*writeProperty)(uint32_t window, uint32_t control, int32_t property, int32_t member, uint32_t low,
                          uint32_t high);                         // 5
    void* (*memAlloc)(int32_t size);                              // 6
    void* (*memRealloc)(void* p, int32_t size);                   // 7
    void (*memFree)(void* p);                                     // 8
    void (*exitProgram)(int32_t code);                            // 9: never returns
    void (*runMessageLoop)();                                     // 10
    void (*loadStartWindow)(uint32_t windowId);                   // 11
    Value (*misc)(int32_t operation, int32_t argc, Value* args);  // 12
};
static_assert(sizeof(HelperTable) == 13 * sizeof(void*), "thirteen slots");

const HelperTable& Helpers();

// Slot 12's operations, also callable directly by the runtime's own code.
Value MiscOperationCall(int32_t operation, int32_t argc, Value* args);

// Binds declared DLL command i lazily and returns its address (fatal error when it cannot be found).
void* ResolveDllCommand(int32_t index);

// The window layer's entries (slots 4, 5, 10, 11); the window layer provides them.
PropertyValue ReadProperty(uint32_t window, uint32_t control, int32_t property, int32_t member);
void WriteProperty(uint32_t window, uint32_t control, int32_t property, int32_t member, uint32_t low, uint32_t high);
void RunMessageLoop();
void LoadStartWindow(uint32_t windowId);

}  // namespace rt

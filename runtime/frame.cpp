// The kernel and library call helpers and the helper table itself.
#include "runtime/frame.h"

#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/program.h"

namespace rt {

Value CallKernelCommand(CommandFn fn, int32_t argc, Value* args) {
    ResultRecord result{0, 0, 0};
    fn(&result, argc, args);
    return result;
}

Value CallLibraryCommand(CommandFn fn, int32_t argc, Value* args) {
    ResultRecord result{0, 0, 0};
    fn(&result, argc, args);
    return result;
}

const HelperTable& Helpers() {
    static const HelperTable table = {
        &ErrorReport,    &ResolveDllCommand, &CallLibraryCommand, &CallKernelCommand, &ReadProperty,
        &WriteProperty,  &MemAlloc,          &MemRealloc,         &MemFree,           &ExitProgram,
        &RunMessageLoop, &LoadStartWindow,   &MiscOperationCall,
    };
    return table;
}

}  // namespace rt

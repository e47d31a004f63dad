// Slot 12 of the helper table: file search, copy-on-write, the exit routine and runtime initialisation.
#include "runtime/args.h"
#include "runtime/file_search.h"
#include "runtime/frame.h"
#include "runtime/memory.h"
#include "runtime/program.h"

namespace rt {

Value MiscOperationCall(int32_t operation, int32_t argc, Value* args) {
    Value result{0, 0, 0};
    switch (operation) {
        case kMiscFindFileEntry: {
            auto* handle = static_cast<void**>(ArgVariable(argc, args, 3));
            SetText(&result,
                    FindFileEntry(ArgText(argc, args, 0), ArgInt(argc, args, 1), ArgBool(argc, args, 2), handle));
            break;
        }
        case kMiscCloseFileSearch: CloseFileSearch(Arg(argc, args, 0).AsPointer()); break;
        case kMiscArrayCopyOnWrite:
            ArrayCopyOnWrite(ArgInt(argc, args, 0), static_cast<void**>(ArgVariable(argc, args, 1)));
            break;
        case kMiscSetExitRoutine: SetExitRoutine(reinterpret_cast<ExitRoutine>(Arg(argc, args, 0).AsPointer())); break;
        case kMiscRuntimeInit: InitRuntime(); break;
        default: break;  // 4 and 5 (library object properties) are not used by this program
    }
    return result;
}

}  // namespace rt

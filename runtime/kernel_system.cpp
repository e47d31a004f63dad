// Kernel commands that need no platform: the run directory and executable name taken at start-up, and the
// registry path split.
#include "runtime/kernel_system.h"

#include "runtime/args.h"
#include "runtime/kernel_commands.h"
#include "runtime/program.h"

namespace rt {

// Registry paths split exactly as the executable's path does.
void SplitRegistryPath(const std::string& path, std::string* subKey, std::string* valueName) {
    SplitExecutablePath(path, subKey, valueName);
}

void GetRunDirectory(Value* result, int32_t, Value*) {
    SetText(result, NewText(RunDirectory().data(), RunDirectory().size()));
}

void GetExeName(Value* result, int32_t, Value*) { SetText(result, NewText(ExeName().data(), ExeName().size())); }

}  // namespace rt

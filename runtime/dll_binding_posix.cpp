// The native build has no DLLs: binding a declared command there is a loud fatal error.
#include "runtime/dll_commands.h"
#include "runtime/errors.h"

namespace rt {

void* BindDllCommand(DllBinding& b) { ErrorWithText("native build cannot bind DLL commands"); }
int64_t DllLoadCount() { return 0; }
void UnloadDllCommands() {}

}  // namespace rt

// The native build has no window layer: reaching it is a loud fatal error.
#include "runtime/errors.h"
#include "runtime/frame.h"

namespace rt {

PropertyValue ReadProperty(uint32_t, uint32_t, int32_t, int32_t) { ErrorWithText("native build has no windows"); }
void WriteProperty(uint32_t, uint32_t, int32_t, int32_t, uint32_t, uint32_t) {
    ErrorWithText("native build has no windows");
}
void RunMessageLoop() {}
void LoadStartWindow(uint32_t) { ErrorWithText("载入启动窗口失败"); }

}  // namespace rt

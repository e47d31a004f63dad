// The application's start and end: the entry the runtime calls, and the main window's creation, close-query and
// destruction handlers (declared with the handler table).
#pragma once

#include <cstdint>

namespace app {

// Runs the program: runtime initialisation, globals, the main window and its message loop. Returns 0 only if
// the message loop ends; normally the process ends inside the destruction handler.
int32_t AppEntry();

}  // namespace app

// The program's entry: the process start hands control to the application's entry.
#include <windows.h>

#include "app/shell/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return app::AppEntry(); }

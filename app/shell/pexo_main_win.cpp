// The program's entry: the process start hands control to the application's entry.
#include <windows.h>

#include "app/shell/startup.h"
#include "runtime/transfer.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    rt::PrepareTransfers();  // before the first request of any kind
    return app::AppEntry();
}

// The entry point. The run's result is the exit code. The DLL search was restricted before anything
// of the program ran, by the runtime's first constructor (src/platform/runtime_win32.cpp).
#include <windows.h>

#include "app/options.h"
#include "app/run_flow.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandTail, int)
{
    BootstrapOptions options;
    return static_cast<int>(RunBootstrapper(commandTail, options));
}

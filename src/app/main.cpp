// The entry point: secure the DLL search first, then run. The run's result is the exit code.
#include <windows.h>

#include "app/options.h"
#include "app/run_flow.h"
#include "platform/system.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandTail, int)
{
    platform::RestrictDllSearchToSystemDirectory();
    BootstrapOptions options;
    return static_cast<int>(RunBootstrapper(commandTail, options));
}

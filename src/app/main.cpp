// The entry point: secure the DLL search first, then run.
#include <windows.h>

#include "app/run_flow.h"
#include "platform/system.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandTail, int)
{
    platform::RestrictDllSearchToSystemDirectory();
    return RunBootstrapper(commandTail);
}

// msi_load_probe: loads msi.dll through the bootstrapper's own platform code, as on a Windows without
// SetDefaultDllDirectories (2000 to 7 without its update), where the bootstrapper can only take the
// current directory out of the DLL search. The bench plants DLLs beside it under the names of msi.dll's
// imports: none may be loaded. Exits with 0 when msi.dll was loaded, 1 when not.
#include <windows.h>

#include "platform/msi_api.h"

int wmain()
{
    SetDllDirectoryW(L"");
    platform::SetInstallerUiLevelNone();  // the first Windows Installer call loads msi.dll
    return GetModuleHandleW(L"msi.dll") != nullptr ? 0 : 1;
}

// The helper's modes, as main.cpp dispatches them; the usage text at the top of main.cpp tells
// what each one prints.
#pragma once

#include <windows.h>

namespace helper {

// drive.cpp: starts the program and answers its windows from the plan file.
int Drive(DWORD timeoutMs, const wchar_t* planPath, int argc, wchar_t** argv);
// drive.cpp: starts the program and reports its exit code and how long it ran.
int Run(DWORD timeoutMs, int argc, wchar_t** argv);
// msi_registry_queries.cpp: Windows Installer's view of the first product related to the upgrade code.
int Product(const wchar_t* upgradeCode);
// msi_registry_queries.cpp: query, create or delete a key of HKEY_CURRENT_USER (32-bit view).
int Key(const wchar_t* op, const wchar_t* subkey);
// selftest.cpp: the icon reading, proven on boxes of the helper's own.
int SelfTest();

}  // namespace helper

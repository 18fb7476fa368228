// How the process keeps DLLs planted beside the executable out, where Windows cannot restrict the
// search by itself. Windows-only; the entry point calls RestrictDllSearchToSystemDirectory (system.h).
#pragma once

#include <cstddef>

namespace platform {

// The system DLLs that Windows' own DLLs load by bare name once the UI, the registry or Windows
// Installer start. Where SetDefaultDllDirectories is missing, a bare name is looked for in the
// executable's folder first; a DLL already loaded by that name is used instead, so these are loaded
// by full path before anything can ask for them.
extern const wchar_t* const kPreloadedSystemDlls[];
extern const size_t kPreloadedSystemDllCount;

// The search as Windows 2000 to 7 without SetDefaultDllDirectories allow: the current directory
// leaves it where SetDllDirectoryW exists, then each of kPreloadedSystemDlls that this Windows has
// is loaded from the system directory, and kept for the life of the process.
void RestrictDllSearchWithoutDefaultDirectories();

}  // namespace platform

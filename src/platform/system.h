// Facts about the running system and what the program asks of it.
#pragma once

#include <cstdint>

namespace platform {

// Called first thing, before the program's constructors: keeps DLLs planted beside the executable (often a download folder) out of the
// process. Where Windows offers it, every later load searches the system directory only; elsewhere
// the current directory leaves the search and the system DLLs that Windows itself loads by bare name
// are loaded from the system directory by full path before anything else can ask for them.
void RestrictDllSearchToSystemDirectory();

// True when the process runs with administrator rights (shell32's IsUserAnAdmin).
bool UserIsAdministrator();

// VerifyVersionInfoW questions; a failed call answers false.
// Is the system Windows major.minor?
bool IsWindowsVersion(uint16_t major, uint16_t minor);
// Is the system Windows major.minor with a service-pack major number below `bound`?
bool IsWindowsServicePackBelow(uint16_t major, uint16_t minor, uint16_t bound);

// The program is 32-bit: under WOW64 it runs on 64-bit Windows.
enum class ProcessArchitecture { X86, X86OnWow64 };
ProcessArchitecture CurrentProcessArchitecture();

uint16_t SystemDefaultUiLanguage();

// Enables the shutdown privilege and asks Windows for a forced restart: ExitWindowsEx from the
// interactive window station, InitiateSystemShutdown from one nobody sees (a service, a deployment
// tool's SYSTEM run in session 0). True when Windows accepted.
bool RestartWindows();

}  // namespace platform

#include <windows.h>

#include "platform/system.h"
#include "platform/win32_handles.h"

namespace platform {
namespace {

constexpr WORD kIsUserAnAdminOrdinal = 680;  // exported by ordinal only on Windows 2000

}  // namespace

bool UserIsAdministrator()
{
    using IsUserAnAdminFunction = BOOL(WINAPI*)();
    const auto isUserAnAdmin =
        ExportOf<IsUserAnAdminFunction>(LoadLibraryW(L"shell32.dll"), MAKEINTRESOURCEA(kIsUserAnAdminOrdinal));
    return isUserAnAdmin != nullptr && isUserAnAdmin() != FALSE;
}

namespace {

// The version record and the conditions that ask for exactly Windows major.minor.
struct VersionQuestion {
    OSVERSIONINFOEXW version;
    DWORD typeMask;
    DWORDLONG conditions;
};

VersionQuestion IsExactly(uint16_t major, uint16_t minor)
{
    VersionQuestion question = {};
    question.version.dwOSVersionInfoSize = sizeof(question.version);
    question.version.dwMajorVersion = major;
    question.version.dwMinorVersion = minor;
    question.typeMask = VER_MAJORVERSION | VER_MINORVERSION;
    question.conditions = VerSetConditionMask(question.conditions, VER_MAJORVERSION, VER_EQUAL);
    question.conditions = VerSetConditionMask(question.conditions, VER_MINORVERSION, VER_EQUAL);
    return question;
}

bool Ask(VersionQuestion& question)
{
    return VerifyVersionInfoW(&question.version, question.typeMask, question.conditions) != FALSE;
}

}  // namespace

bool IsWindowsVersion(uint16_t major, uint16_t minor)
{
    VersionQuestion question = IsExactly(major, minor);
    return Ask(question);
}

bool IsWindowsServicePackBelow(uint16_t major, uint16_t minor, uint16_t bound)
{
    VersionQuestion question = IsExactly(major, minor);
    question.version.wServicePackMajor = bound;
    question.typeMask |= VER_SERVICEPACKMAJOR;
    question.conditions = VerSetConditionMask(question.conditions, VER_SERVICEPACKMAJOR, VER_LESS);
    return Ask(question);
}

ProcessArchitecture CurrentProcessArchitecture()
{
    // Looked up once: absent on Windows 2000 and early XP, where the process cannot be under WOW64.
    enum class Lookup { NotYet, Absent, Present };
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    static Lookup lookup = Lookup::NotYet;
    static IsWow64ProcessFunction isWow64Process = nullptr;
    if (lookup == Lookup::NotYet) {
        const HMODULE kernel32 = GetModuleHandleW(L"kernel32");
        if (kernel32 == nullptr) return ProcessArchitecture::X86;
        isWow64Process = ExportOf<IsWow64ProcessFunction>(kernel32, "IsWow64Process");
        lookup = isWow64Process != nullptr ? Lookup::Present : Lookup::Absent;
    }
    BOOL underWow64 = FALSE;
    if (lookup == Lookup::Present && isWow64Process(GetCurrentProcess(), &underWow64) && underWow64) {
        return ProcessArchitecture::X86OnWow64;
    }
    return ProcessArchitecture::X86;
}

uint16_t SystemDefaultUiLanguage() { return GetSystemDefaultUILanguage(); }

namespace {

// A service, or a deployment tool's run as SYSTEM in session 0, has a window station nobody sees.
// Unknown counts as seen: the restart an interactive run has always made.
bool WindowStationIsVisible()
{
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    if (!GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags, &needed)) return true;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

// ExitWindowsEx ends only the caller's logon session: outside the interactive one it may succeed
// without restarting anything. InitiateSystemShutdown restarts the machine from any session, at once
// (no time-out, no dialog) and without asking programs. Its Ex form, which carries the reason, came
// with Windows XP; both are looked up at run time.
bool RestartFromHiddenSession()
{
    const HMODULE advapi32 = GetModuleHandleW(L"advapi32.dll");  // an import of the exe: loaded
    constexpr DWORD kNoTimeout = 0;
    const auto initiateEx = ExportOf<decltype(&InitiateSystemShutdownExW)>(advapi32, "InitiateSystemShutdownExW");
    if (initiateEx != nullptr) {
        return initiateEx(nullptr, nullptr, kNoTimeout, TRUE, TRUE, SHTDN_REASON_MAJOR_APPLICATION) != FALSE;
    }
    const auto initiate = ExportOf<decltype(&InitiateSystemShutdownW)>(advapi32, "InitiateSystemShutdownW");
    return initiate != nullptr && initiate(nullptr, nullptr, kNoTimeout, TRUE, TRUE) != FALSE;
}

}  // namespace

bool RestartWindows()
{
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Receive())) return false;

    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    // AdjustTokenPrivileges succeeds with ERROR_NOT_ALL_ASSIGNED when the account lacks the privilege.
    if (GetLastError() != ERROR_SUCCESS) return false;

    if (!WindowStationIsVisible()) return RestartFromHiddenSession();
    return ExitWindowsEx(EWX_REBOOT | EWX_FORCE, SHTDN_REASON_MAJOR_APPLICATION) != FALSE;
}

}  // namespace platform

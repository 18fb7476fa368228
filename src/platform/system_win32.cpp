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

    return ExitWindowsEx(EWX_REBOOT | EWX_FORCE, SHTDN_REASON_MAJOR_APPLICATION) != FALSE;
}

}  // namespace platform

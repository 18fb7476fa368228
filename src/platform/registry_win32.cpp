#include <windows.h>

#include "platform/registry.h"
#include "platform/win32_handles.h"

namespace platform {
namespace {

static_assert(kKeyWow64View32 == KEY_WOW64_32KEY, "the 32-bit view's flag");

REGSAM ReadAccess() { return In32BitView(KEY_READ, CurrentProcessArchitecture()); }
REGSAM WriteAccess() { return In32BitView(KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, CurrentProcessArchitecture()); }

// RegDeleteKeyExW where the process already has the modern registry API set loaded; RegDeleteKeyW
// of advapi32 everywhere else (Windows 2000 and XP lack the former).
LONG DeleteSubkey(HKEY parent, const wchar_t* name)
{
    using RegDeleteKeyExFunction = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
    using RegDeleteKeyFunction = LONG(WINAPI*)(HKEY, LPCWSTR);
    const auto deleteKeyEx = ExportOf<RegDeleteKeyExFunction>(
        GetModuleHandleW(L"API-MS-Win-Core-LocalRegistry-L1-1-0.dll"), "RegDeleteKeyExW");
    if (deleteKeyEx != nullptr) return deleteKeyEx(parent, name, 0, 0);
    const auto deleteKey = ExportOf<RegDeleteKeyFunction>(LoadLibraryW(L"advapi32.dll"), "RegDeleteKeyW");
    if (deleteKey == nullptr) return static_cast<LONG>(LastErrorOr(ERROR_PROC_NOT_FOUND));
    return deleteKey(parent, name);
}

}  // namespace

uint32_t CreateUserKey(const wchar_t* path)
{
    RegistryKey key;
    DWORD disposition = 0;
    return static_cast<uint32_t>(
        RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, WriteAccess(), nullptr, key.Receive(), &disposition));
}

bool UserKeyExists(const wchar_t* path)
{
    RegistryKey key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, ReadAccess(), key.Receive()) == ERROR_SUCCESS;
}

uint32_t DeleteUserSubkey(const wchar_t* parent, const wchar_t* name)
{
    RegistryKey key;
    const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, parent, 0, WriteAccess(), key.Receive());
    if (opened != ERROR_SUCCESS) return static_cast<uint32_t>(opened);
    return static_cast<uint32_t>(DeleteSubkey(key.Get(), name));
}

}  // namespace platform

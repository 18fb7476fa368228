#include <windows.h>

#include <string>

#include "platform/dll_search_win32.h"
#include "platform/system.h"
#include "platform/win32_handles.h"

namespace platform {

// The stack guard's generators load two of them by bare name: cryptbase.dll, to which Windows 7's
// advapi32 forwards RtlGenRandom, and rsaenh.dll, the CryptoAPI provider that Windows 2000 draws from,
// named by the registry.
const wchar_t* const kPreloadedSystemDlls[] = {
    L"uxtheme.dll", L"userenv.dll", L"setupapi.dll", L"apphelp.dll", L"propsys.dll", L"dwmapi.dll",
    L"cryptbase.dll", L"oleacc.dll", L"clbcatq.dll", L"ntmarta.dll", L"version.dll", L"shfolder.dll",
    L"rsaenh.dll",
};
const size_t kPreloadedSystemDllCount = sizeof(kPreloadedSystemDlls) / sizeof(kPreloadedSystemDlls[0]);

namespace {

constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

template <typename Function>
Function Kernel32Export(const char* name)
{
    return ExportOf<Function>(GetModuleHandleW(L"kernel32.dll"), name);
}

bool SearchSystemDirectoryOnly()
{
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefault = Kernel32Export<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
    return setDefault != nullptr && setDefault(kLoadLibrarySearchSystem32) != FALSE;
}

void PreloadSystemDlls()
{
    wchar_t directory[MAX_PATH];
    const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    for (size_t i = 0; i < kPreloadedSystemDllCount; ++i) {
        const std::wstring path = std::wstring(directory, length) + L"\\" + kPreloadedSystemDlls[i];
        // Only what this Windows has; each one's own imports are looked for beside it.
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
}

}  // namespace

void RestrictDllSearchWithoutDefaultDirectories()
{
    // Windows 2000 lacks SetDllDirectoryW too; there the preloading alone stands.
    using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);
    const auto setDirectory = Kernel32Export<SetDllDirectoryFunction>("SetDllDirectoryW");
    if (setDirectory != nullptr) setDirectory(L"");
    PreloadSystemDlls();
}

void RestrictDllSearchToSystemDirectory()
{
    if (!SearchSystemDirectoryOnly()) RestrictDllSearchWithoutDefaultDirectories();
}

}  // namespace platform

// dll_search_probe: keeps planted DLLs out as the bootstrapper does on a Windows without
// SetDefaultDllDirectories (2000 to 7 without its update), with the product's own platform code: the
// current directory leaves the search, the system DLLs of the preload list are loaded by full path,
// and msi.dll is loaded as the bootstrapper loads it. Then it asks for each listed DLL that this
// Windows has by its bare name, as Windows' own DLLs do. The bench plants DLLs beside the probe under
// those names and under msi.dll's imports: none may be loaded.
//
//   dll_search_probe          prints {"msi": <loaded>, "asked": [<names>]}; exits 0 when msi.dll loaded
//   dll_search_probe --list   prints the preload list, one name a line
//   dll_search_probe --bare   only the bare-name requests, unprotected: the bench's proof that it sees a
//                             planted DLL being loaded
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/dll_search_win32.h"
#include "platform/msi_api.h"

namespace {

bool InSystemDirectory(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    const std::wstring file = std::wstring(path, length) + L"\\" + name;
    return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Each listed DLL this Windows has, asked for by bare name; the names as a JSON list.
std::string AskByBareName()
{
    std::string asked;
    for (size_t i = 0; i < platform::kPreloadedSystemDllCount; ++i) {
        const wchar_t* name = platform::kPreloadedSystemDlls[i];
        if (!InSystemDirectory(name)) continue;
        LoadLibraryW(name);
        char utf8[64];
        WideCharToMultiByte(CP_UTF8, 0, name, -1, utf8, sizeof utf8, nullptr, nullptr);
        asked += std::string(asked.empty() ? "\"" : ", \"") + utf8 + "\"";
    }
    return "[" + asked + "]";
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"--list") {
        for (size_t i = 0; i < platform::kPreloadedSystemDllCount; ++i) std::printf("%ls\n", platform::kPreloadedSystemDlls[i]);
        return 0;
    }
    if (mode == L"--bare") {
        std::printf("{\"asked\": %s}\n", AskByBareName().c_str());
        return 0;
    }
    platform::RestrictDllSearchWithoutDefaultDirectories();
    platform::SetInstallerUiLevelNone();  // the first Windows Installer call loads msi.dll
    const bool msiLoaded = GetModuleHandleW(L"msi.dll") != nullptr;
    std::printf("{\"msi\": %s, \"asked\": %s}\n", msiLoaded ? "true" : "false", AskByBareName().c_str());
    return msiLoaded ? 0 : 1;
}

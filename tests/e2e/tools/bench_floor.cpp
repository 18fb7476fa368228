// bench_floor <package>: the least work any correct bootstrapper must do for a silent fresh install,
// the floor scripts/bench measures the bootstrapper against. It loads msi.dll from the system
// directory, opens the package once for its codes and version, looks for related products, names a
// verbose log in TMP, starts msiexec from the system directory and waits; its exit code is msiexec's.
// A 32-bit program, as the bootstrapper, so both meet the same WoW64 costs.
#define _WIN32_MSI 300
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>

namespace {

std::wstring SystemDirectory()
{
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    return std::wstring(path, length < MAX_PATH ? length : 0);
}

struct Msi {
    decltype(&MsiSetInternalUI) setInternalUi;
    decltype(&MsiOpenPackageExW) openPackageEx;
    decltype(&MsiGetPropertyW) getProperty;
    decltype(&MsiEnumRelatedProductsW) enumRelatedProducts;
    decltype(&MsiCloseHandle) closeHandle;
};

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::wstring Property(const Msi& msi, MSIHANDLE package, const wchar_t* name)
{
    wchar_t value[256];
    DWORD length = 256;
    return msi.getProperty(package, name, value, &length) == ERROR_SUCCESS ? std::wstring(value, length) : L"";
}

std::wstring LogPath(const std::wstring& packageName)
{
    wchar_t temp[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"TMP", temp, MAX_PATH);
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[32];
    wsprintfW(stamp, L"_%04u-%02u-%02u-%02u-%02u-%02u.log", now.wYear, now.wMonth, now.wDay, now.wHour,
              now.wMinute, now.wSecond);
    return std::wstring(temp, length < MAX_PATH ? length : 0) + L"\\" + packageName + stamp;
}

DWORD RunAndWait(std::wstring commandLine)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &child)) {
        return GetLastError();
    }
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(child.hProcess, &exitCode);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return exitCode;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) return ERROR_BAD_ARGUMENTS;
    const std::wstring package = argv[1];
    const std::wstring system = SystemDirectory();

    const HMODULE module = LoadLibraryExW((system + L"\\msi.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) return static_cast<int>(GetLastError());
    Msi msi;
    Resolve(module, "MsiSetInternalUI", msi.setInternalUi);
    Resolve(module, "MsiOpenPackageExW", msi.openPackageEx);
    Resolve(module, "MsiGetPropertyW", msi.getProperty);
    Resolve(module, "MsiEnumRelatedProductsW", msi.enumRelatedProducts);
    Resolve(module, "MsiCloseHandle", msi.closeHandle);
    msi.setInternalUi(INSTALLUILEVEL_NONE, nullptr);

    MSIHANDLE opened = 0;
    const UINT status = msi.openPackageEx(package.c_str(), MSIOPENPACKAGEFLAGS_IGNOREMACHINESTATE, &opened);
    if (status != ERROR_SUCCESS) return static_cast<int>(status);
    Property(msi, opened, L"ProductCode");
    const std::wstring upgradeCode = Property(msi, opened, L"UpgradeCode");
    Property(msi, opened, L"ProductVersion");
    msi.closeHandle(opened);

    wchar_t related[39] = {};
    msi.enumRelatedProducts(upgradeCode.c_str(), 0, 0, related);

    const std::wstring packageName = package.substr(package.find_last_of(L'\\') + 1);
    const std::wstring commandLine = L"\"" + system + L"\\msiexec.exe\" /i \"" + package + L"\" /Lv! \"" +
                                     LogPath(packageName) + L"\" REBOOT=R /qb ADDNPZAREL=1";
    return static_cast<int>(RunAndWait(commandLine));
}

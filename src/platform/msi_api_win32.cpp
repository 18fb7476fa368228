// msi.dll is not among the DLLs Windows protects from search-order planting, so it is not imported:
// it is loaded at first use from the system directory by full path, and each function is typed from
// its SDK declaration so that the calling convention is right by construction.
// The declarations of Windows Installer 3.0 are wanted for their types only: every function is
// resolved at run time, and an older Windows Installer simply lacks some of them.
#define _WIN32_MSI 300
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <objbase.h>

#include "platform/msi_api.h"
#include "platform/win32_handles.h"

namespace platform {
namespace {

struct MsiFunctions {
    decltype(&MsiSetInternalUI) setInternalUi = nullptr;
    decltype(&MsiOpenPackageExW) openPackageEx = nullptr;
    decltype(&MsiGetPropertyW) getProperty = nullptr;
    decltype(&MsiGetProductInfoW) getProductInfo = nullptr;
    decltype(&MsiEnumRelatedProductsW) enumRelatedProducts = nullptr;
    decltype(&MsiQueryProductStateW) queryProductState = nullptr;
    decltype(&MsiQueryFeatureStateW) queryFeatureState = nullptr;
    decltype(&MsiSourceListClearAllW) sourceListClearAll = nullptr;
    decltype(&MsiSourceListSetInfoW) sourceListSetInfo = nullptr;
    decltype(&MsiCloseHandle) closeHandle = nullptr;
    DWORD loadError = ERROR_SUCCESS;
};

// A function an older Windows Installer lacks stays null; only the calls that need it fail.
template <typename Function>
void Resolve(HMODULE module, const char* name, Function& function)
{
    function = ExportOf<Function>(module, name);
}

HMODULE LoadMsiFromSystemDirectory(DWORD& error)
{
    wchar_t path[MAX_PATH + 16];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        error = ERROR_PATH_NOT_FOUND;
        return nullptr;
    }
    lstrcpyW(path + length, L"\\msi.dll");
    // msi.dll's own imports are looked for beside msi.dll, never beside the executable: on a Windows
    // without SetDefaultDllDirectories a plain load would search the executable's folder first.
    const HMODULE module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) error = LastErrorOr(ERROR_MOD_NOT_FOUND);
    return module;
}

// Loaded once and kept for the life of the process.
const MsiFunctions& Msi()
{
    static MsiFunctions functions;
    static bool loaded = false;
    if (loaded) return functions;
    loaded = true;

    const HMODULE module = LoadMsiFromSystemDirectory(functions.loadError);
    if (module == nullptr) return functions;
    Resolve(module, "MsiSetInternalUI", functions.setInternalUi);
    Resolve(module, "MsiOpenPackageExW", functions.openPackageEx);
    Resolve(module, "MsiGetPropertyW", functions.getProperty);
    Resolve(module, "MsiGetProductInfoW", functions.getProductInfo);
    Resolve(module, "MsiEnumRelatedProductsW", functions.enumRelatedProducts);
    Resolve(module, "MsiQueryProductStateW", functions.queryProductState);
    Resolve(module, "MsiQueryFeatureStateW", functions.queryFeatureState);
    Resolve(module, "MsiSourceListClearAllW", functions.sourceListClearAll);
    Resolve(module, "MsiSourceListSetInfoW", functions.sourceListSetInfo);
    Resolve(module, "MsiCloseHandle", functions.closeHandle);
    return functions;
}

// Why a function is missing: msi.dll could not be loaded, or this version lacks the function.
uint32_t Unavailable() { return Msi().loadError != ERROR_SUCCESS ? Msi().loadError : ERROR_PROC_NOT_FOUND; }

}  // namespace

// ole32 is imported: every Windows has it, and Windows protects it from planting (a known DLL).
uint32_t EnterComApartment()
{
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    return SUCCEEDED(result) ? ERROR_SUCCESS : static_cast<uint32_t>(result);
}

void LeaveComApartment() { CoUninitialize(); }

uint32_t SetInstallerUiLevelNone()
{
    if (Msi().setInternalUi == nullptr) return Unavailable();
    const INSTALLUILEVEL previous = Msi().setInternalUi(static_cast<INSTALLUILEVEL>(kInstallUiLevelNone), nullptr);
    return previous == INSTALLUILEVEL_NOCHANGE ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
}

uint32_t OpenMsiPackage(const wchar_t* path, uint32_t options, MsiHandleValue& handle)
{
    if (Msi().openPackageEx == nullptr) return Unavailable();
    MSIHANDLE opened = 0;
    const UINT result = Msi().openPackageEx(path, options, &opened);
    handle = opened;
    return result;
}

uint32_t GetMsiProperty(MsiHandleValue package, const wchar_t* name, wchar_t* buffer, uint32_t& length)
{
    if (Msi().getProperty == nullptr) return Unavailable();
    DWORD size = length;
    const UINT result = Msi().getProperty(package, name, buffer, &size);
    length = size;
    return result;
}

uint32_t GetMsiProductInfo(const wchar_t* productCode, const wchar_t* name, wchar_t* buffer, uint32_t& length)
{
    if (Msi().getProductInfo == nullptr) return Unavailable();
    DWORD size = length;
    const UINT result = Msi().getProductInfo(productCode, name, buffer, &size);
    length = size;
    return result;
}

uint32_t EnumRelatedProduct(const wchar_t* upgradeCode, uint32_t index, wchar_t* buffer)
{
    if (Msi().enumRelatedProducts == nullptr) return Unavailable();
    return Msi().enumRelatedProducts(upgradeCode, 0, index, buffer);
}

int QueryProductState(const wchar_t* productCode)
{
    if (Msi().queryProductState == nullptr) return kInstallStateUnknown;
    return Msi().queryProductState(productCode);
}

int QueryFeatureState(const wchar_t* productCode, const wchar_t* feature)
{
    if (Msi().queryFeatureState == nullptr) return kInstallStateUnknown;
    return Msi().queryFeatureState(productCode, feature);
}

uint32_t ClearSourceList(const wchar_t* productCode)
{
    if (Msi().sourceListClearAll == nullptr) return Unavailable();
    return Msi().sourceListClearAll(productCode, nullptr, 0);
}

uint32_t SetSourceListPackageName(const wchar_t* productCode, const wchar_t* packageName)
{
    if (Msi().sourceListSetInfo == nullptr) return Unavailable();
    return Msi().sourceListSetInfo(productCode, nullptr, static_cast<MSIINSTALLCONTEXT>(kInstallContextMachine),
                                   MSICODE_PRODUCT, L"PackageName", packageName);
}

uint32_t CloseMsiHandle(MsiHandleValue handle)
{
    if (Msi().closeHandle == nullptr) return Unavailable();
    return Msi().closeHandle(handle);
}

}  // namespace platform

// The Windows Installer functions the program uses, loaded from the system directory at first use.
// Each returns the Windows Installer result code unchanged; when msi.dll or one of its functions cannot
// be loaded, the calls return the loader's Windows error.
#pragma once

#include <cstdint>

namespace platform {

using MsiHandleValue = uint32_t;  // 0 means "no handle"

constexpr uint32_t kInstallUiLevelNone = 2;
constexpr uint32_t kOpenPackageIgnoreMachineState = 1;
constexpr int kInstallStateAbsent = 2;
constexpr int kInstallStateDefault = 5;
constexpr int kInstallStateUnknown = -1;
constexpr uint32_t kInstallContextMachine = 4;
constexpr uint32_t kProductCodeChars = 39;  // a braced GUID and its NUL

// COM on the calling thread, apartment-threaded: Windows Installer expects it there before a package is
// opened. 0 when COM is initialised for the thread (also when it already was), and LeaveComApartment
// must then follow on the same thread; otherwise the HRESULT that refused it, and nothing to leave.
uint32_t EnterComApartment();
void LeaveComApartment();

// Switches Windows Installer's own UI off for the calls of this process. Returns 0, or the error of
// loading msi.dll, or ERROR_INVALID_PARAMETER when Windows Installer refused the level.
uint32_t SetInstallerUiLevelNone();
uint32_t OpenMsiPackage(const wchar_t* path, uint32_t options, MsiHandleValue& handle);
// `length` is in characters: in, the buffer's size; out, the value's length without its NUL.
uint32_t GetMsiProperty(MsiHandleValue package, const wchar_t* name, wchar_t* buffer, uint32_t& length);
// `buffer` may be null for a size probe.
uint32_t GetMsiProductInfo(const wchar_t* productCode, const wchar_t* name, wchar_t* buffer, uint32_t& length);
// `buffer` holds kProductCodeChars characters.
uint32_t EnumRelatedProduct(const wchar_t* upgradeCode, uint32_t index, wchar_t* buffer);
int QueryProductState(const wchar_t* productCode);
int QueryFeatureState(const wchar_t* productCode, const wchar_t* feature);
uint32_t ClearSourceList(const wchar_t* productCode);
uint32_t SetSourceListPackageName(const wchar_t* productCode, const wchar_t* packageName);
uint32_t CloseMsiHandle(MsiHandleValue handle);

}  // namespace platform

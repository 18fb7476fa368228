// Finding the plug-in package beside the executable or one directory below it, and reading what the
// installation needs from it.
#pragma once

#include <cstdint>
#include <string>

extern const wchar_t kAnyPackageMask[];     // "*.msi"
extern const wchar_t kPlugInPackageMask[];  // "zarelcom*.msi"

// The executable's folder, with its trailing backslash: where the packages and the distributions lie.
std::wstring ExecutableDirectory();

// The first entry matching `mask` beside the executable, else in the first subdirectory (one level,
// names beginning with "." skipped, listing order) that holds a match. Returns 0 with its full path
// in `path`, or 232 with `path` unchanged.
uint32_t FindPackageFile(const std::wstring& mask, std::wstring& path);

// "*x64*" on 64-bit Windows, "*win32*" on 32-bit Windows.
std::wstring GetArchitectureMask();

// "*rus*" when the system UI language is Russian (Russia), else "*eng*".
std::wstring GetLanguageMask();

// With `related`, the product code of the first installed product sharing the package's
// UpgradeCode; without, the package's own ProductCode. Shows nothing.
uint32_t ReadPlugInPackageCode(std::wstring& code, bool related);

// Reads `property` of the package found at `path`, or 232 when `path` is empty (nothing was found).
// Each failure shows its ownerless error box (135, 133, 134) unless `silent`.
uint32_t ReadFoundPackageProperty(const std::wstring& path, const wchar_t* property, bool silent, std::wstring& value);

// The ProductName of the package for the system's language; error boxes unless `silent`.
uint32_t ReadPackageProductName(std::wstring& name, bool silent, const std::wstring& mask);

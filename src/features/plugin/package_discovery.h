// Finding the plug-in package beside the executable or one directory below it, and reading what the
// installation needs from it.
#pragma once

#include <cstdint>
#include <string>

// The first file (never a folder) matching `mask` beside the executable, else in the first
// subdirectory (one level, names beginning with "." skipped, listing order) that holds one. Returns 0
// with its full path in `path`; 232 when nothing matches; or the error of a search that failed (the
// executable's path, its folder or a subfolder that cannot be read; a path over the limit), which
// must not pass for "no package". `path` is unchanged unless 0 is returned.
uint32_t FindPackageFile(const std::wstring& mask, std::wstring& path);

// "*x64*" on 64-bit Windows, "*win32*" on 32-bit Windows.
std::wstring GetArchitectureMask();

// "*rus*" when the system UI language is Russian (Russia), else "*eng*".
std::wstring GetLanguageMask();

// The plug-in package of this machine's architecture: "zarelcom" + architecture mask + ".msi".
std::wstring PlugInPackageMask();

// What a run reads from its plug-in package, all in the package's one opening.
struct PlugInPackage {
    std::wstring path;
    std::wstring productCode;
    std::wstring upgradeCode;
    std::wstring productVersion;  // as the package states it: it begins with a number
    std::wstring productName;
};

// Opens the package at `path`, reads its properties into `package` and closes it again. Returns 0; or,
// after an error box unless `silent` (151 for the opening and the codes; an ownerless 134 for the
// version and the name), the error of the opening or of a read, or 1620 when the package is unusable:
// its ProductCode or UpgradeCode is empty (the run could neither install it nor find what it
// replaces), or its ProductVersion does not begin with a number (no version at all).
uint32_t ReadPlugInPackage(bool silent, const std::wstring& path, PlugInPackage& package);

// The ProductName the update question shows: that of the package for the system's language (the
// language mask followed by "zarelcom*.msi") where there is one, else the plug-in package's own.
// Failures show an ownerless error box (135, 133, 134) unless `silent`, and return their code.
uint32_t ReadQuestionProductName(bool silent, const PlugInPackage& package, std::wstring& name);

// Finding the plug-in package beside the executable or one directory below it, and reading what the
// installation needs from it.
#pragma once

#include <cstdint>
#include <string>

// The first file (never a folder) matching `mask` beside the executable, else in the first
// subdirectory (one level, names beginning with "." skipped, listing order) that holds one. Returns 0
// with its full path in `path`, or 232 with `path` unchanged.
uint32_t FindPackageFile(const std::wstring& mask, std::wstring& path);

// "*x64*" on 64-bit Windows, "*win32*" on 32-bit Windows.
std::wstring GetArchitectureMask();

// "*rus*" when the system UI language is Russian (Russia), else "*eng*".
std::wstring GetLanguageMask();

// The plug-in package of this machine's architecture: "zarelcom" + architecture mask + ".msi".
std::wstring PlugInPackageMask();

// One property as read from a package: its text, and the status of the read.
struct PackageProperty {
    std::wstring value;
    uint32_t status = 0;
};

// What a run reads from its plug-in package, all in the package's one opening. A failed read is
// kept with its status and reported where the run needs that property.
struct PlugInPackage {
    std::wstring path;
    PackageProperty productCode;
    PackageProperty upgradeCode;
    PackageProperty productVersion;
    PackageProperty productName;
};

// Opens the package at `path`, reads its properties into `package` and closes it again. Returns 0,
// or the error of the opening (then nothing was read). Shows nothing.
uint32_t ReadPlugInPackage(const std::wstring& path, PlugInPackage& package);

// The ProductName the update question shows: that of the package for the system's language (the
// language mask followed by "zarelcom*.msi") where there is one, else the plug-in package's own.
// Failures show an ownerless error box (133, 134) unless `silent`, and return their code.
uint32_t ReadQuestionProductName(bool silent, const PlugInPackage& package, std::wstring& name);

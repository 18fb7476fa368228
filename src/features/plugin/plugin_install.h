// Installing, upgrading or reinstalling the plug-in package.
#pragma once

#include <cstdint>
#include <string>

#include "features/plugin/msiexec_run.h"

// Installs the run's one plug-in package: the first file "zarelcom" + architecture mask + ".msi"
// (FindPackageFile), from which its codes, its version and msiexec's package all come. The file is
// held from the moment it is found until msiexec has ended, so what msiexec installs is what was
// read and compared. Every failure is shown by the step that found it unless `silent`.
InstallResult InstallPlugInPackage(bool silent, bool reinstall, const std::wstring& extraArguments);

// The property string handed to msiexec for one case. Each fragment goes in front of what was
// composed so far, so the caller's extra arguments always stand last.
struct InstalledProductFacts {
    bool installed;           // the related product's state is INSTALLSTATE_DEFAULT
    bool sameProductCode;     // the package's ProductCode is the installed one
    bool featureAbsent;       // the installed product lacks the plug-in feature
};
std::wstring ComposeInstallArguments(const InstalledProductFacts& facts, const std::wstring& extraArguments);

// Installing, upgrading or reinstalling the plug-in package.
#pragma once

#include <cstdint>
#include <string>

#include "features/plugin/msiexec_run.h"

// Installs the run's one plug-in package: the first file "zarelcom" + architecture mask + ".msi"
// (FindPackageFile), from which its codes, its version and msiexec's package all come.
// 0: installed, updated, or nothing to do (a restart may be requested); 1602: the user declined to
// reinstall the same version, or declined the update (then `updateDeclined` is set); any other code:
// the step that failed, already shown by that step unless `silent` (232 when there is no package).
// `logPath` receives the msiexec log's path once it is named.
InstallResult InstallPlugInPackage(bool silent, bool reinstall, const std::wstring& extraArguments,
                                   std::wstring& logPath);

// The property string handed to msiexec for one case. Each fragment goes in front of what was
// composed so far, so the caller's extra arguments always stand last.
struct InstalledProductFacts {
    bool installed;           // the related product's state is INSTALLSTATE_DEFAULT
    bool sameProductCode;     // the package's ProductCode is the installed one
    bool featureAbsent;       // the installed product lacks the plug-in feature
};
std::wstring ComposeInstallArguments(const InstalledProductFacts& facts, const std::wstring& extraArguments);

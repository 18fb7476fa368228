// The codes that travel through the program and end as the process exit code, which deployment
// scripts read. A value never changes meaning once shipped.
//
// One number space: a step's result is 0 or a code passed up unchanged (a failed Windows call's
// error, a Windows Installer status, a child's exit code), and the run flow's own refusals are small
// numbers of the bootstrapper's own. Both end as the exit code as they stand.
#pragma once

#include <cstdint>

// Windows and Windows Installer codes the program produces or looks at.
constexpr uint32_t kSuccess = 0;
constexpr uint32_t kFileNotFound = 2;                   // also a registry key that is not there
constexpr uint32_t kNoMoreFiles = 18;                   // a directory listing came to its end
constexpr uint32_t kFileExists = 80;
constexpr uint32_t kBadPathName = 161;
constexpr uint32_t kAlreadyExists = 183;
constexpr uint32_t kEnvironmentVariableNotFound = 203;
constexpr uint32_t kNoPackageFound = 232;               // no file matched a package mask
constexpr uint32_t kMoreData = 234;
constexpr uint32_t kNoMoreItems = 259;                  // e.g. no related product is installed
constexpr uint32_t kInstallUserExit = 1602;             // the user declined or cancelled
constexpr uint32_t kInstallAlreadyRunning = 1618;       // another installation is in progress
constexpr uint32_t kInvalidPackage = 1620;              // ERROR_INSTALL_PACKAGE_INVALID
constexpr uint32_t kInstallLogFailure = 1622;           // the log could not be created
constexpr uint32_t kRebootInitiated = 1641;             // Windows is already restarting
constexpr uint32_t kRebootRequired = 3010;
constexpr uint32_t kRestartRequired = 3011;

// TMP cannot hold a log: unset, or empty, relative or holding a double quote. Every such TMP is
// reported as an unset one is.
constexpr uint32_t kTemporaryDirectoryUnusable = kEnvironmentVariableNotFound;

// A distribution's Setup.exe ends with these besides 0 and 1602 when it needs nothing more of the
// run; what else they mean is the distribution's business.
constexpr uint32_t kDistributionSetupFinished3 = 3;
constexpr uint32_t kDistributionSetupFinished4 = 4;

// The bootstrapper's own exit codes.
//
// Exit code 1 has three meanings, one for each step that ends a run with it, as scripts have long
// seen them: not an administrator, the update question answered No, and an installed product whose
// version text could not even be sized. The box the user saw tells them apart; a silent run can
// not, and changing any of them would break the scripts that test for 1.
constexpr uint32_t kExitSuccess = 0;
constexpr uint32_t kExitNotAdministrator = 1;
constexpr uint32_t kExitUpdateDeclined = 1;
constexpr uint32_t kInstalledVersionUnknown = 1;
constexpr uint32_t kExitWindows2000NeedsSp4 = 3;
constexpr uint32_t kExitWindowsXpNeedsSp2 = 4;
constexpr uint32_t kExitWindows2003NeedsSp1 = 5;
constexpr uint32_t kExitRestartFailed = 7;              // also a marker that could not be removed
// Success, and a restart is due that this run could not do or record: -norestart held back a
// restart the marker could not keep, or the restart question could not be shown.
constexpr uint32_t kExitRestartHeldBack = kRebootRequired;

// Result codes that travel through the program, and the process exit codes deployment scripts read.
// A value never changes meaning once shipped.
#pragma once

#include <cstdint>

// Windows and Windows Installer codes the program produces or looks at.
constexpr uint32_t kSuccess = 0;
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kEnvironmentVariableNotFound = 203;  // also a TMP that cannot hold a log
constexpr uint32_t kNoPackageFound = 232;      // no file matched a package mask
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kInstallUserExit = 1602;    // the user declined or cancelled
constexpr uint32_t kInstallFailure = 1603;
constexpr uint32_t kRebootInitiated = 1641;
constexpr uint32_t kRebootRequired = 3010;
constexpr uint32_t kRestartRequired = 3011;

// Process exit codes of the program's own.
constexpr int kExitSuccess = 0;
constexpr int kExitNotAdministrator = 1;
constexpr int kExitUpdateDeclined = 1;
constexpr int kExitWindows2000NeedsSp4 = 3;
constexpr int kExitWindowsXpNeedsSp2 = 4;
constexpr int kExitWindows2003NeedsSp1 = 5;
constexpr int kExitRestartFailed = 7;
constexpr int kExitRestartRequired = 3010;  // a restart is due that nothing could record

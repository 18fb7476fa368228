// Installing a CSP distribution through its own setup program.
#pragma once

#include <cstdint>
#include <string>

// The distribution kinds: each names its folder beside the executable and its log.
extern const wchar_t kCspKind[];   // "csp"
extern const wchar_t kUcspKind[];  // "ucsp"

// Runs "<executable's folder>\<kind>\Setup.exe" with the installer options `extraArgs` and waits for
// it. Returns 0 when the run may go on (exit codes 0, 3, 4 and 1602 of a setup program that ran);
// otherwise the code the run ends with, after an error box unless `silent`: the setup program's exit
// code, the Windows error of a start, wait or path read that failed, the TMP error (203), or 1622
// when its log could not be created. A log the setup program never wrote is removed.
uint32_t InstallCspPackage(bool silent, bool reinstall, const std::wstring& kind, const std::wstring& extraArgs);

// The setup program's arguments after its path: -args with the installer options (a verbose log
// and the basic UI unless the options bring their own), -noreboot, then -silent and -reinstall.
std::wstring ComposeSetupArguments(bool silent, bool reinstall, const std::wstring& logPath, std::wstring extraArgs);

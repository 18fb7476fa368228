// Running msiexec for the plug-in package, and naming the verbose logs of child installations.
#pragma once

#include <cstdint>
#include <string>

// Runs msiexec for the package found by `packageMask` with `arguments` (which begin with a blank),
// writing a verbose log into TMP unless the arguments bring their own /l or /L. `logPath` receives
// the log's path once it is named. The restart codes 3010, 3011 and 1641 set the restart marker and
// become 0; every other exit code, and a start failure's Windows error, is returned unchanged.
uint32_t RunPackageInstall(bool silent, std::wstring& logPath, const std::wstring& installedCode,
                           const std::wstring& packageMask, std::wstring arguments);

// TMP + "\" + baseName + "_" + time stamp + ".log". Returns 0, or the Windows error of the TMP
// read after an error box unless `silent`; `logPath` is then unchanged.
uint32_t MakeLogPath(bool silent, std::wstring& logPath, const std::wstring& baseName);

// The local time as "YYYY-MM-DD-hh-mm-ss", also written as one line to standard output.
std::wstring MakeTimestamp();

// Deletes the installed product's SourceHash file on Windows 5.1 and 5.2.
void RemoveSourceHash(const std::wstring& productCode);

// Running msiexec for the plug-in package, and naming the verbose logs of child installations.
#pragma once

#include <cstdint>
#include <string>

// How an installation ended: its code, and whether it asked for a restart (msiexec's 3010, 3011 and
// 1641, which count as success).
struct InstallResult {
    uint32_t code;
    bool restartRequested;
};

// Runs msiexec for the package at `packagePath` with `arguments` (which begin with a blank),
// writing a verbose log into TMP unless the arguments bring their own /l or /L. `logPath` receives
// the log's path once it is named. The restart codes become 0 with a restart requested; every other
// exit code, and a start failure's Windows error, is returned unchanged.
InstallResult RunPackageInstall(bool silent, std::wstring& logPath, const std::wstring& installedCode,
                                const std::wstring& packagePath, std::wstring arguments);

// True when `arguments` name a log of their own ("/l" or "/L" anywhere): then no log of ours is named.
bool BringsOwnLog(const std::wstring& arguments);

// The folder TMP names, where the logs go. Returns 0, or after an error box unless `silent` the
// Windows error of the read; a TMP that is empty, relative or holds a double quote (which would end
// the quoted log path on an elevated command line) is unusable and gives 203, as an unset one does.
uint32_t ReadTemporaryDirectory(bool silent, std::wstring& directory);

// TMP + "\" + baseName + "_" + time stamp + ".log". Returns 0, or the failure of
// ReadTemporaryDirectory; `logPath` is unchanged on failure.
uint32_t MakeLogPath(bool silent, std::wstring& logPath, const std::wstring& baseName);

// The local time as "YYYY-MM-DD-hh-mm-ss", also written as one line to standard output.
std::wstring MakeTimestamp();

// Deletes the installed product's SourceHash file on Windows 5.1 and 5.2; nothing without a product
// code or a readable Windows folder.
void RemoveSourceHash(const std::wstring& productCode);

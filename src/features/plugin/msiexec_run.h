// Running msiexec for the plug-in package.
#pragma once

#include <cstdint>
#include <string>

// How an installation ended.
struct InstallResult {
    uint32_t code;                // 0, 1602 when the user declined, or the code of the step that failed
    bool restartRequested;        // msiexec ended with 3010, 3011 or 1641, which count as success
    bool updateDeclined = false;  // No to the update question: nothing ran, and the run ends with 1
};

// Runs msiexec for the package at `packagePath` with `arguments` (which begin with a blank),
// writing a verbose log into TMP unless the arguments bring their own /l or /L. `logPath` receives
// the log's path once it is named. The restart codes become 0 with a restart requested; every other
// exit code, and a start failure's Windows error, is returned unchanged.
InstallResult RunPackageInstall(bool silent, const std::wstring& installedCode, const std::wstring& packagePath,
                                std::wstring arguments, std::wstring& logPath);

// Deletes the installed product's SourceHash file on Windows 5.1 and 5.2; nothing without a product
// code or a readable Windows folder.
void RemoveSourceHash(const std::wstring& productCode);

// Running msiexec for the plug-in package.
#pragma once

#include <cstdint>
#include <string>

#include "base/result_codes.h"

// What an installation leaves for the end of the run.
enum class RestartNeed {
    None,
    Required,   // msiexec ended with 3010 or 3011: the run records the marker and offers the restart
    Initiated,  // msiexec ended with 1641: Windows is restarting already, nothing more is to be done
};

// How the plug-in installation ended; the run flow turns it into the report and the exit code.
struct InstallResult {
    enum class Outcome {
        Installed,       // msiexec succeeded, or there was nothing to do
        UpdateDeclined,  // No to the update question: nothing ran, and the run ends with 1
        Cancelled,       // No to the reinstall question, or cancelled inside msiexec: 1602, not reported
        Failed,          // `code` is the failed step's, already shown by that step unless silent
    };
    Outcome outcome = Outcome::Installed;
    uint32_t code = 0;
    RestartNeed restart = RestartNeed::None;
    std::wstring logPath;  // the verbose log msiexec was told to write, while that file exists

    static InstallResult Failure(uint32_t code) { return {Outcome::Failed, code, RestartNeed::None, {}}; }
    static InstallResult Cancel() { return {Outcome::Cancelled, kInstallUserExit, RestartNeed::None, {}}; }
};

// Runs msiexec for the package at `packagePath` with `arguments` (which begin with a blank), writing a
// verbose log into `temporaryDirectory` (a usable TMP) unless the arguments bring their own /l or /L.
// The restart codes count as success with a restart need; 1602 is a cancel; every other exit code, and
// the Windows error of a start or wait that failed, is a failure with that code.
InstallResult RunPackageInstall(bool silent, const std::wstring& temporaryDirectory, const std::wstring& installedCode,
                                const std::wstring& packagePath, std::wstring arguments);

// Deletes the installed product's SourceHash file on Windows 5.1 and 5.2; nothing without a product
// code or a readable Windows folder.
void RemoveSourceHash(const std::wstring& productCode);

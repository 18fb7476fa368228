#include "features/plugin/msiexec_run.h"

#include "base/install_logs.h"
#include "base/messages.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "base/windows_version.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/msi_api.h"
#include "platform/process.h"
#include "res/resource.h"

namespace {

const wchar_t kQuote[] = L"\"";

std::wstring MsiexecCommandLine(const std::wstring& systemDirectory, const std::wstring& packagePath,
                                const std::wstring& arguments)
{
    return kQuote + systemDirectory + L"\\msiexec.exe\" /i \"" + packagePath + L"\" " + arguments;
}

// msiexec's exit code as the run goes on with it.
InstallResult Classify(uint32_t exitCode)
{
    InstallResult result;
    if (exitCode == kRebootRequired || exitCode == kRestartRequired) {
        result.restart = RestartNeed::Required;
    } else if (exitCode == kRebootInitiated) {
        result.restart = RestartNeed::Initiated;
    } else if (exitCode == kInstallUserExit) {
        result = InstallResult::Cancel();
    } else if (exitCode != kSuccess) {
        result = InstallResult::Failure(exitCode);
    }
    return result;
}

}  // namespace

void RemoveSourceHash(const std::wstring& productCode)
{
    if (!IsWindows5Minor(kWindows2003Minor) && !IsWindows5Minor(kWindowsXpMinor)) return;
    // Without either, the path would name the Installer folder's SourceHash file of no product.
    std::wstring windowsDirectory;
    if (productCode.empty() || platform::ReadWindowsDirectory(windowsDirectory) != kSuccess) return;
    platform::RemoveFile(windowsDirectory + L"\\installer\\SourceHash" + productCode);
}

InstallResult RunPackageInstall(bool silent, const std::wstring& temporaryDirectory, const std::wstring& installedCode,
                                const std::wstring& packagePath, std::wstring arguments)
{
    arguments = L" REBOOT=R " + arguments;
    const std::wstring packageFileName = FileNameOf(packagePath);

    std::wstring systemDirectory;
    const uint32_t read = platform::ReadSystemDirectory(systemDirectory);
    if (read != kSuccess) {
        if (!silent) ShowMessage(BoxKind::Error, MSG_SYSTEM_DIRECTORY_UNREADABLE, MSG_ERROR_CAPTION);
        return InstallResult::Failure(read);
    }
    std::wstring logPath;
    if (!BringsOwnLog(arguments)) {
        const uint32_t created = CreateLogFile(temporaryDirectory, packageFileName, logPath);
        if (created != kSuccess) return InstallResult::Failure(created);
        arguments = L"/Lv! \"" + logPath + L"\"" + arguments;
    }
    const std::wstring commandLine = MsiexecCommandLine(systemDirectory, packagePath, arguments);

    // A stale source list would send a repair or an upgrade to the old package's location.
    platform::ClearSourceList(installedCode.c_str());
    platform::SetSourceListPackageName(installedCode.c_str(), packageFileName.c_str());
    RemoveSourceHash(installedCode);

    const platform::ProcessResult child = platform::RunProcess(commandLine);
    DiscardUnwrittenLog(child, logPath);
    InstallResult result =
        child.outcome == platform::ChildOutcome::Exited ? Classify(child.code) : InstallResult::Failure(child.code);
    result.logPath = logPath;
    return result;
}

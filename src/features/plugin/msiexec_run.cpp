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

void ShowRunError(bool silent, uint16_t message)
{
    if (!silent) ShowMessage(BoxKind::Error, message, MSG_ERROR_CAPTION);
}

bool IsRestartCode(uint32_t code)
{
    return code == kRebootRequired || code == kRestartRequired || code == kRebootInitiated;
}

std::wstring MsiexecCommandLine(const std::wstring& systemDirectory, const std::wstring& packagePath,
                                const std::wstring& arguments)
{
    return kQuote + systemDirectory + L"\\msiexec.exe\" /i \"" + packagePath + L"\" " + arguments;
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

InstallResult RunPackageInstall(bool silent, const std::wstring& installedCode, const std::wstring& packagePath,
                                std::wstring arguments, std::wstring& logPath)
{
    arguments = L" REBOOT=R " + arguments;
    const std::wstring packageFileName = FileNameOf(packagePath);

    if (!BringsOwnLog(arguments)) {
        std::wstring path;
        const uint32_t named = MakeLogPath(silent, packageFileName, path);
        if (named != kSuccess) return {named, false};
        logPath = path;
        arguments = L"/Lv! \"" + logPath + L"\"" + arguments;
    }

    std::wstring systemDirectory;
    const uint32_t read = platform::ReadSystemDirectory(systemDirectory);
    if (read != kSuccess) {
        ShowRunError(silent, MSG_SYSTEM_DIRECTORY_UNREADABLE);
        return {read, false};
    }
    const std::wstring commandLine = MsiexecCommandLine(systemDirectory, packagePath, arguments);

    // A stale source list would send a repair or an upgrade to the old package's location.
    platform::ClearSourceList(installedCode.c_str());
    platform::SetSourceListPackageName(installedCode.c_str(), packageFileName.c_str());
    RemoveSourceHash(installedCode);

    const uint32_t exitCode = platform::RunProcess(commandLine).code;
    if (IsRestartCode(exitCode)) return {kSuccess, true};
    return {exitCode, false};
}

#include "features/csp/csp_install.h"

#include "base/executable_folder.h"
#include "base/install_logs.h"
#include "base/messages.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "platform/process.h"
#include "res/resource.h"

const wchar_t kCspKind[] = L"csp";
const wchar_t kUcspKind[] = L"ucsp";

namespace {

// Exit codes of a setup program that let the run go on; 1602 is a cancelled distribution setup,
// which does not stop the plug-in's installation.
bool LetsTheRunGoOn(uint32_t exitCode)
{
    return exitCode == kSuccess || exitCode == kDistributionSetupFinished3 || exitCode == kDistributionSetupFinished4 ||
           exitCode == kInstallUserExit;
}

// The setup program is started by full path from the executable's folder, never from the caller's
// working directory, which an elevated installer must not trust.
std::wstring SetupProgramPath(const std::wstring& kind)
{
    return ExecutableDirectory() + kind + L"\\Setup.exe";
}

}  // namespace

std::wstring ComposeSetupArguments(bool silent, bool reinstall, const std::wstring& logPath, std::wstring extraArgs)
{
    // The log path goes inside the quoted value of -args, hence its tripled quotes.
    if (!logPath.empty()) extraArgs = L"/Lv! \"\"\"" + logPath + L"\"\"\" " + extraArgs;
    if (!Contains(extraArgs, L"/q")) extraArgs = L"/qb " + extraArgs;
    std::wstring arguments = L"-args \"" + extraArgs + L"\"";
    arguments += L" -noreboot";
    if (silent) arguments += L" -silent";
    if (reinstall) arguments += L" -reinstall";
    return arguments;
}

uint32_t InstallCspPackage(bool silent, bool reinstall, const std::wstring& kind, const std::wstring& extraArgs)
{
    std::wstring logPath;
    if (!BringsOwnLog(extraArgs)) {
        // Without TMP there is no log to offer; the user has been told, and nothing is started.
        const uint32_t named = MakeLogPath(silent, kind, logPath);
        if (named != kSuccess) return named;
    }
    const std::wstring commandLine =
        L"\"" + SetupProgramPath(kind) + L"\" " + ComposeSetupArguments(silent, reinstall, logPath, extraArgs);

    const platform::ProcessResult result = platform::RunProcess(commandLine);
    if (result.started && LetsTheRunGoOn(result.code)) return kSuccess;
    if (!silent) {
        ShowBox(BoxKind::Error, FailureReport(MSG_CSP_INSTALL_FAILED, result.code, logPath), Message(MSG_PRODUCT_CAPTION));
    }
    return result.code;
}

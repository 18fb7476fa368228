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

uint32_t ReportFailure(bool silent, uint32_t code, const std::wstring& logPath)
{
    if (!silent) {
        ShowBox(BoxKind::Error, FailureReport(MSG_CSP_INSTALL_FAILED, code, logPath), Message(MSG_PRODUCT_CAPTION));
    }
    return code;
}

// A verbose log in TMP, unless the installer options bring their own. Returns 0, or the failure: an
// unusable TMP has been reported already (there is no log to offer), a log that cannot be created
// is reported here.
uint32_t PrepareLog(bool silent, const std::wstring& kind, const std::wstring& extraArgs, std::wstring& logPath)
{
    if (BringsOwnLog(extraArgs)) return kSuccess;
    std::wstring temporaryDirectory;
    const uint32_t usable = ReadTemporaryDirectory(silent, temporaryDirectory);
    if (usable != kSuccess) return usable;
    const uint32_t created = CreateLogFile(temporaryDirectory, kind, logPath);
    return created == kSuccess ? kSuccess : ReportFailure(silent, created, logPath);
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
    // The setup program is started by full path from the executable's folder, never from the caller's
    // working directory, which an elevated installer must not trust.
    std::wstring folder;
    const uint32_t located = ReadExecutableDirectory(folder);
    if (located != kSuccess) return ReportFailure(silent, located, L"");
    std::wstring logPath;
    const uint32_t prepared = PrepareLog(silent, kind, extraArgs, logPath);
    if (prepared != kSuccess) return prepared;

    const std::wstring commandLine =
        L"\"" + folder + kind + L"\\Setup.exe\" " + ComposeSetupArguments(silent, reinstall, logPath, extraArgs);
    const platform::ProcessResult result = platform::RunProcess(commandLine);
    DiscardUnwrittenLog(result, logPath);
    if (result.outcome == platform::ChildOutcome::Exited && LetsTheRunGoOn(result.code)) return kSuccess;
    return ReportFailure(silent, result.code, logPath);
}

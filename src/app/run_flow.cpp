#include "app/run_flow.h"

#include <string>

#include "app/help.h"
#include "app/options.h"
#include "app/prerequisites.h"
#include "app/restart_step.h"
#include "base/messages.h"
#include "base/result_codes.h"
#include "features/csp/csp_install.h"
#include "features/csp/setup_dialog.h"
#include "features/plugin/plugin_install.h"
#include "platform/msi_api.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "res/resource.h"

namespace {

uint16_t ConfirmationQuestion(const BootstrapOptions& options)
{
    if (options.installCsp && options.installUcsp) return MSG_CONFIRM_PLUGIN_CSP_UCSP;
    if (options.installCsp) return MSG_CONFIRM_PLUGIN_CSP;
    if (options.installUcsp) return MSG_CONFIRM_PLUGIN_UCSP;
    return MSG_CONFIRM_PLUGIN;
}

// The CSP distributions asked for, in their fixed order. A distribution that fails ends the run:
// neither the next one nor the plug-in is tried, and what was installed before stays installed.
uint32_t InstallRequestedDistributions(const BootstrapOptions& options)
{
    if (options.installCsp) {
        const uint32_t csp = InstallCspPackage(options.silent, options.reinstall, kCspKind, options.cspArgs);
        if (csp != kSuccess) return csp;
    }
    if (options.installUcsp) {
        return InstallCspPackage(options.silent, options.reinstall, kUcspKind, options.ucspArgs);
    }
    return kSuccess;
}

}  // namespace

uint32_t RunBootstrapper(const wchar_t* commandTail, BootstrapOptions& options)
{
    SetOwnerWindow(platform::CreateOwnerWindow());
    const std::wstring caption = Message(MSG_PRODUCT_CAPTION);

    const bool hasArguments = commandTail != nullptr && commandTail[0] != L'\0';
    if (hasArguments && ParseCommandLine(options) == ParseOutcome::HelpRequested) {
        ShowHelp(options);
        return kExitSuccess;
    }

    if (!platform::UserIsAdministrator()) {
        if (!options.silent) ShowBox(BoxKind::Error, Message(MSG_NOT_ADMINISTRATOR), caption);
        return kExitNotAdministrator;
    }
    const uint32_t prerequisites = CheckSystemPrerequisites(options.silent);
    if (prerequisites != kExitSuccess) return prerequisites;

    platform::SetInstallerUiLevelNone();

    if (!options.silent &&
        ShowBox(BoxKind::Question, Message(ConfirmationQuestion(options)), caption) == kButtonNo) {
        return kExitSuccess;
    }

    if (options.selectDialog && options.installCsp && !options.silent) {
        const CspSetupChoice choice = ShowCspSetupDialog();
        if (choice.cancelled) return kExitSuccess;
        options.kcMask += choice.kcMask;
        options.langMask += choice.langMask;
    }

    const uint32_t distributions = InstallRequestedDistributions(options);
    if (distributions != kSuccess) return distributions;

    std::wstring logPath;
    const InstallResult plugIn = InstallPlugInPackage(options.silent, options.reinstall, options.zarelArgs, logPath);
    if (plugIn.updateDeclined) return kExitUpdateDeclined;
    if (plugIn.code == kInstallUserExit) return plugIn.code;
    if (plugIn.code != kSuccess) {
        if (!options.silent) {
            ShowBox(BoxKind::Error, FailureReport(MSG_PLUGIN_INSTALL_FAILED, plugIn.code, logPath), caption);
        }
        return plugIn.code;
    }
    return FinishSuccessfulRun(options, plugIn.restartRequested);
}

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

// COM on the run's thread from before Windows Installer is first used until the run returns:
// MsiOpenPackageExW expects it. A thread where COM cannot be had still opens packages, as before.
class ComApartment {
public:
    ComApartment() : entered_(platform::EnterComApartment() == kSuccess) {}
    ~ComApartment()
    {
        if (entered_) platform::LeaveComApartment();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool entered_;
};

}  // namespace

uint32_t RunBootstrapper(const wchar_t* commandTail, BootstrapOptions& options)
{
    SetOwnerWindow(platform::CreateOwnerWindow());
    const std::wstring caption = Message(MSG_PRODUCT_CAPTION);

    const bool hasArguments = commandTail != nullptr && commandTail[0] != L'\0';
    if (hasArguments) {
        ParseOutcome parsed = ParseOutcome::Parsed;
        // Without its switches the run cannot know even whether it may show a box: it ends at once.
        const uint32_t split = ParseCommandLine(options, parsed);
        if (split != kSuccess) return split;
        if (parsed == ParseOutcome::HelpRequested) {
            ShowHelp(options);
            return kExitSuccess;
        }
    }

    if (!platform::UserIsAdministrator()) {
        if (!options.silent) ShowBox(BoxKind::Error, Message(MSG_NOT_ADMINISTRATOR), caption);
        return kExitNotAdministrator;
    }
    const uint32_t prerequisites = CheckSystemPrerequisites(options.silent);
    if (prerequisites != kExitSuccess) return prerequisites;

    const ComApartment com;
    // Only this process's own Windows Installer calls are concerned, and they show no UI of their own.
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

    const InstallResult plugIn = InstallPlugInPackage(options.silent, options.reinstall, options.zarelArgs);
    switch (plugIn.outcome) {
    case InstallResult::Outcome::UpdateDeclined: return kExitUpdateDeclined;
    case InstallResult::Outcome::Cancelled: return kInstallUserExit;
    case InstallResult::Outcome::Failed:
        if (!options.silent) {
            ShowBox(BoxKind::Error, FailureReport(MSG_PLUGIN_INSTALL_FAILED, plugIn.code, plugIn.logPath), caption);
        }
        return plugIn.code;
    case InstallResult::Outcome::Installed: break;
    }
    return FinishSuccessfulRun(options, plugIn.restart);
}

#include "app/restart_step.h"

#include "base/messages.h"
#include "base/restart.h"
#include "base/result_codes.h"
#include "res/resource.h"

namespace {

constexpr int kBoxNotShown = 0;

struct ProductTexts {
    uint16_t restartQuestion;
    uint16_t successMessage;
};

// The texts name what this run installed besides the plug-in.
ProductTexts TextsFor(const BootstrapOptions& options)
{
    if (options.installCsp && options.installUcsp) return {MSG_RESTART_PLUGIN_CSP_UCSP, MSG_SUCCESS_PLUGIN_CSP_UCSP};
    if (options.installCsp) return {MSG_RESTART_PLUGIN_CSP, MSG_SUCCESS_PLUGIN_CSP};
    if (options.installUcsp) return {MSG_RESTART_PLUGIN_UCSP, MSG_SUCCESS_PLUGIN_UCSP};
    return {MSG_RESTART_PLUGIN, MSG_SUCCESS_PLUGIN};
}

void ShowPlainMessage(const BootstrapOptions& options, uint16_t message)
{
    if (!options.silent) ShowMessage(BoxKind::Plain, message, MSG_PRODUCT_CAPTION);
}

}  // namespace

uint32_t FinishSuccessfulRun(const BootstrapOptions& options, RestartNeed need)
{
    const ProductTexts texts = TextsFor(options);
    if (need == RestartNeed::Initiated) {
        // A second restart request could only fail or restart the machine twice. The result is
        // ignored: a marker that stays is never restarted over by a later run either.
        ClearRestartMarker();
        ShowPlainMessage(options, texts.successMessage);
        return kExitSuccess;
    }
    const bool required = need == RestartNeed::Required;
    if (required) SetRestartMarker();
    const bool markerPresent = RestartMarkerExists();
    const bool restartDue = required || markerPresent;

    if (!restartDue || options.noRestart) {
        ShowPlainMessage(options, texts.successMessage);
        // Held back and not recorded for the next run: the caller alone can still know it is due.
        return restartDue && !markerPresent ? kExitRestartHeldBack : kExitSuccess;
    }
    // The marker goes before the question, so a declined or failed restart is not asked again. One
    // that stays would restart the machine again at the end of every later silent run.
    if (markerPresent && ClearRestartMarker() != kSuccess) {
        ShowPlainMessage(options, MSG_RESTART_FAILED);
        return kExitRestartFailed;
    }
    if (!options.silent) {
        const int answer = ShowMessage(BoxKind::WarningQuestion, texts.restartQuestion, MSG_PRODUCT_CAPTION);
        // Nobody could be asked: the restart stays due, and only the exit code can still say so.
        if (answer == kBoxNotShown) return kExitRestartHeldBack;
        if (answer != kButtonYes) return kExitSuccess;
    }
    if (RestartComputer()) return kExitSuccess;
    ShowPlainMessage(options, MSG_RESTART_FAILED);
    return kExitRestartFailed;
}

#include "app/restart_step.h"

#include "base/messages.h"
#include "base/restart.h"
#include "base/result_codes.h"
#include "res/resource.h"

namespace {

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

}  // namespace

uint32_t FinishSuccessfulRun(const BootstrapOptions& options, bool restartRequested)
{
    if (restartRequested) SetRestartMarker();
    const bool markerPresent = RestartMarkerExists();
    const bool restartDue = restartRequested || markerPresent;

    const ProductTexts texts = TextsFor(options);
    if (!restartDue || options.noRestart) {
        if (!options.silent) ShowMessage(BoxKind::Plain, texts.successMessage, MSG_PRODUCT_CAPTION);
        // Held back and not recorded for the next run: the caller alone can still know it is due.
        return restartDue && !markerPresent ? kExitRestartRequired : kExitSuccess;
    }
    // The marker goes before the question, so a declined or failed restart is not asked again. One
    // that stays would restart the machine again at the end of every later silent run.
    if (markerPresent && !RemoveRestartMarker()) {
        if (!options.silent) ShowMessage(BoxKind::Plain, MSG_RESTART_FAILED, MSG_PRODUCT_CAPTION);
        return kExitRestartFailed;
    }
    if (!options.silent &&
        ShowMessage(BoxKind::WarningQuestion, texts.restartQuestion, MSG_PRODUCT_CAPTION) != kButtonYes) {
        return kExitSuccess;
    }
    if (RestartComputer()) return kExitSuccess;
    if (!options.silent) ShowMessage(BoxKind::Plain, MSG_RESTART_FAILED, MSG_PRODUCT_CAPTION);
    return kExitRestartFailed;
}

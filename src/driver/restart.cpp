#include "driver/restart.h"

#include "driver/messages.h"
#include "driver/result_codes.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "res/resource.h"

namespace {

const wchar_t kMarkerPath[] = L"Software\\NeedBstrReboot";
const wchar_t kMarkerParent[] = L"Software";
const wchar_t kMarkerName[] = L"NeedBstrReboot";

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

uint32_t SetRestartMarker() { return platform::CreateUserKey(kMarkerPath); }

bool RestartMarkerExists() { return platform::UserKeyExists(kMarkerPath); }

uint32_t ClearRestartMarker() { return platform::DeleteUserSubkey(kMarkerParent, kMarkerName); }

bool RemoveRestartMarker()
{
    const uint32_t cleared = ClearRestartMarker();
    return cleared == kSuccess || cleared == kFileNotFound;
}

bool RestartComputer() { return platform::RestartWindows(); }

int FinishSuccessfulRun(const BootstrapOptions& options, bool restartRequested)
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

#include "features/csp/setup_dialog.h"

#include <string>

#include "base/messages.h"
#include "base/result_codes.h"
#include "platform/dialog.h"
#include "platform/system.h"
#include "res/resource.h"

namespace {

constexpr uint16_t kRussianRussia = 0x0419;
constexpr uint16_t kCancel = 2;  // IDCANCEL: the button, Escape and the close box
constexpr size_t kToggleCaptionChars = 9;

struct Choice {
    uint16_t button;
    const wchar_t* mask;
};
constexpr Choice kLevels[] = {{IDC_KC1, L"kc1*"}, {IDC_KC2, L"kc2*"}, {IDC_KC3, L"kc3*"}};
constexpr Choice kLanguages[] = {{IDC_LANG_RUSSIAN, L"rus*"}, {IDC_LANG_ENGLISH, L"eng*"}};

// The welcome panel and the choices share one area: the welcome frame and text are shown exactly
// when the choices are hidden.
void ShowChoices(platform::DialogHandle dialog, bool choicesVisible)
{
    for (uint16_t id = IDC_LANG_RUSSIAN; id <= IDC_WELCOME_TEXT; ++id) {
        const bool welcomePanel = id == IDC_WELCOME_FRAME || id == IDC_WELCOME_TEXT;
        platform::ShowDialogControl(dialog, id, welcomePanel != choicesVisible);
    }
}

// The toggle's caption is its state: "Опции" while the welcome panel shows.
void ToggleOptions(platform::DialogHandle dialog)
{
    std::wstring caption;
    // A caption that cannot be read tells no state: the dialog stays as it is.
    if (platform::ReadDialogControlText(dialog, IDC_OPTIONS, kToggleCaptionChars, caption) != kSuccess) return;
    const bool welcomeShown = caption == Message(MSG_OPTIONS_SHOW);
    ShowChoices(dialog, welcomeShown);
    platform::SetDialogControlText(dialog, IDC_OPTIONS, Message(welcomeShown ? MSG_OPTIONS_HIDE : MSG_OPTIONS_SHOW));
}

template <size_t Count>
void AppendCheckedMasks(platform::DialogHandle dialog, const Choice (&choices)[Count], std::wstring& masks)
{
    for (const Choice& choice : choices) {
        if (platform::IsDialogButtonChecked(dialog, choice.button)) masks += choice.mask;
    }
}

// The dialog's own state while it is shown.
struct DialogState {
    CspSetupChoice choice;
    platform::IconHandle bigIcon = nullptr;
};

bool CspSetupDialogProc(platform::DialogHandle dialog, platform::DialogEvent event, uint16_t commandId, void* context)
{
    DialogState& state = *static_cast<DialogState*>(context);
    switch (event) {
    case platform::DialogEvent::Init:
        state.bigIcon = platform::SetDialogBigIcon(dialog, IDI_BOOTSTRAPPER);
        platform::CheckDialogButton(dialog, PreselectedLanguageButton(platform::SystemDefaultUiLanguage()));
        platform::CheckDialogButton(dialog, IDC_KC1);
        return true;  // the dialog manager focuses "Далее"
    case platform::DialogEvent::Destroy:
        platform::DestroyIcon(state.bigIcon);
        state.bigIcon = nullptr;
        return false;
    case platform::DialogEvent::Command:
        break;
    }
    switch (commandId) {
    case IDC_OPTIONS:
        ToggleOptions(dialog);
        return false;
    case IDC_NEXT:
        AppendCheckedMasks(dialog, kLevels, state.choice.kcMask);
        AppendCheckedMasks(dialog, kLanguages, state.choice.langMask);
        platform::CloseDialog(dialog, 0);
        return true;
    case kCancel:
        // Nothing is installed yet; the user confirmed, then changed their mind.
        state.choice.cancelled = true;
        platform::CloseDialog(dialog, 0);
        return false;
    default:
        return false;
    }
}

}  // namespace

uint16_t PreselectedLanguageButton(uint16_t uiLanguage)
{
    return uiLanguage == kRussianRussia ? IDC_LANG_RUSSIAN : IDC_LANG_ENGLISH;
}

CspSetupChoice ShowCspSetupDialog()
{
    DialogState state;
    platform::ShowModalDialog(IDD_CSP_SETUP, CspSetupDialogProc, &state);
    return state.choice;
}

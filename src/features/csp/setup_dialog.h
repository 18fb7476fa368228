// The "CSPSetup" dialog: the CSP distribution's language and security level.
#pragma once

#include <cstdint>

#include "app/options.h"
#include "platform/dialog.h"

// Shows the dialog modally. "Далее" appends the chosen masks to kcMask and langMask of the process
// options; "Отмена", Escape and the close box end the process with exit code 0.
void ShowCspSetupDialog();

// The dialog's procedure, as the platform's dialog manager calls it.
bool CspSetupDialogProc(platform::DialogHandle dialog, platform::DialogEvent event, uint16_t commandId);

// The language preselected for a system UI language: Russian only for Russian (Russia).
uint16_t PreselectedLanguageButton(uint16_t uiLanguage);

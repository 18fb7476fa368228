// The "CSPSetup" dialog: the CSP distribution's language and security level.
#pragma once

#include <cstdint>
#include <string>

// What the user chose in the dialog.
struct CspSetupChoice {
    bool cancelled = false;  // "Отмена", Escape or the close box: the run ends with exit code 0
    std::wstring kcMask;     // "kc1*", "kc2*" or "kc3*" after "Далее"
    std::wstring langMask;   // "rus*" or "eng*" after "Далее"
};

// Shows the dialog modally and returns the choice. A dialog that cannot be created chooses nothing
// and cancels nothing.
CspSetupChoice ShowCspSetupDialog();

// The language preselected for a system UI language: Russian only for Russian (Russia).
uint16_t PreselectedLanguageButton(uint16_t uiLanguage);

// Windows, message boxes and the program's string table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// An opaque window handle; null means "no window".
using WindowHandle = void*;

// Creates the invisible, disabled "STATIC" window that owns the program's message boxes.
// Returns null when the window cannot be created; boxes are then simply ownerless.
WindowHandle CreateOwnerWindow();

// Shows a modal message box and returns the button pressed (IDOK 1, IDYES 6, IDNO 7), or 0 when the
// box could not be shown.
int ShowMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption, uint32_t style);

// A view of one string-table block of the running executable: 16 counted UTF-16 strings.
struct StringBlock {
    const uint16_t* data = nullptr;
    size_t length = 0;  // in 16-bit units
};

// Finds string-table block `blockId` of the running executable in the neutral language (LANG_NEUTRAL:
// the system chooses among the languages present). Returns false when the block is absent; `block`
// is then unchanged.
bool FindNeutralStringBlock(uint16_t blockId, StringBlock& block);

// The same, by the default language choice.
bool FindStringBlock(uint16_t blockId, StringBlock& block);

}  // namespace platform

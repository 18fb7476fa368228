// Modal dialogs from the executable's templates, and the few control operations the program uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

using DialogHandle = void*;
using IconHandle = void*;

enum class DialogEvent { Init, Command, Destroy };

// The program's side of a dialog procedure: one event (with the command's id for Command), the
// context given to ShowModalDialog, and whether it was handled.
using DialogHandler = bool (*)(DialogHandle dialog, DialogEvent event, uint16_t commandId, void* context);

// Shows dialog template `templateId` modally without an owner, its events going to `handler` with
// `context`. Returns the value given to CloseDialog, or -1 when the dialog could not be created.
intptr_t ShowModalDialog(uint16_t templateId, DialogHandler handler, void* context);
void CloseDialog(DialogHandle dialog, intptr_t result);

void ShowDialogControl(DialogHandle dialog, uint16_t controlId, bool visible);
bool IsDialogButtonChecked(DialogHandle dialog, uint16_t controlId);
void CheckDialogButton(DialogHandle dialog, uint16_t controlId);
// Reads the control's text, at most `maxChars` characters of it. Returns 0, or the Windows error of
// the read, in which case `text` is unchanged.
uint32_t ReadDialogControlText(DialogHandle dialog, uint16_t controlId, size_t maxChars, std::wstring& text);
void SetDialogControlText(DialogHandle dialog, uint16_t controlId, const std::wstring& text);

// Loads icon `iconId` of the executable at 32x32 and makes it the dialog's big icon. Returns the
// icon for DestroyIcon, or null when it is missing.
IconHandle SetDialogBigIcon(DialogHandle dialog, uint16_t iconId);
void DestroyIcon(IconHandle icon);

}  // namespace platform

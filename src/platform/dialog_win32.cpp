#include <windows.h>

#include "platform/dialog.h"

namespace platform {
namespace {

// One modal dialog at a time: the handler of the dialog being shown, and its context.
DialogHandler currentHandler = nullptr;
void* currentContext = nullptr;

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (currentHandler == nullptr) return FALSE;
    switch (message) {
    case WM_INITDIALOG: return currentHandler(dialog, DialogEvent::Init, 0, currentContext) ? TRUE : FALSE;
    case WM_COMMAND: return currentHandler(dialog, DialogEvent::Command, LOWORD(wParam), currentContext) ? TRUE : FALSE;
    case WM_DESTROY: return currentHandler(dialog, DialogEvent::Destroy, 0, currentContext) ? TRUE : FALSE;
    default: return FALSE;
    }
}

HWND Control(DialogHandle dialog, uint16_t controlId) { return GetDlgItem(static_cast<HWND>(dialog), controlId); }

}  // namespace

intptr_t ShowModalDialog(uint16_t templateId, DialogHandler handler, void* context)
{
    currentHandler = handler;
    currentContext = context;
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), nullptr,
                                           DialogProcedure, 0);
    currentHandler = nullptr;
    currentContext = nullptr;
    return result;
}

void CloseDialog(DialogHandle dialog, intptr_t result) { EndDialog(static_cast<HWND>(dialog), result); }

void ShowDialogControl(DialogHandle dialog, uint16_t controlId, bool visible)
{
    ShowWindow(Control(dialog, controlId), visible ? SW_SHOW : SW_HIDE);
}

bool IsDialogButtonChecked(DialogHandle dialog, uint16_t controlId)
{
    return IsDlgButtonChecked(static_cast<HWND>(dialog), controlId) == BST_CHECKED;
}

void CheckDialogButton(DialogHandle dialog, uint16_t controlId)
{
    CheckDlgButton(static_cast<HWND>(dialog), controlId, BST_CHECKED);
}

uint32_t ReadDialogControlText(DialogHandle dialog, uint16_t controlId, size_t maxChars, std::wstring& text)
{
    std::wstring buffer(maxChars + 1, L'\0');
    // GetWindowTextW answers 0 both for an empty text and for a failure; only the latter sets an error.
    SetLastError(ERROR_SUCCESS);
    const int length = GetWindowTextW(Control(dialog, controlId), &buffer[0], static_cast<int>(buffer.size()));
    if (length == 0 && GetLastError() != ERROR_SUCCESS) return GetLastError();
    buffer.resize(static_cast<size_t>(length));
    text = buffer;
    return ERROR_SUCCESS;
}

void SetDialogControlText(DialogHandle dialog, uint16_t controlId, const std::wstring& text)
{
    SetWindowTextW(Control(dialog, controlId), text.c_str());
}

IconHandle SetDialogBigIcon(DialogHandle dialog, uint16_t iconId)
{
    const HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId), IMAGE_ICON, 32, 32, 0);
    if (icon != nullptr) SendMessageW(static_cast<HWND>(dialog), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    return icon;
}

void DestroyIcon(IconHandle icon)
{
    if (icon != nullptr) ::DestroyIcon(static_cast<HICON>(icon));
}

}  // namespace platform

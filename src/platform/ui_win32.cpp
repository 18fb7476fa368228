#include <windows.h>

#include "platform/ui.h"

namespace platform {

WindowHandle CreateOwnerWindow()
{
    return CreateWindowExW(0, L"STATIC", nullptr, WS_DISABLED, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

int ShowMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption, uint32_t style)
{
    return MessageBoxW(static_cast<HWND>(owner), text.c_str(), caption.c_str(), style);
}

bool FindStringBlock(uint16_t blockId, bool neutralLanguage, StringBlock& block)
{
    const HRSRC resource =
        neutralLanguage
            ? FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(blockId), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL))
            : FindResourceW(nullptr, MAKEINTRESOURCEW(blockId), RT_STRING);
    if (resource == nullptr) return false;
    const HGLOBAL loaded = LoadResource(nullptr, resource);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) return false;
    block.data = static_cast<const uint16_t*>(data);
    block.length = SizeofResource(nullptr, resource) / sizeof(uint16_t);
    return true;
}

}  // namespace platform

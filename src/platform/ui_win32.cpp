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

namespace {

bool LockStringBlock(HRSRC resource, StringBlock& block)
{
    if (resource == nullptr) return false;
    const HGLOBAL loaded = LoadResource(nullptr, resource);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) return false;
    block.data = static_cast<const uint16_t*>(data);
    block.length = SizeofResource(nullptr, resource) / sizeof(uint16_t);
    return true;
}

}  // namespace

bool FindNeutralStringBlock(uint16_t blockId, StringBlock& block)
{
    const WORD neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
    return LockStringBlock(FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(blockId), neutral), block);
}

bool FindStringBlock(uint16_t blockId, StringBlock& block)
{
    return LockStringBlock(FindResourceW(nullptr, MAKEINTRESOURCEW(blockId), RT_STRING), block);
}

}  // namespace platform

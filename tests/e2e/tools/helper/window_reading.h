// Reading a window of another process: its texts, class, controls and owner, and the one JSON
// object the helper prints for a message box or a dialog.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace helper {

// The control ids of a message box's text and icon.
const int kMessageTextId = 0xFFFF;
const int kMessageIconId = 0x14;
const int kWineMessageIconId = 0x440;  // Wine's message-box template names its icon control stc1

std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);
std::vector<HWND> ChildrenInZOrder(HWND parent);

// {"kind": "box" or "dialog", "title", "text", "buttons", "icon", "owner"} and, for a dialog,
// "controls": everything the bench checks of a window.
std::string DescribeWindow(HWND hwnd);

}  // namespace helper

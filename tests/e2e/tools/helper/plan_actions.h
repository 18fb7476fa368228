// What the drive mode does to a window: the plan's actions, and the dismissal of a window the
// plan has no step for.
#pragma once

#include <windows.h>

#include <string>

namespace helper {

// Performs one plan action (press:, click:, dump, esc, close, shot:, tamper:) on the window.
// Only posts to it: a sent BM_CLICK would block the helper while the child runs a nested modal loop.
void Perform(HWND hwnd, const std::wstring& action);

// A window nobody planned for: Cancel, then Close, then its last button, until it is gone.
void Dismiss(HWND hwnd);

}  // namespace helper

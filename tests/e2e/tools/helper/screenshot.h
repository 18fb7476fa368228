// What the screen shows of a window, saved as a BMP file for a person to look at (plan action shot:).
#pragma once

#include <windows.h>

#include <string>

namespace helper {

// Writes a top-down 32-bit BMP of the window's rectangle to `path`; false when nothing was saved.
bool SaveScreenshot(HWND hwnd, const std::wstring& path, int& width, int& height);

}  // namespace helper

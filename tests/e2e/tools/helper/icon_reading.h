// Which system icon a message box shows, judged from the screen.
//
// STM_GETICON on the box's icon control (id 0x14; Wine's template uses 0x440) tells whether an
// icon is set; which system icon it is, is judged from a screen capture of the control, because
// icon handles are private to each process under Wine.
#pragma once

#include <windows.h>

#include <string>

namespace helper {

// A JSON string: "error", "warning", "information", "question", "none" (no icon shown), or
// "unknown" (an icon is shown that is none of the four system icons).
std::string IconKind(HWND box);

}  // namespace helper

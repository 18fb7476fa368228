// Starting the program under test and watching it end: its full 32-bit exit code, whatever
// Wine hands on to Linux.
#pragma once

#include <windows.h>

#include "platform/win32_handles.h"

namespace helper {

struct Child {
    platform::KernelHandle process;
    platform::KernelHandle thread;
    DWORD id = 0;
};

// Starts argv[0] (a full path) with the arguments quoted so that CommandLineToArgvW gives them
// back exactly; on failure prints {"error": "CreateProcessW failed", "code": e} and returns false.
bool StartChild(int argc, wchar_t** argv, Child& child);

// Waits for the child, or kills it once `waitMs` has passed; true when it had to be killed.
bool WaitOrKill(HANDLE process, DWORD waitMs);

// Prints {"exit": <code>} with "timeout": true when the child was killed, and "seconds" when
// `seconds` (how long the child ran) is measured.
void EmitExit(HANDLE process, bool timedOut, double seconds = -1);

// A steady clock in seconds, for measuring how long a child ran.
double SecondsNow();

}  // namespace helper

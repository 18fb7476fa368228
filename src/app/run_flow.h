// The whole run, from the owner window to the exit code.
#pragma once

// Runs the bootstrapper; `commandTail` is what follows the program name on the command line.
// Returns the process exit code.
int RunBootstrapper(const wchar_t* commandTail);

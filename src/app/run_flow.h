// The whole run, from the owner window to the exit code.
#pragma once

#include "app/options.h"

// Runs the bootstrapper and returns the process exit code; the process ends nowhere else.
// `commandTail` is what follows the program name on the command line; `options` is the process's
// record of its switches, filled here from the command line and the configuration dialog.
uint32_t RunBootstrapper(const wchar_t* commandTail, BootstrapOptions& options);

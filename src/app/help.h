// The help text of the command line.
#pragma once

#include <string>

#include "app/options.h"

// The help: the lines every run has, and the CSP lines for the switches recorded before the request.
std::wstring BuildHelpText(const BootstrapOptions& options);

// Shows the help, even in a silent run; the run then ends with exit code 0.
void ShowHelp(const BootstrapOptions& options);

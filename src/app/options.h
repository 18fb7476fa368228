// The switches of one run, parsed from the command line.
#pragma once

#include <string>
#include <vector>

struct BootstrapOptions {
    bool installCsp = false;
    bool installUcsp = false;
    bool selectDialog = false;
    bool silent = false;
    bool reinstall = false;
    bool noRestart = false;
    std::wstring cspArgs;
    std::wstring ucspArgs;
    std::wstring zarelArgs;
    std::wstring kcMask;
    std::wstring langMask;
};

// The one record of the process: the help, the run flow and the configuration dialog share it.
BootstrapOptions& ProcessOptions();

enum class ParseOutcome { Parsed, HelpRequested };

// Records `arguments` (element 0, the program name, is skipped) into `options`, left to right.
// Stops at the first help request or unrecognised argument and answers HelpRequested; what was
// recorded before it stays recorded, since the help shows lines for it.
ParseOutcome ParseArguments(const std::vector<std::wstring>& arguments, BootstrapOptions& options);

// Parses the process's own command line into ProcessOptions(); shows the help and ends the process
// with exit code 0 on a help request or an unrecognised argument. When the system cannot split the
// command line, every option keeps its default.
void ParseCommandLine();

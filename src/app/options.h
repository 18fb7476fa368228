// The switches of one run, parsed from the command line.
#pragma once

#include <string>
#include <vector>

// The record of the process's switches: filled once from the command line, then only the
// configuration dialog's choices are added to it.
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

enum class ParseOutcome { Parsed, HelpRequested };

// Records `arguments` (element 0, the program name, is skipped) into `options`, left to right.
// Stops at the first help request or unrecognised argument and answers HelpRequested; what was
// recorded before it stays recorded, since the help shows lines for it.
ParseOutcome ParseArguments(const std::vector<std::wstring>& arguments, BootstrapOptions& options);

// Parses the process's own command line into `options`, as ParseArguments does. When the system
// cannot split the command line, every option keeps its default.
ParseOutcome ParseCommandLine(BootstrapOptions& options);

// The switches of one run, parsed from the command line.
#pragma once

#include <cstdint>
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

// Parses the process's own command line into `options`, as ParseArguments does, and sets `outcome`.
// Returns 0, or the Windows error when the system cannot split the command line: then none of its
// switches is known, not even -silent, and `options` keeps its defaults.
uint32_t ParseCommandLine(BootstrapOptions& options, ParseOutcome& outcome);

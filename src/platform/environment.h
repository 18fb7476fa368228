// The process environment: variables, directories, the clock, the command line, standard output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Reads an environment variable of the process. Returns 0, or the Windows error of the failed read
// (203, ERROR_ENVVAR_NOT_FOUND, when it is not set), in which case `value` is unchanged.
uint32_t ReadEnvironmentVariable(const wchar_t* name, std::wstring& value);

// Reads the system directory. Returns 0, or the Windows error of the failed call.
uint32_t ReadSystemDirectory(std::wstring& directory);

// Reads the Windows folder shared by every user (on a terminal server the per-user one would be the
// wrong place for Windows Installer's files). Returns 0, or the Windows error of the failed call.
uint32_t ReadWindowsDirectory(std::wstring& directory);

struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime CurrentLocalTime();

// Splits the process's command line by the Windows rules; element 0 is the program name.
// Returns 0, or the Windows error when the system cannot split it (`arguments` is unchanged then).
uint32_t ReadCommandLineArguments(std::vector<std::wstring>& arguments);

// Writes one line to standard output, if the process has one.
void WriteStandardOutputLine(const std::wstring& text);

}  // namespace platform

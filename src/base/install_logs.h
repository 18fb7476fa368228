// The verbose logs of child installations: where they go and how they are named.
#pragma once

#include <cstdint>
#include <string>

// True when `arguments` name a log of their own ("/l" or "/L" anywhere): then no log of ours is named.
bool BringsOwnLog(const std::wstring& arguments);

// The folder TMP names, where the logs go. Returns 0, or after an error box unless `silent` the
// Windows error of the read; a TMP that is empty, relative or holds a double quote (which would end
// the quoted log path on an elevated command line) is unusable and gives 203, as an unset one does.
uint32_t ReadTemporaryDirectory(bool silent, std::wstring& directory);

// TMP + "\" + baseName + "_" + time stamp + ".log". Returns 0, or the failure of
// ReadTemporaryDirectory; `logPath` is unchanged on failure.
uint32_t MakeLogPath(bool silent, const std::wstring& baseName, std::wstring& logPath);

// The local time as "YYYY-MM-DD-hh-mm-ss", also written as one line to standard output.
std::wstring MakeTimestamp();

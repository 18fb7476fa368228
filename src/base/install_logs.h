// The verbose logs of child installations: where they go and how they are named.
#pragma once

#include <cstdint>
#include <string>

#include "platform/process.h"

// True when `arguments` name a log of their own: then no log of ours is named. Any "/l" or "/L"
// counts, also one inside a value such as "C:/logs"; callers have long relied on that.
bool BringsOwnLog(const std::wstring& arguments);

// The folder TMP names, where the logs go. Returns 0, or after an error box unless `silent` the
// Windows error of the read; a TMP that is empty, relative or holds a double quote (which would end
// the quoted log path on an elevated command line) is unusable and gives 203, as an unset one does.
uint32_t ReadTemporaryDirectory(bool silent, std::wstring& directory);

// Creates the log of one child installation as a new, empty file: `directory` + "\" + `baseName` +
// "_" + time stamp + ".log", or when that name is taken the first free one with "_2", "_3"... before
// ".log". A name that exists is never written into: in a folder every user can write to (a SYSTEM
// run's C:\Windows\Temp) someone else may have made it to read the child's log, and two runs in one
// second must not share one. Writes the stamp as it ends the name (with its counter) as one line to
// standard output. Returns 0, or 1622 when no log could be created; `logPath` is unchanged then.
uint32_t CreateLogFile(const std::wstring& directory, const std::wstring& baseName, std::wstring& logPath);

// After the run of the child `logPath` was made for: a log it never wrote (it did not start, or wrote
// nothing) is removed and `logPath` emptied, so that no report names a log nobody wrote. A child that
// was lost (its wait failed) may still be writing: its log stays.
void DiscardUnwrittenLog(const platform::ProcessResult& child, std::wstring& logPath);

// The local time as "YYYY-MM-DD-hh-mm-ss".
std::wstring MakeTimestamp();

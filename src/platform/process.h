// Child processes.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct ProcessResult {
    uint32_t code;  // the child's exit code, or the Windows error of the call that failed
    bool started;   // false when the child could not be started at all
};

// Starts `commandLine` as a child process without a console window and waits for it without a
// time-out. The program is the first token of the command line: callers pass a quoted full path.
// When the child cannot be started, or its exit code cannot be read, `code` is the Windows error of
// the failed call (never 0). `commandLine` is not modified.
ProcessResult RunProcess(const std::wstring& commandLine);

}  // namespace platform

// Child processes.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// How a child's run ended.
enum class ChildOutcome {
    Exited,      // `code` is the child's exit code
    NotStarted,  // the child never ran: `code` is the Windows error of the start
    Lost,        // the child was started, but the wait or the read of its exit code failed: `code` is
                 // that call's Windows error, and the child may still be running
};

struct ProcessResult {
    uint32_t code;  // the exit code, or the Windows error of the call that failed (never 0 then)
    ChildOutcome outcome;
};

// Starts `commandLine` as a child process without a console window and waits for it without a
// time-out. The program is the first token of the command line: callers pass a quoted full path.
// `commandLine` is not modified.
ProcessResult RunProcess(const std::wstring& commandLine);

}  // namespace platform

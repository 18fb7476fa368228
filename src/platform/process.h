// Child processes and the end of this one.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Starts `commandLine` as a child process without a console window, waits for it without a time-out
// and returns its exit code. When the child cannot be started, or its exit code cannot be read, returns
// the Windows error of the failed call instead; the two share one number space. `commandLine` is not
// modified.
uint32_t RunProcess(const std::wstring& commandLine);

// Ends the process through the runtime's normal exit (static objects destroyed, streams flushed).
[[noreturn]] void ExitProcessNormally(uint32_t exitCode);

}  // namespace platform

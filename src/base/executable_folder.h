// The executable's own folder: where the packages and the distributions lie, whatever the caller's
// current directory.
#pragma once

#include <cstdint>
#include <string>

// The folder of the running executable, with its trailing backslash. Returns 0, or the Windows error
// of reading the executable's path (a path without a folder gives 161, ERROR_BAD_PATHNAME): nothing
// may then be looked for or started relative to the current directory instead.
uint32_t ReadExecutableDirectory(std::wstring& directory);

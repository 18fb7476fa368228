// The executable's own folder: where the packages and the distributions lie, whatever the caller's
// current directory.
#pragma once

#include <string>

// The folder of the running executable, with its trailing backslash.
std::wstring ExecutableDirectory();

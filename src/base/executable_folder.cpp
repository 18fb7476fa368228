#include "base/executable_folder.h"

#include "base/text.h"
#include "platform/files.h"

std::wstring ExecutableDirectory() { return DirectoryOf(platform::ExecutablePath()); }

#include "base/executable_folder.h"

#include "base/result_codes.h"
#include "base/text.h"
#include "platform/files.h"

uint32_t ReadExecutableDirectory(std::wstring& directory)
{
    std::wstring path;
    const uint32_t read = platform::ReadExecutablePath(path);
    if (read != kSuccess) return read;
    const std::wstring folder = DirectoryOf(path);
    if (folder.empty()) return kBadPathName;
    directory = folder;
    return kSuccess;
}

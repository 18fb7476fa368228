#include <windows.h>

#include "platform/files.h"
#include "platform/growing_read.h"

namespace platform {

std::wstring ExecutablePath()
{
    // An executable in a deep folder must still find its packages: the path is never cut.
    constexpr size_t kLongestPath = 32768;
    return ReadGrowing(
        [](wchar_t* buffer, size_t size) {
            return static_cast<size_t>(GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(size)));
        },
        MAX_PATH, kLongestPath);
}

namespace {

void TakeEntry(const WIN32_FIND_DATAW& data, std::wstring& name, bool& isDirectory)
{
    name = data.cFileName;
    isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

DirectorySearch::DirectorySearch(const std::wstring& pattern)
{
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return;
    handle_ = search;
    found_ = true;
    TakeEntry(data, name_, isDirectory_);
}

DirectorySearch::~DirectorySearch()
{
    if (handle_ != nullptr) FindClose(static_cast<HANDLE>(handle_));
}

bool DirectorySearch::Next()
{
    WIN32_FIND_DATAW data;
    found_ = handle_ != nullptr && FindNextFileW(static_cast<HANDLE>(handle_), &data);
    if (found_) TakeEntry(data, name_, isDirectory_);
    return found_;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool RemoveFile(const std::wstring& path) { return DeleteFileW(path.c_str()) != FALSE; }

}  // namespace platform

#include <windows.h>

#include "platform/files.h"

namespace platform {

std::wstring ExecutablePath()
{
    // The buffer grows until the whole path fits: an executable in a deep folder must still find
    // its packages. Windows XP fills the buffer without a NUL when it is too small.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) return std::wstring();
        path.resize(path.size() * 2);
    }
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

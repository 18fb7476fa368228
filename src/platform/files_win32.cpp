#include <windows.h>

#include "platform/files.h"
#include "platform/growing_read.h"
#include "platform/win32_handles.h"

namespace platform {

uint32_t ReadExecutablePath(std::wstring& path)
{
    // An executable in a deep folder must still find its packages: the path is never cut.
    constexpr size_t kLongestPath = 32768;
    SetLastError(ERROR_SUCCESS);
    const std::wstring read = ReadGrowing(
        [](wchar_t* buffer, size_t size) {
            return static_cast<size_t>(GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(size)));
        },
        MAX_PATH, kLongestPath);
    if (read.empty()) return LastErrorOr(ERROR_FILENAME_EXCED_RANGE);
    path = read;
    return ERROR_SUCCESS;
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
    if (search == INVALID_HANDLE_VALUE) {
        error_ = LastErrorOr(ERROR_FILE_NOT_FOUND);
        return;
    }
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
    if (!found_) return false;
    WIN32_FIND_DATAW data;
    found_ = FindNextFileW(static_cast<HANDLE>(handle_), &data) != FALSE;
    if (found_) {
        TakeEntry(data, name_, isDirectory_);
    } else {
        error_ = LastErrorOr(ERROR_NO_MORE_FILES);
    }
    return found_;
}

HeldFile::~HeldFile()
{
    if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
}

uint32_t HeldFile::Hold(const std::wstring& path)
{
    if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    // Sharing read access only: while the handle is open, nobody can open the file for writing or
    // for deletion, and a rename or a delete fails with a sharing violation.
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastErrorOr(ERROR_OPEN_FAILED);
    handle_ = file;
    return ERROR_SUCCESS;
}

uint32_t CreateNewFile(const std::wstring& path)
{
    // CREATE_NEW fails on any existing name, a link planted under it included.
    const KernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) return LastErrorOr(ERROR_OPEN_FAILED);
    return ERROR_SUCCESS;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool FileIsEmpty(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    const bool isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return !isDirectory && data.nFileSizeHigh == 0 && data.nFileSizeLow == 0;
}

bool RemoveFile(const std::wstring& path) { return DeleteFileW(path.c_str()) != FALSE; }

}  // namespace platform

#include <windows.h>
#include <shellapi.h>

#include "platform/environment.h"
#include "platform/win32_handles.h"

namespace platform {

uint32_t ReadEnvironmentVariable(const wchar_t* name, std::wstring& value)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return LastErrorOr(ERROR_ENVVAR_NOT_FOUND);
    std::wstring buffer(size, L'\0');
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetEnvironmentVariableW(name, &buffer[0], size);
    if (length == 0 && GetLastError() != ERROR_SUCCESS) return GetLastError();
    if (length >= size) return ERROR_MORE_DATA;  // it grew between the two calls
    buffer.resize(length);
    value = buffer;
    return ERROR_SUCCESS;
}

namespace {

// GetSystemDirectoryW and its kin: the length written, or the size needed when the buffer is short.
using DirectoryQuery = UINT(WINAPI*)(LPWSTR, UINT);

uint32_t ReadDirectory(DirectoryQuery query, std::wstring& directory)
{
    std::wstring buffer(MAX_PATH, L'\0');
    UINT length = query(&buffer[0], static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.assign(length + 1, L'\0');
        length = query(&buffer[0], static_cast<UINT>(buffer.size()));
    }
    if (length == 0 || length >= buffer.size()) return LastErrorOr(ERROR_PATH_NOT_FOUND);
    buffer.resize(length);
    directory = buffer;
    return ERROR_SUCCESS;
}

}  // namespace

uint32_t ReadSystemDirectory(std::wstring& directory) { return ReadDirectory(GetSystemDirectoryW, directory); }

uint32_t ReadWindowsDirectory(std::wstring& directory) { return ReadDirectory(GetSystemWindowsDirectoryW, directory); }

LocalTime CurrentLocalTime()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

uint32_t ReadCommandLineArguments(std::vector<std::wstring>& arguments)
{
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
    if (split == nullptr) return LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
    arguments.assign(split, split + count);
    LocalFree(split);
    return ERROR_SUCCESS;
}

void WriteStandardOutputLine(const std::wstring& text)
{
    // A GUI process normally has no standard output; a caller that redirected it gets the line.
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
    const std::wstring line = text + L"\r\n";
    char bytes[256];
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), bytes,
                                         sizeof(bytes), nullptr, nullptr);
    DWORD written = 0;
    if (size > 0) WriteFile(output, bytes, static_cast<DWORD>(size), &written, nullptr);
}

}  // namespace platform

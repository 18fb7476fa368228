// The file system: the executable's own path, directory searches and file status.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The full path of the running executable, however long it is. Returns 0, or the Windows error of
// the read, in which case `path` is unchanged.
uint32_t ReadExecutablePath(std::wstring& path);

// One directory search (FindFirstFileW and its successors). The search is open while Found() is
// true and is closed by the destructor on every path.
class DirectorySearch {
public:
    explicit DirectorySearch(const std::wstring& pattern);
    ~DirectorySearch();
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;

    bool Found() const { return found_; }
    const std::wstring& Name() const { return name_; }
    bool IsDirectory() const { return isDirectory_; }
    // Moves to the next entry; false (and Found() false) at the end of the listing or on a failure.
    bool Next();
    // Why Found() is false: ERROR_FILE_NOT_FOUND when nothing matched, ERROR_NO_MORE_FILES at the end
    // of the listing, otherwise the error of the search that failed (a folder or path that cannot be
    // read). 0 while an entry is found.
    uint32_t Error() const { return error_; }

private:
    void* handle_ = nullptr;
    bool found_ = false;
    uint32_t error_ = 0;
    bool isDirectory_ = false;
    std::wstring name_;
};

// A file opened for reading, which others may still read but not write, rename or delete while it is
// held. Released by the destructor on every path.
class HeldFile {
public:
    HeldFile() = default;
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // Opens and holds `path`. Returns 0, or the Windows error (ERROR_SHARING_VIOLATION while another
    // program still writes the file); nothing is held then.
    uint32_t Hold(const std::wstring& path);

private:
    void* handle_ = nullptr;
};

// Creates `path` as a new, empty file and closes it; a file that exists is never opened. Returns 0,
// ERROR_FILE_EXISTS when the name is taken, or the Windows error.
uint32_t CreateNewFile(const std::wstring& path);

// True when a file-status query on `path` succeeds.
bool FileExists(const std::wstring& path);

// True when `path` is a file that holds nothing; false also when that cannot be told.
bool FileIsEmpty(const std::wstring& path);

// Deletes a file; the outcome is for callers that care.
bool RemoveFile(const std::wstring& path);

}  // namespace platform

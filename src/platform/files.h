// The file system: the executable's own path, directory searches and file status.
#pragma once

#include <string>

namespace platform {

// The full path of the running executable, however long it is.
std::wstring ExecutablePath();

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
    // Moves to the next entry; false (and Found() false) at the end of the listing.
    bool Next();

private:
    void* handle_ = nullptr;
    bool found_ = false;
    bool isDirectory_ = false;
    std::wstring name_;
};

// True when a file-status query on `path` succeeds.
bool FileExists(const std::wstring& path);

// Deletes a file; the outcome is for callers that care.
bool RemoveFile(const std::wstring& path);

}  // namespace platform

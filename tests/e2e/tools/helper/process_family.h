// Finding the windows to read: the child's process family, and the visible dialog windows
// (class "#32770") its members own.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace helper {

// The child and every process it started, with their image names. A process stays in the
// family after its parent ends, so msiexec's boxes are still seen when a launcher exits early.
class ProcessFamily {
public:
    explicit ProcessFamily(DWORD root) { members_[root] = L""; }
    // Takes in the processes started since the last look.
    void Refresh();
    bool Contains(DWORD pid) const { return members_.count(pid) != 0; }
    std::wstring ImageOf(DWORD pid) const;
private:
    std::map<DWORD, std::wstring> members_;
};

std::vector<HWND> VisibleDialogsOf(DWORD pid);
std::vector<HWND> VisibleDialogsOf(const ProcessFamily& family);

}  // namespace helper

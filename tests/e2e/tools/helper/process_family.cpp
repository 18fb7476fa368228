#include "helper.h"

#include <tlhelp32.h>

#include "platform/win32_handles.h"

namespace helper {

void ProcessFamily::Refresh() {
    const platform::KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.Get() == INVALID_HANDLE_VALUE) return;
    std::vector<PROCESSENTRY32W> all;
    PROCESSENTRY32W e = {};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32FirstW(snapshot.Get(), &e); ok; ok = Process32NextW(snapshot.Get(), &e)) all.push_back(e);
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& p : all) {
            auto self = members_.find(p.th32ProcessID);
            if (self != members_.end()) { self->second = p.szExeFile; continue; }
            if (members_.count(p.th32ParentProcessID)) { members_[p.th32ProcessID] = p.szExeFile; grew = true; }
        }
    }
}

std::wstring ProcessFamily::ImageOf(DWORD pid) const {
    auto it = members_.find(pid);
    return it == members_.end() ? std::wstring() : it->second;
}

namespace {

// Either a family or a single process id: `family` null means `pid`.
struct WindowSearch {
    const ProcessFamily* family;
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogs(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    bool ours = search->family ? search->family->Contains(pid) : pid == search->pid;
    if (ours && IsWindowVisible(hwnd) && ClassName(hwnd) == L"#32770") search->found.push_back(hwnd);
    return TRUE;
}

}  // namespace

std::vector<HWND> VisibleDialogsOf(DWORD pid) {
    WindowSearch search{nullptr, pid, {}};
    EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> VisibleDialogsOf(const ProcessFamily& family) {
    WindowSearch search{&family, 0, {}};
    EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace helper

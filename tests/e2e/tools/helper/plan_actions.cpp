#include "helper.h"

#include <cwchar>

#include "platform/win32_handles.h"

namespace helper {
namespace {

int ActionArgument(const std::wstring& action) {
    size_t colon = action.find(L':');
    return colon == std::wstring::npos ? 0 : _wtoi(action.c_str() + colon + 1);
}

void PressEscape(HWND hwnd) {
    GUITHREADINFO gti = {};
    gti.cbSize = sizeof gti;
    HWND target = hwnd;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &gti) && gti.hwndFocus) target = gti.hwndFocus;
    PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

void Shoot(HWND hwnd, const std::wstring& path) {
    Sleep(300);  // the previous actions repaint first
    int width = 0, height = 0;
    if (SaveScreenshot(hwnd, path, width, height))
        EmitLine("{\"shot\": " + JsonString(path) + ", \"width\": " + std::to_string(width) +
                 ", \"height\": " + std::to_string(height) + "}");
    else
        EmitLine("{\"error\": \"screenshot failed\", \"path\": " + JsonString(path) + "}");
}

// A plan line is split at blanks, so a path in it spells a blank "%20".
std::wstring DecodeBlanks(std::wstring path) {
    for (size_t at; (at = path.find(L"%20")) != std::wstring::npos;) path.replace(at, 3, L" ");
    return path;
}

DWORD OpenError(const std::wstring& path, DWORD access, DWORD share) {
    const platform::KernelHandle file(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Get() == INVALID_HANDLE_VALUE ? platform::LastErrorOr(kUnknownFailure) : 0;
}

// What another user who may write the folder could do to a file while the child holds it.
void Tamper(const std::wstring& path) {
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD write = OpenError(path, GENERIC_WRITE, shareAll);
    const std::wstring aside = path + L".swapped";
    DWORD rename = MoveFileW(path.c_str(), aside.c_str()) ? 0 : platform::LastErrorOr(kUnknownFailure);
    if (rename == 0) MoveFileW(aside.c_str(), path.c_str());
    const DWORD removed = DeleteFileW(path.c_str()) ? 0 : platform::LastErrorOr(kUnknownFailure);
    const DWORD read = OpenError(path, GENERIC_READ, shareAll);
    EmitLine("{\"tamper\": " + JsonString(path) + ", \"write\": " + std::to_string(write) + ", \"rename\": " +
             std::to_string(rename) + ", \"delete\": " + std::to_string(removed) + ", \"read\": " +
             std::to_string(read) + "}");
}

bool StartsWith(const std::wstring& action, const wchar_t* prefix) { return action.rfind(prefix, 0) == 0; }

}  // namespace

void Perform(HWND hwnd, const std::wstring& action, const Deadline& deadline) {
    if (StartsWith(action, L"press:")) {
        int id = ActionArgument(action);
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, id)));
    } else if (StartsWith(action, L"click:")) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(GetDlgItem(hwnd, ActionArgument(action)), BM_CLICK, 0, 0, SMTO_NORMAL, deadline.LeftMs(),
                            &ignored);
    } else if (action == L"dump") {
        if (IsWindow(hwnd)) EmitLine("{\"dump\": " + DescribeWindow(hwnd, deadline) + "}");
    } else if (action == L"esc") {
        PressEscape(hwnd);
    } else if (action == L"close") {
        PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (StartsWith(action, L"shot:")) {
        Shoot(hwnd, action.substr(5));
    } else if (StartsWith(action, L"tamper:")) {
        Tamper(DecodeBlanks(action.substr(7)));
    } else {
        EmitLine("{\"error\": \"unknown plan action\", \"action\": " + JsonString(action) + "}");
    }
    Sleep(100);
}

void Dismiss(HWND hwnd) {
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Sleep(300);
    if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) return;
    PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    Sleep(300);
    if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) return;
    HWND last = nullptr;
    for (HWND c : ChildrenInZOrder(hwnd))
        if (IsWindowVisible(c) && lstrcmpiW(ClassName(c).c_str(), L"Button") == 0) last = c;
    if (last) PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(last), BN_CLICKED), reinterpret_cast<LPARAM>(last));
}

}  // namespace helper

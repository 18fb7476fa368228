#include "helper.h"

#include <cstdio>


namespace helper {

std::wstring WindowText(HWND hwnd) {
    wchar_t buf[8192];
    int len = InternalGetWindowText(hwnd, buf, 8192);
    return std::wstring(buf, len > 0 ? len : 0);
}

std::wstring ClassName(HWND hwnd) {
    wchar_t buf[256];
    int n = GetClassNameW(hwnd, buf, 256);
    return std::wstring(buf, n > 0 ? n : 0);
}

std::vector<HWND> ChildrenInZOrder(HWND parent) {
    std::vector<HWND> out;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
    return out;
}

namespace {

std::string OwnerJson(HWND hwnd) {
    HWND owner = GetWindow(hwnd, GW_OWNER);
    if (!owner) return "null";
    return "{\"class\": " + JsonString(ClassName(owner)) + ", \"visible\": " + JsonBool(IsWindowVisible(owner)) +
           ", \"enabled\": " + JsonBool(IsWindowEnabled(owner)) + "}";
}

std::string ButtonsJson(HWND hwnd) {
    std::string out = "[";
    for (HWND c : ChildrenInZOrder(hwnd)) {
        if (!IsWindowVisible(c) || lstrcmpiW(ClassName(c).c_str(), L"Button") != 0) continue;
        if (out.size() > 1) out += ", ";
        out += "{\"id\": " + std::to_string(GetDlgCtrlID(c)) + ", \"text\": " + JsonString(WindowText(c)) + "}";
    }
    return out + "]";
}

std::string ControlsJson(HWND hwnd) {
    std::string out = "[";
    for (HWND c : ChildrenInZOrder(hwnd)) {
        if (out.size() > 1) out += ", ";
        DWORD style = static_cast<DWORD>(GetWindowLongW(c, GWL_STYLE));
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(style));
        bool checked = SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED &&
                       lstrcmpiW(ClassName(c).c_str(), L"Button") == 0;
        out += "{\"id\": " + std::to_string(GetDlgCtrlID(c)) + ", \"class\": " + JsonString(ClassName(c)) +
               ", \"text\": " + JsonString(WindowText(c)) + ", \"style\": \"" + hex + "\", \"visible\": " +
               JsonBool(IsWindowVisible(c)) + ", \"enabled\": " + JsonBool(IsWindowEnabled(c)) +
               ", \"checked\": " + JsonBool(checked) + "}";
    }
    return out + "]";
}

// A message box is a #32770 whose children are its text, its icon and its buttons only.
bool IsMessageBox(HWND hwnd) {
    bool hasText = false;
    for (HWND c : ChildrenInZOrder(hwnd)) {
        int id = GetDlgCtrlID(c);
        if (id == kMessageTextId) hasText = true;
        else if (id != kMessageIconId && id != kWineMessageIconId && !(id >= IDOK && id <= IDCONTINUE) && id != 9 /* IDHELP */) return false;
    }
    return hasText;
}

// How often a window whose texts are not set yet is looked at again.
const DWORD kSettleLookMs = 20;

// A message box always has a caption and a text; a dialog's texts are its template's and its
// procedure's, set once its thread has handled WM_INITDIALOG.
bool TextsSet(HWND hwnd) {
    HWND text = GetDlgItem(hwnd, kMessageTextId);
    return !IsMessageBox(hwnd) || (!WindowText(hwnd).empty() && text && !WindowText(text).empty());
}

}  // namespace

bool WaitUntilSettled(HWND hwnd, const Deadline& deadline) {
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, deadline.LeftMs(), &ignored)) return false;
    while (!TextsSet(hwnd)) {
        if (!IsWindow(hwnd) || deadline.Passed()) return false;
        Sleep(kSettleLookMs);
    }
    return true;
}

std::string DescribeWindow(HWND hwnd, const Deadline& deadline) {
    WaitUntilSettled(hwnd, deadline);
    bool box = IsMessageBox(hwnd);
    std::string s = "{\"kind\": \"" + std::string(box ? "box" : "dialog") + "\"";
    s += ", \"title\": " + JsonString(WindowText(hwnd));
    HWND text = GetDlgItem(hwnd, kMessageTextId);
    s += ", \"text\": " + (text ? JsonString(WindowText(text)) : std::string("null"));
    s += ", \"buttons\": " + ButtonsJson(hwnd);
    s += ", \"icon\": " + IconKind(hwnd, deadline);
    s += ", \"owner\": " + OwnerJson(hwnd);
    if (!box) s += ", \"controls\": " + ControlsJson(hwnd);
    return s + "}";
}

}  // namespace helper

// The selftest mode: the helper shows message boxes of its own, one per icon, and one whose thread
// is busy once the box is visible, and reads them the way it reads a child's. The bench runs it once
// per session and stops when an icon or the busy box is misread, since every check of the scenarios
// would then mean nothing.
#include <string>

#include "helper.h"
#include "platform/win32_handles.h"

namespace helper {
namespace {

// How long the helper looks for its own box to appear (100 looks, 50 ms apart).
const int kBoxLooks = 100;
const DWORD kBoxLookMs = 50;
const DWORD kBoxClosedMs = 5000;
// How long the helper may take to read one of its boxes.
const DWORD kBoxReadMs = 60000;
// How long the busy box's thread does not answer once its box is shown: longer than any fixed pause
// or message time-out a reader might have used, as a process started under the emulator can be.
const DWORD kBusyMs = 3000;
const UINT kBusyBox = 0xFFFFFFFF;  // not a style: the busy box

DWORD WINAPI ShowSelfTestBox(void* style) {
    MessageBoxW(nullptr, L"e2e self-test", L"e2e self-test", static_cast<UINT>(reinterpret_cast<UINT_PTR>(style)));
    return 0;
}

// Keeps the thread of a box busy for kBusyMs right after its window became visible.
LRESULT CALLBACK BusyOnceShown(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_WINDOWPOSCHANGED && GetParent(sent->hwnd) == nullptr &&
        (reinterpret_cast<const WINDOWPOS*>(sent->lParam)->flags & SWP_SHOWWINDOW) != 0)
        Sleep(kBusyMs);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

DWORD WINAPI ShowBusyBox(void*) {
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, BusyOnceShown, nullptr, GetCurrentThreadId());
    MessageBoxW(nullptr, L"e2e busy box", L"e2e busy", MB_OK | MB_TOPMOST);
    if (hook) UnhookWindowsHookEx(hook);
    return 0;
}

HWND WaitForVisibleDialog(DWORD threadId) {
    for (int i = 0; i < kBoxLooks; ++i) {
        for (HWND hwnd : VisibleDialogsOf(GetCurrentProcessId())) {
            if (GetWindowThreadProcessId(hwnd, nullptr) == threadId) return hwnd;
        }
        Sleep(kBoxLookMs);
    }
    return nullptr;
}

// Shows one box with the given style (or the busy box) in a worker thread, reads it like a child's
// (its icon, or the busy box whole), closes it.
std::string ProbeBox(UINT style) {
    DWORD tid = 0;
    const bool busy = style == kBusyBox;
    const platform::KernelHandle thread(CreateThread(nullptr, 0, busy ? ShowBusyBox : ShowSelfTestBox,
                                                     reinterpret_cast<void*>(static_cast<UINT_PTR>(style)), 0, &tid));
    HWND hwnd = thread.Get() ? WaitForVisibleDialog(tid) : nullptr;
    if (!hwnd) return "\"no box\"";
    const Deadline deadline(kBoxReadMs);
    std::string seen = busy ? DescribeWindow(hwnd, deadline) : (WaitUntilSettled(hwnd, deadline), IconKind(hwnd, deadline));
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    WaitForSingleObject(thread.Get(), kBoxClosedMs + (busy ? kBusyMs : 0));
    return seen;
}

}  // namespace

int SelfTest() {
    const struct { const char* name; UINT style; } probes[] = {
        {"error", MB_ICONERROR}, {"warning", MB_ICONWARNING}, {"information", MB_ICONINFORMATION},
        {"question", MB_ICONQUESTION}, {"none", 0},
    };
    std::string icons;
    for (const auto& p : probes) {
        // MB_TOPMOST as the run flow asks for its boxes, so the icon is read as in the scenarios.
        std::string seen = ProbeBox(MB_OK | MB_TOPMOST | p.style);
        icons += std::string(icons.empty() ? "" : ", ") + "\"" + p.name + "\": " + seen;
    }
    EmitLine("{\"icons\": {" + icons + "}, \"busy_box\": " + ProbeBox(kBusyBox) + "}");
    return 0;
}

}  // namespace helper

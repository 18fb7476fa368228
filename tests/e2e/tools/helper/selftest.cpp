// The selftest mode: the helper shows message boxes of its own, one per icon, and reads them
// the way it reads a child's. The bench runs it once per session and stops when an icon is
// misread, since every icon check of the scenarios would then mean nothing.
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

DWORD WINAPI ShowSelfTestBox(void* style) {
    MessageBoxW(nullptr, L"e2e self-test", L"e2e self-test", static_cast<UINT>(reinterpret_cast<UINT_PTR>(style)));
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

// Shows one box with the given style in a worker thread, reads its icon like a child's, closes it.
std::string ProbeBox(UINT style) {
    DWORD tid = 0;
    const platform::KernelHandle thread(
        CreateThread(nullptr, 0, ShowSelfTestBox, reinterpret_cast<void*>(static_cast<UINT_PTR>(style)), 0, &tid));
    HWND hwnd = thread.Get() ? WaitForVisibleDialog(tid) : nullptr;
    if (!hwnd) return "\"no box\"";
    const Deadline deadline(kBoxReadMs);
    WaitUntilSettled(hwnd, deadline);
    std::string icon = IconKind(hwnd, deadline);
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    WaitForSingleObject(thread.Get(), kBoxClosedMs);
    return icon;
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
    EmitLine("{\"icons\": {" + icons + "}}");
    return 0;
}

}  // namespace helper

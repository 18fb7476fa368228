#include <windows.h>

#include <vector>

#include "platform/process.h"
#include "platform/win32_handles.h"

namespace platform {
namespace {

// Every kind of message Windows 2000 knows. MinGW's QS_ALLINPUT adds QS_RAWINPUT (0x400, Windows XP)
// whatever _WIN32_WINNT says, and Windows 2000 fails a wait whose mask holds a bit it does not know:
// every child would then count as lost while it goes on installing.
constexpr DWORD kWakeOnAnyMessage =
    QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_SENDMESSAGE | QS_HOTKEY;
static_assert((kWakeOnAnyMessage & ~DWORD{0xFF}) == 0, "a wake bit that Windows 2000 refuses");

// Waits for `process` to end while the thread's messages keep flowing: this thread owns top-level
// windows, and a child (or a custom action of msiexec) that broadcasts a message with SendMessage
// waits until every top-level window has answered. Returns WAIT_OBJECT_0 or WAIT_FAILED.
DWORD WaitAnswering(HANDLE process)
{
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, kWakeOnAnyMessage);
        if (woken != WAIT_OBJECT_0 + 1) return woken == WAIT_OBJECT_0 ? WAIT_OBJECT_0 : WAIT_FAILED;
        MSG message;
        // Sent messages are delivered inside PeekMessageW; posted ones are dispatched to their window.
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
}

}  // namespace

ProcessResult RunProcess(const std::wstring& commandLine)
{
    // CreateProcessW may write into the command line, so it gets a private copy.
    std::vector<wchar_t> writableCommandLine(commandLine.begin(), commandLine.end());
    writableCommandLine.push_back(L'\0');

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child = {};
    if (!CreateProcessW(nullptr, writableCommandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &child)) {
        return {LastErrorOr(ERROR_INVALID_FUNCTION), ChildOutcome::NotStarted};
    }
    // Destroyed in reverse order: the process handle is closed first, then the thread's.
    const KernelHandle thread(child.hThread);
    const KernelHandle process(child.hProcess);

    // A failed wait or read must not pass for the child's success, or for an exit code.
    if (WaitAnswering(process.Get()) == WAIT_FAILED) return {LastErrorOr(ERROR_INVALID_FUNCTION), ChildOutcome::Lost};
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.Get(), &exitCode)) return {LastErrorOr(ERROR_INVALID_FUNCTION), ChildOutcome::Lost};
    return {exitCode, ChildOutcome::Exited};
}

}  // namespace platform

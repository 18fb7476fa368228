#include "helper.h"

#include <cstdio>
#include <string>


namespace helper {
namespace {

// The exit code of a child the helper had to kill.
const DWORD kKilledExitCode = 0xDEADu;

// How long a killed child is given to be gone.
const DWORD kKillWaitMs = 5000;

// The desktop children start on ("station\\desktop"); empty: the helper's own.
std::wstring childDesktop;

// Quoting that CommandLineToArgvW undoes exactly.
std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') { ++backslashes; continue; }
        if (c == L'"') out.append(backslashes * 2 + 1, L'\\');
        else out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

}  // namespace

bool StartChild(int argc, wchar_t** argv, Child& child) {
    std::wstring cmd = QuoteArgument(argv[0]);
    for (int i = 1; i < argc; ++i) cmd += L" " + QuoteArgument(argv[i]);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (!childDesktop.empty()) si.lpDesktop = &childDesktop[0];
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(argv[0], &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &started)) {
        EmitLine("{\"error\": \"CreateProcessW failed\", \"code\": " +
                 std::to_string(platform::LastErrorOr(kUnknownFailure)) + "}");
        return false;
    }
    *child.process.Receive() = started.hProcess;
    *child.thread.Receive() = started.hThread;
    child.id = started.dwProcessId;
    return true;
}

bool StartChildrenInHiddenWindowStation() {
    // A window station a program creates has no visible display surfaces. Its handles stay open for
    // the helper's life, so that the station and its desktop are there when the child starts.
    const HWINSTA station = CreateWindowStationW(L"E2EHidden", 0, WINSTA_ALL_ACCESS, nullptr);
    if (station == nullptr) return false;
    const HWINSTA own = GetProcessWindowStation();
    if (!SetProcessWindowStation(station)) return false;
    const HDESK desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetProcessWindowStation(own);
    if (desktop == nullptr) return false;
    childDesktop = L"E2EHidden\\Default";
    return true;
}

bool WaitOrKill(HANDLE process, DWORD waitMs) {
    if (WaitForSingleObject(process, waitMs) != WAIT_TIMEOUT) return false;
    TerminateProcess(process, kKilledExitCode);
    WaitForSingleObject(process, kKillWaitMs);
    return true;
}

void EmitExit(HANDLE process, bool timedOut, double seconds) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    std::string line = "{\"exit\": " + std::to_string(static_cast<unsigned long>(code));
    if (timedOut) line += ", \"timeout\": true";
    if (seconds >= 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%.6f", seconds);
        line += std::string(", \"seconds\": ") + text;
    }
    EmitLine(line + "}");
}

double SecondsNow() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace helper

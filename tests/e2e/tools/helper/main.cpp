// e2e_helper: the test bench's hands and eyes inside a Wine prefix.
//
// Every mode prints JSON, one object per line, UTF-8, on standard output.
//
//   e2e_helper drive [--timeout <seconds>] [--unset <variable>]... <plan-file> -- <program> [args...]
//       Starts <program> (a full path) and, until it ends, watches for visible top-level dialog
//       windows (class "#32770") of its process and of the processes it starts (msiexec's own
//       boxes; "process" and "pid" name the process that owns a window). Each new window is printed
//       as one line {"window": {...}, "step": <the plan line>} and then handled by the next line of
//       the plan file. When the plan is used up, a window is printed with "unexpected": true and
//       dismissed so the run cannot hang. The last line is {"exit": <full 32-bit exit code>} (plus
//       "timeout": true when the child had to be killed after <seconds>, 60 by default). --unset
//       removes an environment variable from what <program> inherits (TMP, to see a run without a
//       temporary directory).
//   e2e_helper run [--timeout <seconds>] [--unset <variable>]... [--hidden-station] -- <program> [args...]
//       Starts <program>, waits, prints {"exit": <code>, "seconds": <from its start to its end>}
//       (plus "timeout": true when it had to be killed). The exit status Wine hands on to Linux
//       keeps only 8 bits; this is the full code. --hidden-station starts it in a window station
//       of its own that nobody sees, as a service or a SYSTEM run in session 0 is.
//   e2e_helper product <UpgradeCode>
//       Prints the first related product, its state, "VersionString", "InstalledProductName", the
//       "PackageName" of its source list and the state of feature "NPZAREL", as Windows Installer
//       sees them; {"product": null, "enum_status": <code>} when there is none.
//   e2e_helper key <query|create|delete> <HKCU subkey>
//       Looks at ({"exists": ...}), creates or deletes ({"status": <code>}) a key of
//       HKEY_CURRENT_USER in the 32-bit registry view.
//   e2e_helper version
//       Prints the Windows version programs of the prefix are told: {"major", "minor", "build",
//       "service_pack", "product_type"} (RtlGetVersion: the version itself, whatever the manifest).
//   e2e_helper sleep <seconds>
//       Does nothing for a while: a bystander process whose end shows that a restart ended the prefix.
//   e2e_helper squat <name> <SDDL> <seconds>
//       Makes the mutex <name> under the descriptor <SDDL>, owned by this process, prints
//       {"squatted": <name>, "owner": <the owner SID Windows reports>} and holds it for <seconds>: a
//       user who made an installation lock's name first.
//   e2e_helper selftest
//       Shows boxes of its own, one with each system icon and one without, and one whose thread is
//       busy for 3 s once it is shown; reads them the way it reads a child's, and prints
//       {"icons": {<icon asked for>: <icon seen>, ...}, "busy_box": <the busy box as a window is described>}.
//
// A window is described as {"kind": "box" or "dialog", "title", "text", "buttons": [{"id",
// "text"}], "icon", "owner": null or {"class", "visible", "enabled"}} and, for a dialog,
// "controls": [{"id", "class", "text", "style", "visible", "enabled", "checked"}].
// The icon is "error", "warning", "information", "question", "none", or "unknown" (an icon is
// shown that is none of the four system icons); see icon_reading.cpp for how it is read.
//
// Plan file: one line per expected window, in order of appearance; blank lines and lines
// starting with '#' are skipped. A line is a list of actions separated by blanks:
//   press:<id>   post WM_COMMAND <id> to the window (a message-box button)
//   click:<id>   post BM_CLICK to the child control <id> (a dialog button, radio or check box)
//   dump         print the window again as {"dump": {...}} (after the previous actions settled)
//   esc          post an Escape key press to the focused control
//   close        post WM_SYSCOMMAND SC_CLOSE
//   shot:<path>  capture the window from the screen into a 32-bit BMP file (no blanks in <path>);
//                prints {"shot": <path>, "width": w, "height": h}
//   tamper:<path>  try to open <path> for writing, to rename it and to delete it, then to read it
//                ("%20" stands for a blank in <path>); prints {"tamper": <path>, "write": e,
//                "rename": e, "delete": e, "read": e}, each e the Windows error of the try (0: it worked)
// An action it does not know is reported as {"error": "unknown plan action", ...}.
//
// What each file of this folder holds: tests/e2e/README.md.

#include <windows.h>

#include <cwchar>
#include <string>

#include "helper.h"

namespace {

// A run's time-out when --timeout is not given.
const DWORD kDefaultTimeoutMs = 60000;
const DWORD kMsPerSecond = 1000;

int Usage() {
    helper::EmitLine(
        "{\"error\": \"usage: drive [--timeout s] [--unset name]... <plan> -- <program> [args] | run [--timeout s] "
        "[--unset name]... -- <program> "
        "[args] | product <UpgradeCode> | key <query|create|delete> <subkey> | version | selftest | sleep <s> | "
        "squat <name> <SDDL> <s>\"}");
    return 2;
}

// Parses "[--timeout s] [--unset name]... [--hidden-station] [<plan>] -- program args"; returns the
// index of the program or 0. --unset and --hidden-station take effect at once: the child inherits
// this process's environment and starts where it is told.
int ParseLaunch(int argc, wchar_t** argv, int first, bool wantPlan, DWORD& timeoutMs, const wchar_t*& plan) {
    int i = first;
    for (;;) {
        if (i + 1 < argc && lstrcmpW(argv[i], L"--timeout") == 0) {
            timeoutMs = static_cast<DWORD>(_wtoi(argv[i + 1])) * kMsPerSecond;
        } else if (i + 1 < argc && lstrcmpW(argv[i], L"--unset") == 0) {
            SetEnvironmentVariableW(argv[i + 1], nullptr);
        } else if (i < argc && lstrcmpW(argv[i], L"--hidden-station") == 0) {
            if (!helper::StartChildrenInHiddenWindowStation()) return 0;
            i += 1;
            continue;
        } else {
            break;
        }
        i += 2;
    }
    if (wantPlan) {
        if (i >= argc) return 0;
        plan = argv[i++];
    }
    if (i + 1 >= argc || lstrcmpW(argv[i], L"--") != 0) return 0;
    return i + 1;
}

int Launch(const std::wstring& mode, int argc, wchar_t** argv) {
    DWORD timeoutMs = kDefaultTimeoutMs;
    const wchar_t* plan = nullptr;
    const bool drive = mode == L"drive";
    int program = ParseLaunch(argc, argv, 2, drive, timeoutMs, plan);
    if (!program) return Usage();
    return drive ? helper::Drive(timeoutMs, plan, argc - program, argv + program)
                 : helper::Run(timeoutMs, argc - program, argv + program);
}

int Idle(const wchar_t* seconds) {
    Sleep(static_cast<DWORD>(_wtoi(seconds)) * kMsPerSecond);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    std::wstring mode = argv[1];
    if (mode == L"drive" || mode == L"run") return Launch(mode, argc, argv);
    if (mode == L"selftest" && argc == 2) return helper::SelfTest();
    if (mode == L"sleep" && argc == 3) return Idle(argv[2]);
    if (mode == L"product" && argc == 3) return helper::Product(argv[2]);
    if (mode == L"key" && argc == 4) return helper::Key(argv[2], argv[3]);
    if (mode == L"version" && argc == 2) return helper::WindowsVersion();
    if (mode == L"squat" && argc == 5) return helper::Squat(argv[2], argv[3], static_cast<DWORD>(_wtoi(argv[4])));
    return Usage();
}

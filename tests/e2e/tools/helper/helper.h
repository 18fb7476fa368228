// What the files of e2e_helper share, one section for each file that defines it. The usage text
// at the top of main.cpp tells what each mode prints.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "platform/win32_handles.h"

namespace helper {

// Reported when a failed call leaves no last error: 0 would read as "it worked".
const DWORD kUnknownFailure = ERROR_GEN_FAILURE;

// The time a run has left: every wait for the child's windows is bounded by it, so that a run that
// hangs ends with its time-out, never with a read made too early.
class Deadline {
public:
    explicit Deadline(DWORD ms) : start_(GetTickCount()), ms_(ms) {}
    DWORD LeftMs() const {
        DWORD spent = GetTickCount() - start_;
        return spent < ms_ ? ms_ - spent : 0;
    }
    bool Passed() const { return LeftMs() == 0; }
private:
    DWORD start_;
    DWORD ms_;
};

// ---- json_output.cpp
// How every mode of the helper reports: JSON objects, one a line, UTF-8, on standard output.

// A JSON string literal, quotes included, of a Windows (UTF-16) text.
std::string JsonString(const std::wstring& text);
const char* JsonBool(bool value);

// One line on standard output, written at once and unbuffered.
void EmitLine(const std::string& line);

// ---- The modes, as main.cpp dispatches them, each defined in the file it names.

// drive.cpp: starts the program and answers its windows from the plan file.
int Drive(DWORD timeoutMs, const wchar_t* planPath, int argc, wchar_t** argv);
// drive.cpp: starts the program and reports its exit code and how long it ran.
int Run(DWORD timeoutMs, int argc, wchar_t** argv);
// msi_registry_queries.cpp: Windows Installer's view of the first product related to the upgrade code.
int Product(const wchar_t* upgradeCode);
// msi_registry_queries.cpp: query, create or delete a key of HKEY_CURRENT_USER (32-bit view).
int Key(const wchar_t* op, const wchar_t* subkey);

// windows_version.cpp: the Windows version, service pack and product type programs are told.
int WindowsVersion();
// selftest.cpp: the icon reading, proven on boxes of the helper's own.
int SelfTest();
// lock_squatter.cpp: makes the mutex `name` under the descriptor `sddl`, holds it and prints its owner.
int Squat(const wchar_t* name, const wchar_t* sddl, DWORD seconds);

// ---- children.cpp
// Starting the program under test and watching it end: its full 32-bit exit code, whatever
// Wine hands on to Linux.

struct Child {
    platform::KernelHandle process;
    platform::KernelHandle thread;
    DWORD id = 0;
};

// Starts argv[0] (a full path) with the arguments quoted so that CommandLineToArgvW gives them
// back exactly; on failure prints {"error": "CreateProcessW failed", "code": e} and returns false.
bool StartChild(int argc, wchar_t** argv, Child& child);

// Makes the children start in a window station of their own that nobody sees (no WSF_VISIBLE), as
// a service or a deployment tool's SYSTEM run in session 0 does; false when it cannot be made.
bool StartChildrenInHiddenWindowStation();

// Waits for the child, or kills it once `waitMs` has passed; true when it had to be killed.
bool WaitOrKill(HANDLE process, DWORD waitMs);

// Prints {"exit": <code>} with "timeout": true when the child was killed, and "seconds" when
// `seconds` (how long the child ran) is measured.
void EmitExit(HANDLE process, bool timedOut, double seconds = -1);

// A steady clock in seconds, for measuring how long a child ran.
double SecondsNow();

// ---- process_family.cpp
// Finding the windows to read: the child's process family, and the visible dialog windows
// (class "#32770") its members own.

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

// ---- window_reading.cpp
// Reading a window of another process: its texts, class, controls and owner, and the one JSON
// object the helper prints for a message box or a dialog.

// The control ids of a message box's text and icon.
const int kMessageTextId = 0xFFFF;
const int kMessageIconId = 0x14;
const int kWineMessageIconId = 0x440;  // Wine's message-box template names its icon control stc1

// The text Windows keeps for the window (a caption, a control's text), read without a message to
// its thread, which may be busy.
std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);
std::vector<HWND> ChildrenInZOrder(HWND parent);

// Waits until the window's thread has handled a message since the window became visible: it then
// runs its (modal) message loop, so its dialog procedure has set every text (a message box's
// caption and text in WM_INITDIALOG) and handled every message sent to it before. A message box is
// also waited for until its caption and text read as set. False when the window is gone or the
// deadline passed first.
bool WaitUntilSettled(HWND hwnd, const Deadline& deadline);

// {"kind": "box" or "dialog", "title", "text", "buttons", "icon", "owner"} and, for a dialog,
// "controls": everything the bench checks of a window. Read once the window has settled.
std::string DescribeWindow(HWND hwnd, const Deadline& deadline);

// ---- icon_reading.cpp
// Which system icon a message box shows, judged from the screen.
//
// STM_GETICON on the box's icon control (id 0x14; Wine's template uses 0x440) tells whether an
// icon is set; which system icon it is, is judged from a screen capture of the control, because
// icon handles are private to each process under Wine.

// A JSON string: "error", "warning", "information", "question", "none" (no icon shown), or
// "unknown" (an icon is shown that is none of the four system icons). An icon not yet painted is
// read again until it shows or the deadline passes.
std::string IconKind(HWND box, const Deadline& deadline);

// ---- plan.cpp
// The plan file of the drive mode: one step per expected window, each a list of actions
// (the syntax is in main.cpp's usage text).

using PlanStep = std::vector<std::wstring>;  // the actions that answer one window, in order
using Plan = std::vector<PlanStep>;

// Reads a UTF-8 plan file, skipping blank lines and lines starting with '#'; false when the file
// cannot be opened.
bool ReadPlan(const wchar_t* path, Plan& plan);

// ---- plan_actions.cpp
// What the drive mode does to a window: the plan's actions, and the dismissal of a window the
// plan has no step for.

// Performs one plan action (press:, click:, dump, esc, close, shot:, tamper:) on the window.
// A dialog's click is sent and so handled before the next action (the product's dialog runs no
// nested modal loop from a click; one that did would hold the helper until the deadline); a
// message box's button is posted, its box ending the modal loop it runs.
void Perform(HWND hwnd, const std::wstring& action, const Deadline& deadline);

// A window nobody planned for: Cancel, then Close, then its last button, until it is gone.
void Dismiss(HWND hwnd);

// ---- screenshot.cpp
// What the screen shows of a window, saved as a BMP file for a person to look at (plan action shot:).

// Writes a top-down 32-bit BMP of the window's rectangle to `path`; false when nothing was saved.
bool SaveScreenshot(HWND hwnd, const std::wstring& path, int& width, int& height);

}  // namespace helper

// The drive and run modes: a child is started and watched until it ends; in drive mode every
// new dialog window of its process family is read, printed and answered from the plan.
#include <set>

#include "helper.h"

namespace helper {
namespace {

// How often the drive mode looks for new windows while the child runs.
const DWORD kPollMs = 50;

// Prints the window with the process that owns it, then answers it with the plan's next step,
// or dismisses it when the plan is used up so that the run cannot hang.
void HandleWindow(HWND hwnd, const ProcessFamily& family, const Plan& plan, size_t& next, const Deadline& deadline) {
    if (!IsWindow(hwnd)) return;
    std::string description = DescribeWindow(hwnd, deadline);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    description.insert(description.size() - 1, ", \"process\": " + JsonString(family.ImageOf(pid)) +
                                                   ", \"pid\": " + std::to_string(pid));
    if (next >= plan.size()) {
        EmitLine("{\"window\": " + description + ", \"unexpected\": true}");
        Dismiss(hwnd);
        return;
    }
    const PlanStep& step = plan[next++];
    std::wstring stepText;
    for (const auto& a : step) stepText += (stepText.empty() ? L"" : L" ") + a;
    EmitLine("{\"window\": " + description + ", \"step\": " + JsonString(stepText) + "}");
    for (const auto& a : step) Perform(hwnd, a, deadline);
}

}  // namespace

int Drive(DWORD timeoutMs, const wchar_t* planPath, int argc, wchar_t** argv) {
    Plan plan;
    if (!ReadPlan(planPath, plan)) {
        EmitLine("{\"error\": \"cannot read plan\", \"path\": " + JsonString(planPath) + "}");
        return 2;
    }
    Child child;
    if (!StartChild(argc, argv, child)) return 2;
    std::set<HWND> seen;
    size_t next = 0;
    ProcessFamily family(child.id);
    const Deadline deadline(timeoutMs);
    while (WaitForSingleObject(child.process.Get(), kPollMs) == WAIT_TIMEOUT) {
        if (deadline.Passed()) {
            WaitOrKill(child.process.Get(), 0);
            EmitExit(child.process.Get(), true);
            return 0;
        }
        family.Refresh();
        for (HWND hwnd : VisibleDialogsOf(family)) {
            if (seen.insert(hwnd).second) HandleWindow(hwnd, family, plan, next, deadline);
        }
    }
    EmitExit(child.process.Get(), false);
    return 0;
}

int Run(DWORD timeoutMs, int argc, wchar_t** argv) {
    Child child;
    const double start = SecondsNow();
    if (!StartChild(argc, argv, child)) return 2;
    bool killed = WaitOrKill(child.process.Get(), timeoutMs);
    EmitExit(child.process.Get(), killed, SecondsNow() - start);
    return 0;
}

}  // namespace helper

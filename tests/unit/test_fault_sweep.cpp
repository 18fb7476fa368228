// Every way a whole run can fail. Each representative run is repeated once for every platform call
// it makes that can fail, with that one call failing. Whatever fails, the run ends and leaves
// nothing open; a failure the program ignores by design changes nothing a user or a script sees;
// any other failure ends the run with a nonzero exit code, no success message and no restart.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "app/run_flow.h"
#include "res/resource.h"
#include "sim_test.h"

namespace {

const std::wstring kPackage = L"C:\\Layout\\zarelcom-x64.msi";
// Each call fails with each of these: a code the program gives no meaning of its own, and the one
// a failed start reports most often, which from a distribution's setup that ran means success.
constexpr uint32_t kSweepErrors[] = {1359, 3};  // ERROR_INTERNAL_ERROR, ERROR_PATH_NOT_FOUND

// What a user and a calling script can see of a run. Texts are left out: a message that cannot be
// loaded leaves its box empty, and the texts have tests of their own.
struct Outcome {
    uint32_t exitCode = 0;
    std::vector<uint32_t> boxStyles;  // every box asked for, shown or not
    std::vector<std::wstring> commandLines;
    int restartRequests = 0;
    bool marker = false;

    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o)
{
    out << "exit " << o.exitCode << ", " << o.boxStyles.size() << " boxes, " << o.commandLines.size()
        << " children, " << o.restartRequests << " restarts, marker " << (o.marker ? "left" : "absent");
    return out;
}

struct RunCase {
    const char* name;
    void (*layout)();
    std::vector<std::wstring> switches;
};

void PlugInPackage(const std::wstring& productCode, const std::wstring& version)
{
    sim::AddPackage(kPackage, productCode, kUpgradeCode, version);
}

const RunCase kCases[] = {
    {"a fresh install", [] { PlugInPackage(kProductCodeA, L"2.0.13000"); }, {}},
    {"an accepted upgrade, on Windows XP",
     [] {
         sim::machine().windows = {5, 1, 3};  // where the installed product's SourceHash file goes
         PlugInPackage(kProductCodeB, L"2.0.13000");
         sim::InstallProduct(kProductCodeA, kUpgradeCode, L"2.0.12888");
     },
     {}},
    {"a same-version reinstall",
     [] {
         PlugInPackage(kProductCodeA, L"2.0.13000");
         sim::InstallProduct(kProductCodeA, kUpgradeCode, L"2.0.13000");
     },
     {}},
    {"a newer version installed",
     [] {
         PlugInPackage(kProductCodeA, L"2.0.12888");
         sim::InstallProduct(kProductCodeA, kUpgradeCode, L"2.0.13000");
     },
     {}},
    {"CSP, UEC CSP and the plug-in, with the dialog",
     [] {
         PlugInPackage(kProductCodeA, L"2.0.13000");
         sim::machine().dialog.clicks = {IDC_OPTIONS, IDC_KC2, IDC_NEXT};
     },
     {L"-csp", L"-selectDlg", L"-ucsp"}},
    {"an accepted restart",
     [] {
         PlugInPackage(kProductCodeA, L"2.0.13000");
         sim::machine().exitCodes = {3010};
     },
     {}},
    {"a marker left by -norestart, silent",
     [] {
         PlugInPackage(kProductCodeA, L"2.0.13000");
         sim::machine().registryKeys.insert(L"software\\needbstrreboot");
     },
     {L"-silent"}},
    {"a restart held back by -norestart",
     [] {
         PlugInPackage(kProductCodeA, L"2.0.13000");
         sim::machine().exitCodes = {3010};
     },
     {L"-norestart"}},
    {"a fresh install beside a lock's name a user made first",
     [] {
         PlugInPackage(kProductCodeA, L"2.0.13000");
         sim::machine().locksMadeByOthers.insert(L"Global\\KestrovaPellarisPlugInInstallation");
     },
     {}},
};

// The failed box, if a message box was the call that failed.
const sim::Box* FailedBox()
{
    for (const sim::Box& box : sim::machine().boxes) {
        if (!box.shown) return &box;
    }
    return nullptr;
}

bool IsOkBox(const sim::Box& box) { return (box.style & 0xF) == 0; }

bool IsOneOf(const std::wstring& text, std::initializer_list<uint16_t> messages)
{
    return std::any_of(messages.begin(), messages.end(), [&](uint16_t id) { return text == sim::CatalogueText(id); });
}

bool IsConfirmation(const sim::Box& box)
{
    return IsOneOf(box.text, {MSG_CONFIRM_PLUGIN, MSG_CONFIRM_PLUGIN_CSP, MSG_CONFIRM_PLUGIN_UCSP,
                              MSG_CONFIRM_PLUGIN_CSP_UCSP});
}

bool IsUpdateQuestion(const sim::Box& box) { return box.text.rfind(L"Будет произведено обновление ", 0) == 0; }

bool IsSuccessMessage(const std::wstring& text)
{
    return IsOneOf(text, {MSG_SUCCESS_PLUGIN, MSG_SUCCESS_PLUGIN_CSP, MSG_SUCCESS_PLUGIN_UCSP, MSG_SUCCESS_PLUGIN_CSP_UCSP,
                          MSG_RESTART_PLUGIN, MSG_RESTART_PLUGIN_CSP, MSG_RESTART_PLUGIN_UCSP,
                          MSG_RESTART_PLUGIN_CSP_UCSP});
}

// What a run must still show when a call fails that the program does not depend on.
enum class Expect {
    SameOutcome,
    RestartStillDue,  // as the run without the failure; -norestart, which cannot record it, ends with 3010
};

struct IgnoredFailure {
    const char* call;
    bool (*applies)(const sim::Box* failedBox);  // null: whatever the call was for
    Expect expect;
    const char* why;
};

// The platform calls whose failure the program ignores by design, in one place.
const IgnoredFailure kIgnoredByDesign[] = {
    {"CreateWindowExW", nullptr, Expect::SameOutcome, "without the owner window the boxes are ownerless"},
    {"FindResourceExW", nullptr, Expect::SameOutcome, "a message that cannot be loaded leaves its box's text as it was"},
    {"FindResourceW", nullptr, Expect::SameOutcome, "a message that cannot be loaded leaves its box's text as it was"},
    {"CoInitializeEx", nullptr, Expect::SameOutcome, "Windows Installer then opens packages without COM, as it can"},
    {"CreateMutexW", nullptr, Expect::SameOutcome,
     "without the installation lock the run installs as it did before there was one"},
    {"GetSecurityInfo", nullptr, Expect::SameOutcome,
     "a lock whose owner cannot be read is passed over, as one made by anyone else"},
    {"MsiSetInternalUI", nullptr, Expect::SameOutcome, "this process's own Windows Installer calls show no UI anyway"},
    {"MsiSourceListClearAllW", nullptr, Expect::SameOutcome, "a source list that cannot be reset stays as it was"},
    {"MsiSourceListSetInfoW", nullptr, Expect::SameOutcome, "a source list that cannot be reset stays as it was"},
    {"GetSystemWindowsDirectoryW", nullptr, Expect::SameOutcome, "the SourceHash file then stays"},
    {"DeleteFileW", nullptr, Expect::SameOutcome, "the SourceHash file, or an unwritten log, then stays"},
    {"MsiCloseHandle", nullptr, Expect::SameOutcome, "a close fails only for what was not open"},
    {"DialogBoxParamW", nullptr, Expect::SameOutcome, "without the dialog the run goes on as after Далее"},
    {"GetWindowTextW", nullptr, Expect::SameOutcome, "the Options button then leaves the dialog as it is"},
    {"LoadImageW", nullptr, Expect::SameOutcome, "the dialog then has no big icon"},
    {"MessageBoxW", [](const sim::Box* box) { return IsOkBox(*box); }, Expect::SameOutcome,
     "an OK box's answer is never read"},
    {"MessageBoxW", [](const sim::Box* box) { return IsConfirmation(*box); }, Expect::SameOutcome,
     "a confirmation that cannot be shown goes on"},
    {"MessageBoxW", [](const sim::Box* box) { return IsUpdateQuestion(*box); }, Expect::SameOutcome,
     "only No to the update question declines"},
    {"RegCreateKeyExW", nullptr, Expect::RestartStillDue, "a restart that cannot be recorded is still due"},
};

const IgnoredFailure* IgnoredByDesign(const std::string& call)
{
    for (const IgnoredFailure& ignored : kIgnoredByDesign) {
        if (call == ignored.call && (ignored.applies == nullptr || ignored.applies(FailedBox()))) return &ignored;
    }
    return nullptr;
}

class FaultSweep : public SimTest {
protected:
    // One whole run of `runCase`, the `failAt`-th fallible call failing with `error` (none for 0).
    Outcome Run(const RunCase& runCase, size_t failAt, uint32_t error = 0)
    {
        SetUp();
        runCase.layout();
        if (failAt != 0) sim::FailCallNumber(failAt, error);
        Outcome outcome;
        outcome.exitCode = RunWithSwitches(runCase.switches);
        for (const sim::Box& box : machine().boxes) outcome.boxStyles.push_back(box.style);
        outcome.commandLines = machine().commandLines;
        outcome.restartRequests = machine().restartRequests;
        outcome.marker = sim::MarkerExists();
        return outcome;
    }

    static Outcome Expected(Outcome baseline, Expect expect, const RunCase& runCase)
    {
        const bool noRestart = std::find(runCase.switches.begin(), runCase.switches.end(), L"-norestart") !=
                               runCase.switches.end();
        if (expect == Expect::RestartStillDue && noRestart && baseline.marker) {
            baseline.exitCode = 3010;
            baseline.marker = false;
        }
        return baseline;
    }

    void ExpectAFailure(const Outcome& outcome)
    {
        EXPECT_NE(outcome.exitCode, 0u) << "a failure ended as a success";
        EXPECT_EQ(outcome.restartRequests, 0) << "a failed run restarted the machine";
        const auto& boxes = machine().boxes;
        for (size_t i = machine().faults.boxesBefore; i < boxes.size(); ++i) {
            EXPECT_FALSE(boxes[i].shown && IsSuccessMessage(boxes[i].text)) << "a failed run said it succeeded";
        }
    }
};

}  // namespace

TEST_F(FaultSweep, EveryFailingCallOfEveryRunEndsItAsItMust)
{
    size_t runs = 0;
    for (const RunCase& runCase : kCases) {
        const Outcome baseline = Run(runCase, 0);
        const std::vector<std::string> calls = machine().faults.calls;
        ASSERT_EQ(baseline.exitCode, 0u) << runCase.name << " fails without any fault";
        ASSERT_EQ(machine().packagesOpenedWithoutCom, 0) << runCase.name << " opened a package before COM";
        ASSERT_FALSE(calls.empty());

        for (size_t k = 1; k <= calls.size(); ++k) {
            for (uint32_t error : kSweepErrors) {
                SCOPED_TRACE(testing::Message() << runCase.name << ": call " << k << " of " << calls.size() << ", "
                                                << calls[k - 1] << " failing with " << error);
                const Outcome outcome = Run(runCase, k, error);
                ++runs;
                ASSERT_EQ(machine().faults.failed, calls[k - 1]) << "the run took another road before the failure";
                EXPECT_TRUE(sim::EverythingClosed()) << "a handle, search or held file was left open, or COM";
                if (calls[k - 1] != "CoInitializeEx") {
                    EXPECT_EQ(machine().packagesOpenedWithoutCom, 0) << "a package was opened before COM";
                }

                const IgnoredFailure* ignored = IgnoredByDesign(calls[k - 1]);
                if (ignored != nullptr) {
                    EXPECT_EQ(outcome, Expected(baseline, ignored->expect, runCase)) << ignored->why;
                } else {
                    ExpectAFailure(outcome);
                }
            }
        }
    }
    std::cout << "[ sweep    ] " << runs << " runs, one failing call each, over " << std::size(kCases) << " cases and "
              << std::size(kSweepErrors) << " errors\n";
    RecordProperty("runs", static_cast<int>(runs));
}

TEST_F(FaultSweep, AMarkerAlreadyGoneWhenItIsRemovedStillRestarts)
{
    // Another run removed it between the look and the deletion: the restart is due all the same.
    const RunCase& pendingMarker = kCases[6];
    Run(pendingMarker, 0);
    const std::vector<std::string> calls = machine().faults.calls;
    const auto deletion = std::find(calls.begin(), calls.end(), "RegDeleteKeyW");
    ASSERT_NE(deletion, calls.end());

    SetUp();
    pendingMarker.layout();
    sim::FailCallNumber(static_cast<size_t>(deletion - calls.begin()) + 1, 2);  // ERROR_FILE_NOT_FOUND
    EXPECT_EQ(RunWithSwitches(pendingMarker.switches), 0u);
    EXPECT_EQ(machine().restartRequests, 1);
}

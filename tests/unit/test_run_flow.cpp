// Whole runs on the simulated machine: questions, reports, restart handling and exit codes.
// The non-administrator path is covered only here: under Wine IsUserAnAdmin is always true.
#include <gtest/gtest.h>

#include "app/run_flow.h"
#include "base/restart.h"
#include "res/resource.h"
#include "sim_test.h"

namespace {

const wchar_t kPackage[] = L"C:\\Layout\\zarelcom-x64.msi";
const wchar_t kMsiexec[] = L"\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\Layout\\zarelcom-x64.msi\" ";
const wchar_t kLog[] = L"C:\\Users\\admin\\AppData\\Local\\Temp\\zarelcom-x64.msi_2026-12-07-02-17-32.log";
const uint16_t kNoMessage = 0;

class RunFlow : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        sim::AddPackage(kPackage, kProductCodeB, kUpgradeCode, L"2.0.13000");
    }

    uint32_t Run(std::vector<std::wstring> tail = {}) { return RunWithSwitches(std::move(tail)); }

    std::vector<uint16_t> BoxMessages() const
    {
        std::vector<uint16_t> ids;
        for (const sim::Box& box : sim::machine().boxes) {
            uint16_t found = kNoMessage;
            for (uint16_t id = 101; id <= 153; ++id) {
                if (!sim::CatalogueText(id).empty() && box.text == sim::CatalogueText(id)) found = id;
            }
            ids.push_back(found);
        }
        return ids;
    }
};

using Ids = std::vector<uint16_t>;

}  // namespace

TEST_F(RunFlow, NoSwitchesAsksThenInstallsAndReportsSuccess)
{
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(BoxMessages(), (Ids{MSG_CONFIRM_PLUGIN, MSG_SUCCESS_PLUGIN}));
    const sim::Box& question = machine().boxes[0];
    EXPECT_EQ(question.caption, L"Kestrova Pellaris");
    EXPECT_EQ(question.style, 0x50004u);
    EXPECT_NE(question.owner, nullptr);
    EXPECT_EQ(machine().boxes[1].style, 0x50000u);
    ASSERT_EQ(machine().commandLines.size(), 1u);
    EXPECT_EQ(machine().commandLines[0],
              std::wstring(kMsiexec) + L"/Lv! \"" + kLog + L"\" REBOOT=R  /qb ADDNPZAREL=1");
    EXPECT_TRUE(machine().installerUiDisabled);
}

TEST_F(RunFlow, NoToTheConfirmationInstallsNothing)
{
    machine().answers = {7};
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(BoxMessages(), Ids{MSG_CONFIRM_PLUGIN});
    EXPECT_TRUE(machine().commandLines.empty());
    EXPECT_TRUE(machine().openedPackages.empty());
}

TEST_F(RunFlow, ConfirmationAndSuccessTextsNameWhatIsInstalled)
{
    const struct {
        std::vector<std::wstring> tail;
        uint16_t question, success, restart;
    } cases[] = {
        {{}, MSG_CONFIRM_PLUGIN, MSG_SUCCESS_PLUGIN, MSG_RESTART_PLUGIN},
        {{L"-csp"}, MSG_CONFIRM_PLUGIN_CSP, MSG_SUCCESS_PLUGIN_CSP, MSG_RESTART_PLUGIN_CSP},
        {{L"-ucsp"}, MSG_CONFIRM_PLUGIN_UCSP, MSG_SUCCESS_PLUGIN_UCSP, MSG_RESTART_PLUGIN_UCSP},
        {{L"-ucsp", L"-csp"}, MSG_CONFIRM_PLUGIN_CSP_UCSP, MSG_SUCCESS_PLUGIN_CSP_UCSP, MSG_RESTART_PLUGIN_CSP_UCSP},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.question);
        SetUp();
        EXPECT_EQ(Run(c.tail), 0u);
        EXPECT_EQ(BoxMessages(), (Ids{c.question, c.success}));

        SetUp();
        machine().exitCodes.assign(c.tail.size(), 0);  // each distribution's setup succeeds
        machine().exitCodes.push_back(3010);             // then msiexec asks for a restart
        machine().answers = {6, 7};
        EXPECT_EQ(Run(c.tail), 0u);
        EXPECT_EQ(BoxMessages(), (Ids{c.question, c.restart}));
        EXPECT_EQ(machine().boxes[1].style, 0x50034u);
    }
}

TEST_F(RunFlow, SilentRunShowsNothingEvenOnFailure)
{
    EXPECT_EQ(Run({L"-silent"}), 0u);
    EXPECT_TRUE(machine().boxes.empty());
    EXPECT_EQ(machine().commandLines.size(), 1u);

    SetUp();
    machine().exitCodes = {1603};
    EXPECT_EQ(Run({L"-silent"}), 1603u);
    EXPECT_TRUE(machine().boxes.empty());
}

TEST_F(RunFlow, FailureIsReportedWithItsCodeAndTheLogThatExists)
{
    machine().exitCodes = {1603};
    EXPECT_EQ(Run(), 1603u);
    ASSERT_EQ(machine().boxes.size(), 2u);
    const sim::Box& report = machine().boxes[1];
    EXPECT_EQ(report.text, sim::CatalogueText(MSG_PLUGIN_INSTALL_FAILED) + L": 1603.\nInstall log: " + kLog);
    EXPECT_EQ(report.caption, L"Kestrova Pellaris");
    EXPECT_EQ(report.style, 0x50010u);

    SetUp();
    machine().exitCodes = {1603};
    machine().childWritesLog = false;
    EXPECT_EQ(Run(), 1603u);
    EXPECT_EQ(machine().boxes.at(1).text, sim::CatalogueText(MSG_PLUGIN_INSTALL_FAILED) + L": 1603.\n");
}

TEST_F(RunFlow, AnotherRunInstallingThePlugInIsReportedWith1618AndNothingElseHappens)
{
    // A deployment tool retries 1618; the restart a run before this one left pending stays pending.
    machine().registryKeys.insert(L"software\\needbstrreboot");
    machine().locksHeldElsewhere.insert(L"Global\\KestrovaPellarisPlugInInstallation");
    EXPECT_EQ(Run(), 1618u);
    EXPECT_EQ(BoxMessages(), (Ids{MSG_CONFIRM_PLUGIN, kNoMessage}));
    EXPECT_EQ(machine().boxes[1].text, sim::CatalogueText(MSG_PLUGIN_INSTALL_FAILED) + L": 1618.\n");
    EXPECT_TRUE(machine().commandLines.empty());
    EXPECT_EQ(machine().restartRequests, 0);
    EXPECT_TRUE(sim::MarkerExists());
}

TEST_F(RunFlow, CancelInsideMsiexecEndsWith1602AndNoReport)
{
    machine().exitCodes = {1602};
    EXPECT_EQ(Run(), 1602u);
    EXPECT_EQ(BoxMessages(), Ids{MSG_CONFIRM_PLUGIN});
}

TEST_F(RunFlow, MissingPackageIsReportedTwice)
{
    std::erase_if(machine().entries, [](const sim::Machine::Entry& e) { return e.path == kPackage; });
    EXPECT_EQ(Run(), 232u);
    EXPECT_EQ(BoxMessages(), (Ids{MSG_CONFIRM_PLUGIN, MSG_PACKAGE_NOT_FOUND, kNoMessage}));
    EXPECT_EQ(machine().boxes[2].text, sim::CatalogueText(MSG_PLUGIN_INSTALL_FAILED) + L": 232.\n");
}

TEST_F(RunFlow, NonAdministratorIsRefusedBeforeAnythingElse)
{
    machine().administrator = false;
    machine().windows = {5, 1, 1};  // would be refused too, but is never asked
    EXPECT_EQ(Run(), 1u);
    EXPECT_EQ(BoxMessages(), Ids{MSG_NOT_ADMINISTRATOR});
    EXPECT_EQ(machine().boxes[0].style, 0x50010u);
    EXPECT_EQ(machine().boxes[0].caption, L"Kestrova Pellaris");

    SetUp();
    machine().administrator = false;
    EXPECT_EQ(Run({L"-silent"}), 1u);
    EXPECT_TRUE(machine().boxes.empty());
    EXPECT_FALSE(machine().installerUiDisabled);
}

TEST_F(RunFlow, UnsupportedWindowsEndsWithItsCode)
{
    machine().windows = {5, 2, 0};
    EXPECT_EQ(Run(), 5u);
    EXPECT_EQ(BoxMessages(), Ids{MSG_WIN2003_NEEDS_SP1});
    EXPECT_TRUE(machine().commandLines.empty());
}

TEST_F(RunFlow, HelpEndsTheRunWithZeroBeforeAnyCheck)
{
    machine().administrator = false;
    EXPECT_EQ(Run({L"-silent", L"-?"}), 0u);
    ASSERT_EQ(machine().boxes.size(), 1u);
    EXPECT_EQ(machine().boxes[0].caption, L"Справка");
    EXPECT_NE(machine().boxes[0].owner, nullptr);
}

TEST_F(RunFlow, UpdateDeclinedEndsTheProcessWithOne)
{
    sim::InstallProduct(kProductCodeA, kUpgradeCode, L"2.0.12888");
    machine().answers = {6, 7};
    EXPECT_EQ(Run(), 1u);
    EXPECT_EQ(BoxMessages(), (Ids{MSG_CONFIRM_PLUGIN, kNoMessage}));
    EXPECT_EQ(machine().boxes[1].text,
              L"Будет произведено обновление Kestrova Pellaris 2.0.12888 до версии 2.0.13000. Обновить?");
    EXPECT_TRUE(machine().commandLines.empty());
}

TEST_F(RunFlow, ExtraArgumentsStandLastOnTheMsiexecCommandLine)
{
    EXPECT_EQ(Run({L"-silent", L"-ZarelArgs", L"PROP=1", L"-ZarelArgs", L"/qn"}), 0u);
    EXPECT_EQ(machine().commandLines.at(0),
              std::wstring(kMsiexec) + L"/Lv! \"" + kLog + L"\" REBOOT=R  ADDNPZAREL=1 PROP=1  /qn ");
}

// ---- the restart at the end of a successful run

TEST_F(RunFlow, TheRestartThatIsDueAndTheExitCodeItLeaves)
{
    enum class Marker { None, Pending, Undeletable };
    const uint16_t restart = MSG_RESTART_PLUGIN, success = MSG_SUCCESS_PLUGIN, failed = MSG_RESTART_FAILED;
    const uint16_t confirm = MSG_CONFIRM_PLUGIN;
    const struct {
        const char* what;
        std::vector<std::wstring> switches;
        uint32_t msiexecExit;
        Marker marker;
        std::vector<int> answers;
        bool markerCannotBeCreated, restartRefused;
        uint32_t exitCode;
        Ids boxes;
        int restarts;  // restart requests, accepted or not
        bool markerAfter;
    } rows[] = {
        {"3010, No to the question", {}, 3010, Marker::None, {6, 7}, false, false, 0, {confirm, restart}, 0, false},
        {"3010, Yes", {}, 3010, Marker::None, {6, 6}, false, false, 0, {confirm, restart}, 1, false},
        {"3011, Yes, the restart refused", {}, 3011, Marker::None, {6, 6}, false, true, 7, {confirm, restart, failed}, 1,
         false},
        {"3010, the question cannot be shown", {}, 3010, Marker::None, {6, 0}, false, false, 3010, {confirm, restart}, 0,
         false},
        {"a pending marker, silent: restarts unasked", {L"-silent"}, 0, Marker::Pending, {}, false, false, 0, {}, 1,
         false},
        {"a pending marker, silent, the restart refused", {L"-silent"}, 0, Marker::Pending, {}, false, true, 7, {}, 1,
         false},
        {"3010 with -norestart: recorded for the next run", {L"-norestart"}, 3010, Marker::None, {}, false, false, 0,
         {confirm, success}, 0, true},
        {"a pending marker with -norestart stays", {L"-norestart"}, 0, Marker::Pending, {}, false, false, 0,
         {confirm, success}, 0, true},
        {"a pending marker, the run's own msiexec needing none", {}, 0, Marker::Pending, {6, 7}, false, false, 0,
         {confirm, restart}, 0, false},
        {"a pending marker survives a failed installation", {}, 1603, Marker::Pending, {}, false, false, 1603,
         {confirm, kNoMessage}, 0, true},
        // 1641: Windows is restarting already; asking again could only fail or restart twice.
        {"1641", {}, 1641, Marker::None, {}, false, false, 0, {confirm, success}, 0, false},
        {"1641 meets a pending marker", {L"-silent"}, 1641, Marker::Pending, {}, false, false, 0, {}, 0, false},
        {"1641 with -norestart", {L"-norestart"}, 1641, Marker::Pending, {}, false, false, 0, {confirm, success}, 0,
         false},
        // A restart that cannot be recorded is still due: the question, the silent restart, or 3010.
        {"unrecorded, No", {}, 3010, Marker::None, {6, 7}, true, false, 0, {confirm, restart}, 0, false},
        {"unrecorded, silent", {L"-silent"}, 3011, Marker::None, {}, true, false, 0, {}, 1, false},
        {"unrecorded, -norestart", {L"-norestart"}, 3010, Marker::None, {}, true, false, 3010, {confirm, success}, 0,
         false},
        // A marker that cannot be deleted would restart every later silent run: never restarted over.
        {"an undeletable marker", {}, 0, Marker::Undeletable, {}, false, false, 7, {confirm, failed}, 0, true},
        {"an undeletable marker, silent", {L"-silent"}, 0, Marker::Undeletable, {}, false, false, 7, {}, 0, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        machine().exitCodes = {row.msiexecExit};
        if (row.marker != Marker::None) machine().registryKeys.insert(L"software\\needbstrreboot");
        if (row.marker == Marker::Undeletable) machine().registryKeys.insert(L"software\\needbstrreboot\\left");
        machine().answers.assign(row.answers.begin(), row.answers.end());
        if (row.markerCannotBeCreated) sim::FailCall("RegCreateKeyExW", 5);
        machine().restartAccepted = !row.restartRefused;

        EXPECT_EQ(Run(row.switches), row.exitCode);
        EXPECT_EQ(BoxMessages(), row.boxes);
        EXPECT_EQ(machine().restartRequests, row.restarts);
        EXPECT_EQ(sim::MarkerExists(), row.markerAfter);
    }
}

TEST_F(RunFlow, TheRestartBoxesAreAsTheUserMustSeeThem)
{
    machine().exitCodes = {3011};
    machine().restartAccepted = false;
    machine().answers = {6, 6};
    EXPECT_EQ(Run(), 7u);
    ASSERT_EQ(machine().boxes.size(), 3u);
    EXPECT_EQ(machine().boxes[1].style, 0x50034u);
    EXPECT_EQ(machine().boxes[1].caption, L"Kestrova Pellaris");
    EXPECT_EQ(machine().boxes[2].style, 0x50000u);
}

TEST_F(RunFlow, WithoutAnOwnerWindowBoxesAreOwnerless)
{
    sim::FailCall("CreateWindowExW", 0);
    EXPECT_EQ(Run(), 0u);
    ASSERT_EQ(machine().boxes.size(), 2u);
    EXPECT_EQ(machine().boxes[0].owner, nullptr);
}

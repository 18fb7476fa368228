// The CSP distributions: their setup programs' command lines, results and reports, and their place
// in the run.
#include <gtest/gtest.h>

#include "app/run_flow.h"
#include "features/csp/csp_install.h"
#include "res/resource.h"
#include "sim_test.h"

namespace {

const wchar_t kTemp[] = L"C:\\Users\\admin\\AppData\\Local\\Temp";
const std::wstring kCspSetup = L"\"C:\\Layout\\csp\\Setup.exe\" ";
const std::wstring kUcspSetup = L"\"C:\\Layout\\ucsp\\Setup.exe\" ";
const std::wstring kStamp = L"2026-12-07-02-17-32";

class CspInstall : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        machine().environment[L"TMP"] = kTemp;
    }

    std::wstring LogOf(const std::wstring& kind) const { return std::wstring(kTemp) + L"\\" + kind + L"_" + kStamp + L".log"; }
};

}  // namespace

TEST(CspSetupArguments, ComposedInTheirFixedOrder)
{
    const std::wstring log = L"C:\\Temp\\csp_2024-03-05-14-07-09.log";
    EXPECT_EQ(ComposeSetupArguments(false, false, log, L""),
              L"-args \"/qb /Lv! \"\"\"C:\\Temp\\csp_2024-03-05-14-07-09.log\"\"\" \" -noreboot");
    EXPECT_EQ(ComposeSetupArguments(true, true, L"C:\\Temp\\ucsp_2024-03-05-14-07-09.log", L"/qn "),
              L"-args \"/Lv! \"\"\"C:\\Temp\\ucsp_2024-03-05-14-07-09.log\"\"\" /qn \" -noreboot -silent -reinstall");
    EXPECT_EQ(ComposeSetupArguments(false, false, L"", L"/l*v C:\\my.log "), L"-args \"/qb /l*v C:\\my.log \" -noreboot");
    EXPECT_EQ(ComposeSetupArguments(false, true, L"", L"/L "), L"-args \"/qb /L \" -noreboot -reinstall");
    // /Q is not the quiet switch's spelling here; any lower-case /q is, even inside /quiet.
    EXPECT_EQ(ComposeSetupArguments(false, false, L"", L"/Q "), L"-args \"/qb /Q \" -noreboot");
    EXPECT_EQ(ComposeSetupArguments(false, false, L"", L"/quiet "), L"-args \"/quiet \" -noreboot");
}

TEST_F(CspInstall, SetupProgramRunsByFullPathWithItsOwnLog)
{
    EXPECT_EQ(InstallCspPackage(false, false, L"csp", L""), 0u);
    ASSERT_EQ(machine().commandLines.size(), 1u);
    EXPECT_EQ(machine().commandLines[0], kCspSetup + L"-args \"/qb /Lv! \"\"\"" + LogOf(L"csp") + L"\"\"\" \" -noreboot");
    EXPECT_EQ(machine().standardOutput, std::vector<std::wstring>{kStamp});
    EXPECT_TRUE(machine().boxes.empty());
}

TEST_F(CspInstall, CallerBroughtLogMeansNoLogOfOurOwn)
{
    for (const wchar_t* options : {L"/lang rus ", L"/Log x ", L"PROP=a/lb "}) {
        SCOPED_TRACE(options);
        SetUp();
        machine().exitCodes = {1603};
        machine().childWritesLog = false;
        EXPECT_EQ(InstallCspPackage(false, false, L"ucsp", options), 1603u);
        EXPECT_EQ(machine().commandLines.at(0).find(L"/Lv!"), std::wstring::npos);
        EXPECT_TRUE(machine().standardOutput.empty());
        ASSERT_EQ(machine().boxes.size(), 1u);
        EXPECT_EQ(machine().boxes[0].text, sim::CatalogueText(MSG_CSP_INSTALL_FAILED) + L": 1603.\n");
    }
}

TEST_F(CspInstall, ResultRule)
{
    const struct {
        uint32_t exitCode;
        uint32_t result;
    } cases[] = {{0, 0}, {3, 0}, {4, 0}, {1602, 0}, {1, 1}, {2, 2}, {1603, 1603}, {3010, 3010}, {1641, 1641}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exitCode);
        SetUp();
        machine().exitCodes = {c.exitCode};
        EXPECT_EQ(InstallCspPackage(false, false, L"csp", L""), c.result);
        EXPECT_EQ(machine().boxes.size(), c.result == 0 ? 0u : 1u);
    }
}

TEST_F(CspInstall, FailureBoxNamesTheCodeAndTheLogThatExists)
{
    machine().exitCodes = {1603};
    EXPECT_EQ(InstallCspPackage(false, false, L"csp", L""), 1603u);
    ASSERT_EQ(machine().boxes.size(), 1u);
    const sim::Box& box = machine().boxes[0];
    EXPECT_EQ(box.text, L"В процессе установки Kestrova CSP возникла ошибка: 1603.\nInstall log: " + LogOf(L"csp"));
    EXPECT_EQ(box.caption, L"Kestrova Pellaris");
    EXPECT_EQ(box.style, 0x50010u);

    SetUp();
    machine().exitCodes = {1603};
    EXPECT_EQ(InstallCspPackage(true, false, L"csp", L""), 1603u);
    EXPECT_TRUE(machine().boxes.empty());
}

TEST_F(CspInstall, ASetupProgramThatCannotStartOrBePreparedIsAFailureWhateverItsCode)
{
    // ERROR_PATH_NOT_FOUND is 3, which as an exit code would mean success. Nothing is started
    // relative to the current directory, and a log nobody wrote is neither left nor named.
    const struct {
        const char* what;
        const char* failingCall;
        uint32_t error;
        uint32_t code;
        size_t started;
        bool logKept;  // the child may still be writing it
    } rows[] = {
        {"the start fails with 3", "CreateProcessW", 3, 3, 1, false},
        {"the start fails with 2", "CreateProcessW", 2, 2, 1, false},
        {"the wait fails with 3", "WaitForSingleObject", 3, 3, 1, true},
        {"the executable's path cannot be read", "GetModuleFileNameW", 122, 122, 0, false},
        {"the log cannot be created", "CreateFileW(CREATE_NEW)", 5, 1622, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        sim::FailCall(row.failingCall, row.error);
        machine().childWritesLog = false;
        EXPECT_EQ(InstallCspPackage(false, false, L"csp", L""), row.code);
        EXPECT_EQ(machine().commandLines.size(), row.started);
        EXPECT_EQ(sim::FileExistsOnMachine(LogOf(L"csp")), row.logKept);
        ASSERT_EQ(machine().boxes.size(), 1u);
        EXPECT_EQ(machine().boxes[0].text, sim::CatalogueText(MSG_CSP_INSTALL_FAILED) + L": " + std::to_wstring(row.code) +
                                               L".\n" + (row.logKept ? L"Install log: " + LogOf(L"csp") : L""));
    }
}

TEST_F(CspInstall, WithoutTmpNothingIsStarted)
{
    machine().environment.erase(L"TMP");
    EXPECT_EQ(InstallCspPackage(false, false, L"csp", L""), 203u);
    EXPECT_TRUE(machine().commandLines.empty());
    ASSERT_EQ(machine().boxes.size(), 1u);
    EXPECT_EQ(machine().boxes[0].text, sim::CatalogueText(MSG_TMP_UNREADABLE));
    EXPECT_EQ(machine().boxes[0].caption, sim::CatalogueText(MSG_ERROR_CAPTION));

    // A caller that brings its own log needs no TMP.
    SetUp();
    machine().environment.erase(L"TMP");
    EXPECT_EQ(InstallCspPackage(false, false, L"csp", L"/l*v C:\\x.log"), 0u);
    EXPECT_EQ(machine().commandLines.size(), 1u);
}

// ---- the distributions within a whole run

namespace {

class CspRun : public CspInstall {
protected:
    void SetUp() override
    {
        CspInstall::SetUp();
        sim::AddPackage(L"C:\\Layout\\zarelcom-x64.msi", kProductCodeB, kUpgradeCode, L"2.0.13000");
    }

    uint32_t Run(std::vector<std::wstring> tail) { return RunWithSwitches(std::move(tail)); }

    bool MsiexecRan() const
    {
        for (const std::wstring& line : sim::machine().commandLines) {
            if (line.find(L"msiexec.exe") != std::wstring::npos) return true;
        }
        return false;
    }
};

}  // namespace

TEST_F(CspRun, BothDistributionsThenThePlugIn)
{
    EXPECT_EQ(Run({L"-ucsp", L"-UCSPArgs", L"U=1", L"-csp", L"-CSPArgs", L"C=1", L"-silent", L"-reinstall"}), 0u);
    ASSERT_EQ(machine().commandLines.size(), 3u);
    EXPECT_EQ(machine().commandLines[0],
              kCspSetup + L"-args \"/qb /Lv! \"\"\"" + LogOf(L"csp") + L"\"\"\" C=1 \" -noreboot -silent -reinstall");
    EXPECT_EQ(machine().commandLines[1],
              kUcspSetup + L"-args \"/qb /Lv! \"\"\"" + LogOf(L"ucsp") + L"\"\"\" U=1 \" -noreboot -silent -reinstall");
    EXPECT_NE(machine().commandLines[2].find(L"msiexec.exe"), std::wstring::npos);
}

TEST_F(CspRun, TheFirstFailureEndsTheRun)
{
    machine().exitCodes = {1603};
    EXPECT_EQ(Run({L"-csp", L"-ucsp"}), 1603u);
    EXPECT_EQ(machine().commandLines.size(), 1u);
    ASSERT_EQ(machine().boxes.size(), 2u);  // the question, then the distribution's own report only
    EXPECT_EQ(machine().boxes[1].text.rfind(sim::CatalogueText(MSG_CSP_INSTALL_FAILED), 0), 0u);

    SetUp();
    machine().exitCodes = {0, 3010};
    EXPECT_EQ(Run({L"-csp", L"-ucsp", L"-silent"}), 3010u);
    EXPECT_EQ(machine().commandLines.size(), 2u);
    EXPECT_FALSE(MsiexecRan());
    EXPECT_TRUE(machine().boxes.empty());
}

TEST_F(CspRun, ACancelledDistributionSetupLetsThePlugInInstall)
{
    machine().exitCodes = {1602, 0};
    EXPECT_EQ(Run({L"-csp", L"-silent"}), 0u);
    EXPECT_TRUE(MsiexecRan());
}

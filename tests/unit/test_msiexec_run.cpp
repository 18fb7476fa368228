// Running msiexec for the plug-in package: the command line, the verbose log created for it, the
// source list and source hash of the installed product, and what msiexec's exit code means.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "features/plugin/msiexec_run.h"
#include "package_test_support.h"
#include "res/resource.h"

using namespace package_test;

namespace {

const std::wstring kFreshArguments = L" /qb ADDNPZAREL=1";
const std::wstring kLogPath = kTemp + L"\\zarelcom-x64.msi_" + kStamp + L".log";
const std::wstring kMsiexecAndPackage =
    L"\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\Layout\\zarelcom-x64.msi\" ";

class MsiexecRun : public PackageTest {
protected:
    void SetUp() override
    {
        PackageTest::SetUp();
        AddArchitecturePackages(kProductCodeA, L"2.0.13000");
    }

    InstallResult Run(bool silent, const std::wstring& arguments = kFreshArguments,
                      const std::wstring& installedCode = kProductCodeA, const std::wstring& packagePath = kX64Package,
                      const std::wstring& temporaryDirectory = kTemp)
    {
        return RunPackageInstall(silent, temporaryDirectory, installedCode, packagePath, arguments);
    }

    // msiexec did not start, and nothing about the installed product was touched.
    void ExpectNothingRun()
    {
        EXPECT_TRUE(machine().commandLines.empty());
        EXPECT_TRUE(machine().sourceListCalls.empty());
        EXPECT_TRUE(machine().removedFiles.empty());
        EXPECT_TRUE(machine().createdFiles.empty());
    }
};

void ExpectFailure(const InstallResult& result, uint32_t code)
{
    EXPECT_EQ(result.outcome, InstallResult::Outcome::Failed);
    EXPECT_EQ(result.code, code);
    EXPECT_EQ(result.restart, RestartNeed::None);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The command line and the log

TEST_F(MsiexecRun, FreshInstallCommandLineWithItsOwnLog)
{
    const InstallResult result = Run(false);
    EXPECT_EQ(result.outcome, InstallResult::Outcome::Installed);
    ASSERT_EQ(machine().commandLines.size(), 1u);
    EXPECT_EQ(machine().commandLines[0],
              L"\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\Layout\\zarelcom-x64.msi\" /Lv! "
              L"\"C:\\Users\\admin\\AppData\\Local\\Temp\\zarelcom-x64.msi_2026-12-07-02-17-32.log\""
              L" REBOOT=R  /qb ADDNPZAREL=1");
    EXPECT_EQ(result.logPath, kLogPath);
    EXPECT_EQ(machine().createdFiles, std::vector<std::wstring>{kLogPath});  // before msiexec started
    EXPECT_EQ(machine().standardOutput, std::vector<std::wstring>{kStamp});
    EXPECT_TRUE(machine().boxes.empty());
}

TEST_F(MsiexecRun, ArgumentsWithALogSwitchGetNoLogOfOurs)
{
    const wchar_t* const rows[] = {
        L" /qb ADDNPZAREL=1 /l*v C:\\my.log ",
        L" /qb ADDNPZAREL=1 /L*V \"C:\\logs\\plugin.log\" ",
        L" /qb INSTALLDIR=C:/logs/plugin ",  // "/l" inside a value counts too
        L" /qn PROP=/Lx ",
    };
    for (const wchar_t* arguments : rows) {
        SCOPED_TRACE(testing::Message() << std::string(arguments, arguments + std::wcslen(arguments)));
        sim::Reset();
        AddArchitecturePackages(kProductCodeA, L"2.0.13000");

        const InstallResult result = Run(false, arguments, kProductCodeA, kX64Package, L"");  // TMP was not read
        EXPECT_EQ(result.outcome, InstallResult::Outcome::Installed);
        ASSERT_EQ(machine().commandLines.size(), 1u);
        EXPECT_EQ(machine().commandLines[0], kMsiexecAndPackage + L" REBOOT=R " + arguments);
        EXPECT_EQ(result.logPath, L"");
        EXPECT_TRUE(machine().createdFiles.empty());
        EXPECT_TRUE(machine().standardOutput.empty());
    }
}

TEST_F(MsiexecRun, UpperCaseQuietSwitchesDoNotCountAsALogSwitch)
{
    EXPECT_EQ(Run(false, L" /QB /Q").outcome, InstallResult::Outcome::Installed);
    ASSERT_EQ(machine().commandLines.size(), 1u);
    EXPECT_EQ(machine().commandLines[0], kMsiexecAndPackage + L"/Lv! \"" + kLogPath + L"\" REBOOT=R  /QB /Q");
}

TEST_F(MsiexecRun, TheLogIsNamedAfterThePackageFileInTheTemporaryFolder)
{
    sim::Reset();
    machine().architecture = platform::ProcessArchitecture::X86;
    sim::AddDirectory(L"C:\\Layout\\packages");
    sim::AddPackage(L"C:\\Layout\\packages\\Zarelcom-Win32-2.0.msi", kProductCodeA, kUpgradeCode, L"2.0");
    sim::AddDirectory(L"D:\\Temp\\");
    machine().now = {2027, 1, 2, 3, 4, 5};

    // The separator is added whatever TMP ends with.
    const InstallResult result =
        Run(true, kFreshArguments, kProductCodeA, L"C:\\Layout\\packages\\Zarelcom-Win32-2.0.msi", L"D:\\Temp\\");
    EXPECT_EQ(result.logPath, L"D:\\Temp\\\\Zarelcom-Win32-2.0.msi_2027-01-02-03-04-05.log");
    ASSERT_EQ(machine().commandLines.size(), 1u);
    EXPECT_EQ(machine().commandLines[0],
              L"\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\Layout\\packages\\Zarelcom-Win32-2.0.msi\" /Lv! \"" +
                  result.logPath + L"\" REBOOT=R  /qb ADDNPZAREL=1");
}

TEST_F(MsiexecRun, TwoRunsInOneSecondWriteTwoLogs)
{
    const std::wstring first = Run(true).logPath;
    const std::wstring second = Run(true).logPath;
    EXPECT_EQ(first, kLogPath);
    EXPECT_EQ(second, kTemp + L"\\zarelcom-x64.msi_" + kStamp + L"_2.log");
    EXPECT_NE(machine().commandLines.at(1).find(second), std::wstring::npos);
    EXPECT_EQ(machine().standardOutput, (std::vector<std::wstring>{kStamp, kStamp + L"_2"}));
}

TEST_F(MsiexecRun, TheSystemDirectoryIsWhereMsiexecIsStarted)
{
    machine().systemDirectory = L"D:\\WINNT\\System32";
    EXPECT_EQ(Run(true, L" /qn /l C:\\x.log").outcome, InstallResult::Outcome::Installed);
    ASSERT_EQ(machine().commandLines.size(), 1u);
    EXPECT_EQ(machine().commandLines[0],
              L"\"D:\\WINNT\\System32\\msiexec.exe\" /i \"C:\\Layout\\zarelcom-x64.msi\"  REBOOT=R  /qn /l C:\\x.log");
}

// ---------------------------------------------------------------------------------------------
// Failures before msiexec

TEST_F(MsiexecRun, AnUnreadableSystemDirectoryIsReportedWith152AndItsError)
{
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "interactive");
        SetUp();
        sim::FailCall("GetSystemDirectoryW", 1150);
        ExpectFailure(Run(silent), 1150);
        ExpectNothingRun();
        ExpectOnlyBoxUnlessSilent(silent, Owner::Owned, kErrorStyle, MSG_ERROR_CAPTION, MSG_SYSTEM_DIRECTORY_UNREADABLE);
    }
}

TEST_F(MsiexecRun, ALogThatCannotBeCreatedStopsTheRunWith1622)
{
    // As msiexec itself ends when it cannot open its log; the run flow reports it.
    const InstallResult result = Run(false, kFreshArguments, kProductCodeA, kX64Package, L"C:\\NoSuchFolder");
    ExpectFailure(result, 1622);
    EXPECT_EQ(result.logPath, L"");
    ExpectNothingRun();
    EXPECT_TRUE(machine().boxes.empty());
}

// ---------------------------------------------------------------------------------------------
// msiexec's end

TEST_F(MsiexecRun, ExitCodesAsTheRunGoesOnWithThem)
{
    using Outcome = InstallResult::Outcome;
    const struct {
        uint32_t exitCode;
        Outcome outcome;
        RestartNeed restart;
    } rows[] = {
        {0, Outcome::Installed, RestartNeed::None},        {3010, Outcome::Installed, RestartNeed::Required},
        {3011, Outcome::Installed, RestartNeed::Required}, {1641, Outcome::Installed, RestartNeed::Initiated},
        {1602, Outcome::Cancelled, RestartNeed::None},     {1603, Outcome::Failed, RestartNeed::None},
        {1618, Outcome::Failed, RestartNeed::None},        {3009, Outcome::Failed, RestartNeed::None},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.exitCode);
        sim::Reset();
        AddArchitecturePackages(kProductCodeA, L"2.0.13000");
        machine().exitCodes = {row.exitCode};

        const InstallResult result = Run(false);
        EXPECT_EQ(result.outcome, row.outcome);
        EXPECT_EQ(result.code, row.outcome == Outcome::Installed ? 0u : row.exitCode);
        EXPECT_EQ(result.restart, row.restart);
        EXPECT_EQ(result.logPath, kLogPath);
        EXPECT_TRUE(machine().boxes.empty());
    }
}

TEST_F(MsiexecRun, AChildThatNeverWroteItsLogLeavesNone)
{
    const struct {
        const char* what;
        uint32_t startError;
        bool childWrites;
        uint32_t exitCode;
    } rows[] = {
        {"not started", 2, false, 0},
        {"not started either", 193, false, 0},
        {"ran and wrote nothing", 0, false, 1603},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        AddArchitecturePackages(kProductCodeA, L"2.0.13000");
        machine().startError = row.startError;
        machine().childWritesLog = row.childWrites;
        machine().exitCodes = {row.exitCode};

        const InstallResult result = Run(false);
        ExpectFailure(result, row.startError != 0 ? row.startError : row.exitCode);
        EXPECT_EQ(result.logPath, L"");
        EXPECT_FALSE(sim::FileExistsOnMachine(kLogPath));
        EXPECT_TRUE(machine().boxes.empty());
    }
}

// ---------------------------------------------------------------------------------------------
// The installed product's source list and source hash

TEST_F(MsiexecRun, TheSourceListIsClearedThenNamesTheNewPackageFile)
{
    for (const std::wstring& code : {kProductCodeB, std::wstring()}) {
        SCOPED_TRACE(code.empty() ? "no installed code" : "installed code");
        sim::Reset();
        sim::AddDirectory(L"C:\\Layout\\packages");
        sim::AddPackage(L"C:\\Layout\\packages\\zarelcom-x64-2.0.msi", kProductCodeA, kUpgradeCode, L"2.0");

        EXPECT_EQ(Run(false, kFreshArguments, code, L"C:\\Layout\\packages\\zarelcom-x64-2.0.msi").code, 0u);
        const auto& calls = machine().sourceListCalls;
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].what, L"clear");
        EXPECT_EQ(calls[0].productCode, code);
        EXPECT_EQ(calls[1].what, L"PackageName");
        EXPECT_EQ(calls[1].productCode, code);
        EXPECT_EQ(calls[1].packageName, L"zarelcom-x64-2.0.msi");
    }
}

TEST_F(MsiexecRun, TheSourceHashFileGoesOnWindowsXpAnd2003Only)
{
    const struct {
        uint16_t major, minor;
        bool removed;
    } rows[] = {
        {5, 0, false}, {5, 1, true}, {5, 2, true}, {6, 0, false},
        {6, 1, false}, {6, 2, false}, {6, 3, false}, {10, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.major << "." << row.minor);
        sim::Reset();
        AddArchitecturePackages(kProductCodeA, L"2.0.13000");
        machine().windows = {row.major, row.minor, 3};
        const std::wstring hash = L"C:\\Windows\\installer\\SourceHash" + kProductCodeB;
        sim::AddDirectory(L"C:\\Windows\\installer");
        sim::AddFile(hash);

        EXPECT_EQ(Run(false, kFreshArguments, kProductCodeB).code, 0u);
        if (row.removed) {
            EXPECT_EQ(machine().removedFiles, std::vector<std::wstring>{hash});
            EXPECT_FALSE(sim::FileExistsOnMachine(hash));
        } else {
            EXPECT_TRUE(machine().removedFiles.empty());
            EXPECT_TRUE(sim::FileExistsOnMachine(hash));
        }
    }
}

TEST_F(MsiexecRun, TheSourceHashPathFollowsTheWindowsFolderAndTheCode)
{
    const struct {
        const char* what;
        const wchar_t* windowsDirectory;  // null: cannot be read
        std::wstring code;
        std::vector<std::wstring> removed;
    } rows[] = {
        {"Windows elsewhere", L"D:\\WINNT", kProductCodeB, {L"D:\\WINNT\\installer\\SourceHash" + kProductCodeB}},
        {"Windows folder unreadable", nullptr, kProductCodeB, {}},
        {"no installed code", L"C:\\WINDOWS", L"", {}},  // never the SourceHash file of no product
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        AddArchitecturePackages(kProductCodeA, L"2.0.13000");
        machine().windows = {5, 1, 3};
        machine().environment[L"WINDIR"] = L"E:\\NotThisOne";  // the variable is never consulted
        if (row.windowsDirectory == nullptr) {
            sim::FailCall("GetSystemWindowsDirectoryW", 1150);
        } else {
            machine().windowsDirectory = row.windowsDirectory;
        }

        EXPECT_EQ(Run(false, kFreshArguments, row.code).code, 0u);
        EXPECT_EQ(machine().removedFiles, row.removed);
        EXPECT_EQ(machine().commandLines.size(), 1u);
    }
}

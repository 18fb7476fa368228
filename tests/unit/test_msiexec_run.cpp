// Running msiexec for the plug-in package: the command line, the verbose log's name, the source
// list and source hash of the installed product, and the restart codes reported as a restart request.
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
const std::wstring kUntouched = L"<untouched>";

class MsiexecRun : public PackageTest {
protected:
    void SetUp() override
    {
        PackageTest::SetUp();
        AddArchitecturePackages(kProductCodeA, L"2.0.13000");
    }

    // The run's code; whether it asked for a restart is left in `restartRequested`.
    uint32_t Run(bool silent, const std::wstring& arguments = kFreshArguments,
                 const std::wstring& installedCode = kProductCodeA, const std::wstring& packagePath = kX64Package)
    {
        const InstallResult result = RunPackageInstall(silent, installedCode, packagePath, arguments, logPath);
        restartRequested = result.restartRequested;
        return result.code;
    }

    // msiexec did not start, and nothing about the installed product was touched.
    void ExpectNothingRun()
    {
        EXPECT_TRUE(machine().commandLines.empty());
        EXPECT_TRUE(machine().sourceListCalls.empty());
        EXPECT_TRUE(machine().removedFiles.empty());
        EXPECT_FALSE(sim::MarkerExists());
    }

    std::wstring logPath;
    bool restartRequested = false;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// The command line and the log

TEST_F(MsiexecRun, FreshInstallCommandLineWithItsOwnLog)
{
    EXPECT_EQ(Run(false), 0u);
    ASSERT_EQ(machine().commandLines.size(), 1u);
    EXPECT_EQ(machine().commandLines[0],
              L"\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\Layout\\zarelcom-x64.msi\" /Lv! "
              L"\"C:\\Users\\admin\\AppData\\Local\\Temp\\zarelcom-x64.msi_2026-12-07-02-17-32.log\""
              L" REBOOT=R  /qb ADDNPZAREL=1");
    EXPECT_EQ(logPath, kLogPath);
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
        machine().environment.erase(L"TMP");  // not needed, so not read
        logPath = kUntouched;

        EXPECT_EQ(Run(false, arguments), 0u);
        ASSERT_EQ(machine().commandLines.size(), 1u);
        EXPECT_EQ(machine().commandLines[0], kMsiexecAndPackage + L" REBOOT=R " + arguments);
        EXPECT_EQ(logPath, kUntouched);
        EXPECT_TRUE(machine().standardOutput.empty());
        EXPECT_TRUE(machine().boxes.empty());
    }
}

TEST_F(MsiexecRun, UpperCaseQuietSwitchesDoNotCountAsALogSwitch)
{
    EXPECT_EQ(Run(false, L" /QB /Q"), 0u);
    ASSERT_EQ(machine().commandLines.size(), 1u);
    EXPECT_EQ(machine().commandLines[0], kMsiexecAndPackage + L"/Lv! \"" + kLogPath + L"\" REBOOT=R  /QB /Q");
}

TEST_F(MsiexecRun, TheLogIsNamedAfterThePackageFileInTmp)
{
    sim::Reset();
    machine().architecture = platform::ProcessArchitecture::X86;
    sim::AddDirectory(L"C:\\Layout\\packages");
    sim::AddPackage(L"C:\\Layout\\packages\\Zarelcom-Win32-2.0.msi", kProductCodeA, kUpgradeCode, L"2.0");
    machine().environment[L"TMP"] = L"D:\\Temp\\";  // the separator is added whatever TMP ends with
    machine().environment[L"TEMP"] = L"E:\\Elsewhere";
    machine().now = {2027, 1, 2, 3, 4, 5};

    EXPECT_EQ(Run(true, kFreshArguments, kProductCodeA, L"C:\\Layout\\packages\\Zarelcom-Win32-2.0.msi"), 0u);
    EXPECT_EQ(logPath, L"D:\\Temp\\\\Zarelcom-Win32-2.0.msi_2027-01-02-03-04-05.log");
    ASSERT_EQ(machine().commandLines.size(), 1u);
    EXPECT_EQ(machine().commandLines[0],
              L"\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\Layout\\packages\\Zarelcom-Win32-2.0.msi\" /Lv! \"" +
                  logPath + L"\" REBOOT=R  /qb ADDNPZAREL=1");
}

TEST_F(MsiexecRun, TwoRunsInOneSecondShareTheLogPath)
{
    EXPECT_EQ(Run(true), 0u);
    const std::wstring first = logPath;
    EXPECT_EQ(Run(true), 0u);
    EXPECT_EQ(logPath, first);
    EXPECT_EQ(machine().standardOutput, (std::vector<std::wstring>{kStamp, kStamp}));
}

TEST_F(MsiexecRun, TheSystemDirectoryIsWhereMsiexecIsStarted)
{
    machine().systemDirectory = L"D:\\WINNT\\System32";
    EXPECT_EQ(Run(true, L" /qn /l C:\\x.log"), 0u);
    ASSERT_EQ(machine().commandLines.size(), 1u);
    EXPECT_EQ(machine().commandLines[0],
              L"\"D:\\WINNT\\System32\\msiexec.exe\" /i \"C:\\Layout\\zarelcom-x64.msi\"  REBOOT=R  /qn /l C:\\x.log");
}

// ---------------------------------------------------------------------------------------------
// Failures before msiexec

TEST_F(MsiexecRun, AnUnusableTmpIsReportedWith144And203AndNothingRuns)
{
    machine().windows = {5, 1, 3};  // where a source hash would otherwise be removed
    machine().environment[L"TEMP"] = L"C:\\Temp";  // only TMP is consulted
    const struct {
        const char* what;
        const wchar_t* tmp;  // null: not set
    } rows[] = {
        {"unset", nullptr},
        {"empty", L""},
        {"relative", L"Temp"},
        {"relative to a drive's current folder", L"C:Temp"},
        {"relative to the current drive", L"\\Temp"},
        {"a quote that would add properties", L"C:\\Temp\" /i \\\\evil\\x.msi \"C:\\Temp"},
    };
    for (const auto& row : rows) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(testing::Message() << row.what << (silent ? ", silent" : ", interactive"));
            if (row.tmp == nullptr) {
                machine().environment.erase(L"TMP");
            } else {
                machine().environment[L"TMP"] = row.tmp;
            }
            ClearBoxes();
            logPath = kUntouched;
            EXPECT_EQ(Run(silent), 203u);  // ERROR_ENVVAR_NOT_FOUND
            ExpectNothingRun();
            EXPECT_EQ(logPath, kUntouched);
            if (silent) {
                EXPECT_TRUE(machine().boxes.empty());
            } else {
                ExpectOnlyBox(Owner::Owned, kErrorStyle, MSG_ERROR_CAPTION, MSG_TMP_UNREADABLE);
            }
        }
    }
}

TEST_F(MsiexecRun, ATmpOnAnyDriveOrShareHoldsTheLog)
{
    for (const wchar_t* tmp : {L"D:\\Temp", L"d:/temp", L"\\\\server\\share\\temp", L"C:\\Temp files"}) {
        SCOPED_TRACE(testing::Message() << std::string(tmp, tmp + std::wcslen(tmp)));
        machine().environment[L"TMP"] = tmp;
        EXPECT_EQ(Run(true), 0u);
        EXPECT_EQ(logPath, std::wstring(tmp) + L"\\zarelcom-x64.msi_" + kStamp + L".log");
    }
}

TEST_F(MsiexecRun, AnUnreadableSystemDirectoryIsReportedWith152AndItsError)
{
    machine().systemDirectoryError = 1150;
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "interactive");
        ClearBoxes();
        EXPECT_EQ(Run(silent), 1150u);
        ExpectNothingRun();
        if (silent) {
            EXPECT_TRUE(machine().boxes.empty());
        } else {
            ExpectOnlyBox(Owner::Owned, kErrorStyle, MSG_ERROR_CAPTION, MSG_SYSTEM_DIRECTORY_UNREADABLE);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// msiexec's exit code

TEST_F(MsiexecRun, RestartCodesBecomeSuccessThatRequestsARestart)
{
    const struct {
        uint32_t exitCode;
        uint32_t result;
        bool restart;
    } rows[] = {
        {3010, 0, true}, {3011, 0, true}, {1641, 0, true},
        {0, 0, false},   {1602, 1602, false}, {1603, 1603, false}, {1618, 1618, false}, {3009, 3009, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.exitCode);
        sim::Reset();
        AddArchitecturePackages(kProductCodeA, L"2.0.13000");
        machine().exitCodes = {row.exitCode};

        EXPECT_EQ(Run(false), row.result);
        EXPECT_EQ(restartRequested, row.restart);
        EXPECT_FALSE(sim::MarkerExists()) << "the run flow records the marker, not the msiexec run";
        EXPECT_EQ(machine().commandLines.size(), 1u);
        EXPECT_TRUE(machine().boxes.empty());
    }
}

TEST_F(MsiexecRun, AStartFailureReturnsTheStartError)
{
    for (uint32_t error : {2u, 193u}) {
        SCOPED_TRACE(error);
        sim::Reset();
        AddArchitecturePackages(kProductCodeA, L"2.0.13000");
        machine().startError = error;
        EXPECT_EQ(Run(false), error);
        EXPECT_FALSE(sim::MarkerExists());
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

        EXPECT_EQ(Run(false, kFreshArguments, code, L"C:\\Layout\\packages\\zarelcom-x64-2.0.msi"), 0u);
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

        EXPECT_EQ(Run(false, kFreshArguments, kProductCodeB), 0u);
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
            machine().windowsDirectoryError = 1150;
        } else {
            machine().windowsDirectory = row.windowsDirectory;
        }

        EXPECT_EQ(Run(false, kFreshArguments, row.code), 0u);
        EXPECT_EQ(machine().removedFiles, row.removed);
        EXPECT_EQ(machine().commandLines.size(), 1u);
    }
}

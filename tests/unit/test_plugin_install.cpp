// The plug-in installation flow: install, upgrade, reinstall or refuse, and the Windows Installer
// properties composed for each case.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "features/plugin/plugin_install.h"
#include "package_test_support.h"
#include "res/resource.h"

using namespace package_test;

namespace {

const std::wstring kFresh = L" ADDNPZAREL=1";
const std::wstring kReinstall = L" REINSTALL=ALL REINSTALLMODE=vomus";
const std::wstring kAddComponent = L" COMPADDLOCAL={316A4D11-D027-4C52-86B6-54D1FBC148E3}";
const std::wstring kAddAll = L" ADDLOCAL=ALL";
const std::wstring kBasicUi = L" /qb";
const std::wstring kExtra = L" TARGETDIR=\"C:\\Program Files\\Plug-in\" ";  // as the parser stores it

constexpr int kFeatureLocal = 3;
constexpr int kFeatureAbsent = 2;

class PlugInInstall : public PackageTest {
protected:
    // Both architecture packages, product code A, beside the executable.
    void Layout(const std::wstring& packageVersion)
    {
        AddArchitecturePackages(kProductCodeA, packageVersion);
    }

    // A product related to the packages through their upgrade code.
    sim::Product& Installed(const std::wstring& productCode, const std::wstring& version)
    {
        return sim::InstallProduct(productCode, kUpgradeCode, version);
    }

    // Runs the flow; `result` tells how it ended besides its code.
    uint32_t Install(bool silent, const std::wstring& extra = L"", bool reinstall = false)
    {
        result = InstallPlugInPackage(silent, reinstall, extra);
        return result.code;
    }

    // The argument string of the one msiexec run: what follows " REBOOT=R " on its command line.
    std::wstring ArgumentsOfTheRun()
    {
        if (machine().commandLines.size() != 1) {
            ADD_FAILURE() << "msiexec ran " << machine().commandLines.size() << " times";
            return std::wstring();
        }
        const std::wstring& commandLine = machine().commandLines[0];
        const std::wstring reboot = L" REBOOT=R ";
        const size_t at = commandLine.find(reboot);
        if (at == std::wstring::npos) {
            ADD_FAILURE() << "no REBOOT=R on the command line";
            return std::wstring();
        }
        return commandLine.substr(at + reboot.size());
    }

    // Nothing was opened, run or touched; the one error box, unless silent, showed `message`.
    void ExpectStoppedBeforeThePackage(bool silent, uint16_t message)
    {
        EXPECT_TRUE(machine().openedPackages.empty());
        EXPECT_TRUE(machine().commandLines.empty());
        EXPECT_TRUE(machine().sourceListCalls.empty());
        if (silent) {
            EXPECT_TRUE(machine().boxes.empty());
        } else {
            ExpectOnlyBox(Owner::Owned, kErrorStyle, MSG_ERROR_CAPTION, message);
        }
    }

    InstallResult result;
};

using Outcome = InstallResult::Outcome;

}  // namespace

// ---------------------------------------------------------------------------------------------
// ComposeInstallArguments

TEST(ComposeInstallArguments, EachCaseGetsItsFragmentsInFrontOfTheExtraArguments)
{
    const struct {
        const char* what;
        InstalledProductFacts facts;
        std::wstring fragments;  // without " /qb"
    } rows[] = {
        {"not installed", {false, false, false}, kFresh},
        {"not installed, other facts ignored", {false, true, true}, kFresh},
        {"same code, feature present", {true, true, false}, kReinstall},
        {"same code, feature absent", {true, true, true}, kAddComponent + kReinstall},
        {"other code, feature present", {true, false, false}, L""},
        {"other code, feature absent", {true, false, true}, kAddAll},
    };
    const struct {
        const wchar_t* extra;
        bool suppressesBasicUi;
    } extras[] = {
        {L"", false},
        {L" TARGETDIR=C:\\Plug-in ", false},
        {L" /qn ", true},
        {L" /qb! ", true},
        {L" /QN ", false},  // the search is case-sensitive
        {L" /Q ", false},
        {L" INSTALLDIR=D:/quick/plugin ", true},  // "/q" inside a path counts too
    };
    for (const auto& row : rows) {
        for (const auto& extra : extras) {
            SCOPED_TRACE(testing::Message() << row.what << " + \""
                                            << std::string(extra.extra, extra.extra + std::wcslen(extra.extra)) << '"');
            const std::wstring expected = (extra.suppressesBasicUi ? L"" : kBasicUi) + row.fragments + extra.extra;
            EXPECT_EQ(ComposeInstallArguments(row.facts, extra.extra), expected);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// InstallPlugInPackage: which case, which properties

TEST_F(PlugInInstall, FreshInstallRunsWithAddNpzarel)
{
    Layout(L"2.0.13000");
    EXPECT_EQ(Install(false, kExtra), 0u);
    EXPECT_EQ(result.outcome, Outcome::Installed);
    EXPECT_EQ(ArgumentsOfTheRun(), kBasicUi + kFresh + kExtra);
    EXPECT_TRUE(machine().boxes.empty());
    EXPECT_EQ(result.logPath, kTemp + L"\\zarelcom-x64.msi_" + kStamp + L".log");
    // The source list is reset for the installed code even when there is none.
    ASSERT_EQ(machine().sourceListCalls.size(), 2u);
    EXPECT_EQ(machine().sourceListCalls[0].productCode, L"");
    EXPECT_EQ(machine().sourceListCalls[1].productCode, L"");
}

TEST_F(PlugInInstall, AProductThatIsNotFullyInstalledCountsAsNotInstalled)
{
    const struct {
        const char* what;
        int state;
    } rows[] = {{"advertised", 1}, {"absent", 2}, {"local", 3}, {"unknown", -1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        Layout(L"2.0.13000");
        Installed(kProductCodeA, L"1.0").state = row.state;

        EXPECT_EQ(Install(false), 0u);
        EXPECT_EQ(ArgumentsOfTheRun(), kBasicUi + kFresh);
        EXPECT_TRUE(machine().boxes.empty());  // no comparison, no question
        EXPECT_EQ(machine().openedPackages, std::vector<std::wstring>{kX64Package});
        ASSERT_FALSE(machine().sourceListCalls.empty());
        EXPECT_EQ(machine().sourceListCalls[0].productCode, kProductCodeA);
    }
}

TEST_F(PlugInInstall, AnUpgradeGetsThePropertiesOfItsCase)
{
    const struct {
        const char* what;
        const std::wstring& installedCode;
        int featureState;
        std::wstring fragments;
    } rows[] = {
        {"same code, feature present", kProductCodeA, kFeatureLocal, kReinstall},
        {"same code, feature absent", kProductCodeA, kFeatureAbsent, kAddComponent + kReinstall},
        {"same code, feature unknown", kProductCodeA, -1, kReinstall},
        {"other code, feature present", kProductCodeB, kFeatureLocal, L""},
        {"other code, feature absent", kProductCodeB, kFeatureAbsent, kAddAll},
    };
    for (const auto& row : rows) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(testing::Message() << row.what << (silent ? ", silent" : ""));
            sim::Reset();
            Layout(L"2.0.13000");
            sim::Product& product = Installed(row.installedCode, L"2.0.12888");
            if (row.featureState == -1) {
                product.featureStates.clear();
            } else {
                product.featureStates[L"NPZAREL"] = row.featureState;
            }

            EXPECT_EQ(Install(silent, kExtra), 0u);
            EXPECT_EQ(ArgumentsOfTheRun(), kBasicUi + row.fragments + kExtra);
            EXPECT_EQ(machine().boxes.size(), silent ? 0u : 1u);  // the update question, answered Yes
        }
    }
}

TEST_F(PlugInInstall, ExtraArgumentsWithTheirOwnUiLevelDropBasicUi)
{
    const struct {
        const wchar_t* extra;
        bool basicUi;
    } rows[] = {
        {L" /qn ", false},
        {L" /QN ", true},
        {L" PROP=C:/q ", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << std::string(row.extra, row.extra + std::wcslen(row.extra)));
        sim::Reset();
        Layout(L"2.0.13000");
        EXPECT_EQ(Install(true, row.extra), 0u);
        EXPECT_EQ(ArgumentsOfTheRun(), (row.basicUi ? kBasicUi : L"") + kFresh + row.extra);
    }
}

TEST_F(PlugInInstall, TheFirstRelatedProductIsTheOneUpgraded)
{
    Layout(L"2.0.13000");
    Installed(kProductCodeB, L"1.0");
    Installed(kProductCodeA, L"2.0.13000");

    EXPECT_EQ(Install(false), 0u);
    // Compared with B's version (so the update question), and B's code differs from the package's.
    ASSERT_EQ(machine().boxes.size(), 1u);
    EXPECT_EQ(machine().boxes[0].text,
              L"Будет произведено обновление Kestrova Pellaris 1.0 до версии 2.0.13000. Обновить?");
    EXPECT_EQ(ArgumentsOfTheRun(), kBasicUi);
    ASSERT_EQ(machine().sourceListCalls.size(), 2u);
    EXPECT_EQ(machine().sourceListCalls[0].productCode, kProductCodeB);
}

// ---------------------------------------------------------------------------------------------
// InstallPlugInPackage: the version decision

TEST_F(PlugInInstall, SameVersionInteractiveAsksAndNoDeclines)
{
    for (int answer : {kButtonNo, 0}) {
        SCOPED_TRACE(answer);
        sim::Reset();
        Layout(L"2.0.13000");
        Installed(kProductCodeA, L"2.0.13000");
        machine().answers = {answer};

        EXPECT_EQ(Install(false), 1602u);
        EXPECT_EQ(result.outcome, Outcome::Cancelled);
        ExpectOnlyBox(Owner::Owned, kQuestionStyle, MSG_UPDATE_CAPTION, MSG_SAME_VERSION_REINSTALL);
        EXPECT_TRUE(machine().commandLines.empty());
        EXPECT_TRUE(machine().sourceListCalls.empty());
    }
}

TEST_F(PlugInInstall, SameVersionInteractiveYesReinstalls)
{
    Layout(L"2.0.13000");
    Installed(kProductCodeA, L"2.0.13000");
    machine().answers = {kButtonYes};

    EXPECT_EQ(Install(false), 0u);
    ExpectOnlyBox(Owner::Owned, kQuestionStyle, MSG_UPDATE_CAPTION, MSG_SAME_VERSION_REINSTALL);
    EXPECT_EQ(ArgumentsOfTheRun(), kBasicUi + kReinstall);
}

TEST_F(PlugInInstall, SameVersionSilentWithoutReinstallDoesNothing)
{
    Layout(L"2.0.13000");
    Installed(kProductCodeA, L"2.0.13000");

    EXPECT_EQ(Install(true), 0u);
    EXPECT_TRUE(machine().boxes.empty());
    EXPECT_TRUE(machine().commandLines.empty());
    EXPECT_EQ(result.logPath, L"");
}

TEST_F(PlugInInstall, SameVersionWithReinstallRunsWithoutAQuestion)
{
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "interactive");
        sim::Reset();
        Layout(L"2.0.13000");
        Installed(kProductCodeA, L"2.0.13000");

        EXPECT_EQ(Install(silent, L"", true), 0u);
        EXPECT_TRUE(machine().boxes.empty());
        EXPECT_EQ(ArgumentsOfTheRun(), kBasicUi + kReinstall);
    }
}

TEST_F(PlugInInstall, NewerVersionInstalledIsRefusedInteractively)
{
    for (bool reinstall : {false, true}) {
        SCOPED_TRACE(reinstall ? "-reinstall" : "plain");
        sim::Reset();
        Layout(L"2.0.12888");
        Installed(kProductCodeA, L"2.0.13000");

        EXPECT_EQ(Install(false, L"", reinstall), 0u);
        ExpectOnlyBox(Owner::Owned, kErrorStyle, MSG_UPDATE_CAPTION, MSG_NEWER_VERSION_INSTALLED);
        EXPECT_TRUE(machine().commandLines.empty());
        EXPECT_EQ(result.logPath, L"");
    }
}

TEST_F(PlugInInstall, NewerVersionInstalledIsOverwrittenInASilentRun)
{
    Layout(L"2.0.12888");
    Installed(kProductCodeA, L"2.0.13000");

    EXPECT_EQ(Install(true), 0u);
    EXPECT_TRUE(machine().boxes.empty());
    EXPECT_EQ(ArgumentsOfTheRun(), kBasicUi + kReinstall);
}

TEST_F(PlugInInstall, DecliningTheUpdateEndsTheRunWithNothingInstalled)
{
    Layout(L"2.0.13000");
    Installed(kProductCodeA, L"2.0.12888");
    machine().answers = {kButtonNo};

    EXPECT_EQ(Install(false), 0u);
    EXPECT_EQ(result.outcome, Outcome::UpdateDeclined);
    EXPECT_EQ(machine().boxes.size(), 1u);
    EXPECT_TRUE(machine().commandLines.empty());
    EXPECT_TRUE(machine().sourceListCalls.empty());
    EXPECT_EQ(result.logPath, L"");
}

TEST_F(PlugInInstall, AFailedComparisonIsPassedOnAndNothingRuns)
{
    Layout(L"2.0.13000");
    Installed(kProductCodeA, L"2.0.12888").versionReadError = 1611;

    EXPECT_EQ(Install(false), 1611u);
    ExpectOnlyBox(Owner::None, kOwnerlessErrorStyle, MSG_ERROR_CAPTION, MSG_INSTALLED_VERSION_UNREADABLE);
    EXPECT_TRUE(machine().commandLines.empty());
}

TEST_F(PlugInInstall, OneRunReadsItsOnePackageOnce)
{
    // On 64-bit Windows the x64 package is the run's: its version is compared and it is installed,
    // though the win32 package is listed first.
    sim::AddPackage(kWin32Package, kProductCodeA, kUpgradeCode, L"2.0.12888", L"win32 name");
    sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, L"9.0", L"x64 name");
    Installed(kProductCodeA, L"2.0.12888");

    EXPECT_EQ(Install(true), 0u);
    EXPECT_EQ(ArgumentsOfTheRun(), kBasicUi + kReinstall);
    EXPECT_NE(machine().commandLines[0].find(L" /i \"" + kX64Package + L"\" "), std::wstring::npos);
    EXPECT_EQ(machine().openedPackages, std::vector<std::wstring>{kX64Package});
}

TEST_F(PlugInInstall, AnotherProductsPackageBesideThePlugInIsNeverTouched)
{
    // Listed first and matching "*x64*.msi": another product, installed on this machine.
    const std::wstring otherUpgradeCode = L"{0DDC0DE0-5555-4A4B-9C3D-0E1F2A3B4C5D}";
    sim::AddPackage(L"C:\\Layout\\accounting-x64.msi", kProductCodeB, otherUpgradeCode, L"7.0");
    sim::InstallProduct(kProductCodeB, otherUpgradeCode, L"7.0");
    Layout(L"2.0.13000");

    EXPECT_EQ(Install(true), 0u);
    EXPECT_EQ(ArgumentsOfTheRun(), kBasicUi + kFresh);
    EXPECT_EQ(machine().openedPackages, std::vector<std::wstring>{kX64Package});
    for (const auto& call : machine().sourceListCalls) EXPECT_EQ(call.productCode, L"");
}

// ---------------------------------------------------------------------------------------------
// InstallPlugInPackage: failures and the package that is run

TEST_F(PlugInInstall, WithoutAPlugInPackageNothingIsOpenedAndTheRunReports139)
{
    const struct {
        const char* what;
        void (*layout)();
    } rows[] = {
        {"nothing at all", [] {}},
        {"packages of no architecture and of other products",
         [] {
             sim::AddPackage(L"C:\\Layout\\zarelcom.msi", kProductCodeA, kUpgradeCode, L"1.0");
             sim::AddPackage(L"C:\\Layout\\other-x64.msi", kProductCodeB, kUpgradeCode, L"1.0");
         }},
        {"a folder named like the package", [] { sim::AddDirectory(L"C:\\Layout\\zarelcom-x64.msi"); }},
    };
    for (const auto& row : rows) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(testing::Message() << row.what << (silent ? ", silent" : ""));
            sim::Reset();
            row.layout();

            EXPECT_EQ(Install(silent), 232u);
            ExpectStoppedBeforeThePackage(silent, MSG_PACKAGE_NOT_FOUND);
        }
    }
}

TEST_F(PlugInInstall, AnUnusableTmpStopsTheRunBeforeThePackageIsOpened)
{
    // Windows Installer works in TMP too: a bad one is reported as itself, before any question.
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "interactive");
        sim::Reset();
        Layout(L"2.0.13000");
        Installed(kProductCodeA, L"2.0.12888");
        machine().environment[L"TMP"] = L"Temp";

        EXPECT_EQ(Install(silent), 203u);
        ExpectStoppedBeforeThePackage(silent, MSG_TMP_UNREADABLE);
    }
}

TEST_F(PlugInInstall, ALogOfTheCallersOwnNeedsNoTmp)
{
    Layout(L"2.0.13000");
    machine().environment.erase(L"TMP");
    EXPECT_EQ(Install(true, L" /l*v C:\\mine.log "), 0u);
    EXPECT_EQ(ArgumentsOfTheRun(), kBasicUi + kFresh + L" /l*v C:\\mine.log ");
}

TEST_F(PlugInInstall, APackageThatCannotBeHeldOrReadIsReportedWithItsStatus)
{
    const struct {
        const char* what;
        void (*fault)();
        uint32_t code;
        uint16_t message;
    } rows[] = {
        {"still written by a download", [] { sim::FailCall("CreateFileW(OPEN_EXISTING)", 32); }, 32,
         MSG_PACKAGE_NOT_OPENED},
        {"cannot open", [] { sim::PackageAt(kX64Package).openError = 1620; }, 1620, MSG_PRODUCT_CODE_UNREADABLE},
        {"ProductCode unreadable", [] { sim::PackageAt(kX64Package).propertyErrors[L"ProductCode"] = 1627; }, 1627,
         MSG_PRODUCT_CODE_UNREADABLE},
        {"no ProductCode", [] { sim::PackageAt(kX64Package).properties.erase(L"ProductCode"); }, 1620,
         MSG_PRODUCT_CODE_UNREADABLE},
        {"UpgradeCode unreadable", [] { sim::PackageAt(kX64Package).propertyErrors[L"UpgradeCode"] = 1627; }, 1627,
         MSG_PRODUCT_CODE_UNREADABLE},
        {"empty UpgradeCode", [] { sim::PackageAt(kX64Package).properties[L"UpgradeCode"] = L""; }, 1620,
         MSG_PRODUCT_CODE_UNREADABLE},
        {"ProductVersion unreadable", [] { sim::PackageAt(kX64Package).propertyErrors[L"ProductVersion"] = 1627; },
         1627, MSG_PACKAGE_PROPERTY_UNREADABLE},
        {"ProductName unreadable", [] { sim::PackageAt(kX64Package).propertyErrors[L"ProductName"] = 1627; }, 1627,
         MSG_PACKAGE_PROPERTY_UNREADABLE},
    };
    for (const auto& row : rows) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(testing::Message() << row.what << (silent ? ", silent" : ""));
            sim::Reset();
            Layout(L"2.0.13000");
            Installed(kProductCodeA, L"2.0.12888");
            row.fault();

            EXPECT_EQ(Install(silent), row.code);
            EXPECT_EQ(result.outcome, Outcome::Failed);
            EXPECT_TRUE(machine().commandLines.empty());
            EXPECT_TRUE(sim::EverythingClosed());
            if (silent) {
                EXPECT_TRUE(machine().boxes.empty());
            } else {
                ExpectOnlyBox(Owner::Owned, kErrorStyle, MSG_ERROR_CAPTION, row.message);
            }
        }
    }
}

TEST_F(PlugInInstall, ThePackageIsHeldFromItsDiscoveryUntilMsiexecHasEnded)
{
    // Nobody can swap the file between the check of its codes and version and its installation.
    Layout(L"2.0.13000");
    Installed(kProductCodeA, L"2.0.12888");
    EXPECT_EQ(Install(false), 0u);
    ASSERT_EQ(machine().heldWhileRunning.size(), 1u);
    EXPECT_EQ(machine().heldWhileRunning[0].count(L"c:\\layout\\zarelcom-x64.msi"), 1u);
    EXPECT_TRUE(machine().heldFiles.empty());
}

TEST_F(PlugInInstall, AnEnumerationThatFailsIsNoProductInstalled)
{
    // Taken for "none installed", it would install over the product with a fresh install's properties.
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "interactive");
        sim::Reset();
        Layout(L"2.0.13000");
        Installed(kProductCodeA, L"2.0.12888");
        sim::FailCall("MsiEnumRelatedProductsW", 1610);

        EXPECT_EQ(Install(silent), 1610u);
        EXPECT_TRUE(machine().commandLines.empty());
        if (silent) {
            EXPECT_TRUE(machine().boxes.empty());
        } else {
            ExpectOnlyBox(Owner::None, kOwnerlessErrorStyle, MSG_ERROR_CAPTION, MSG_INSTALLED_VERSION_UNREADABLE);
        }
    }
}

TEST_F(PlugInInstall, ThePackageRunIsTheStemPackageOfThisArchitecture)
{
    const struct {
        platform::ProcessArchitecture architecture;
        std::wstring runPackage;
    } rows[] = {
        {platform::ProcessArchitecture::X86, kWin32Package},
        {platform::ProcessArchitecture::X86OnWow64, kX64Package},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.runPackage);
        sim::Reset();
        machine().architecture = row.architecture;
        // Listed first, but not of the plug-in's stem.
        sim::AddPackage(L"C:\\Layout\\aaa-x64.msi", kProductCodeB, kUpgradeCode, L"1.0");
        sim::AddPackage(L"C:\\Layout\\aaa-win32.msi", kProductCodeB, kUpgradeCode, L"1.0");
        Layout(L"2.0.13000");

        EXPECT_EQ(Install(true), 0u);
        ASSERT_EQ(machine().commandLines.size(), 1u);
        EXPECT_NE(machine().commandLines[0].find(L" /i \"" + row.runPackage + L"\" "), std::wstring::npos);
        EXPECT_EQ(machine().openedPackages, std::vector<std::wstring>{row.runPackage});
    }
}

TEST_F(PlugInInstall, APackageInAFolderOfItsOwnNameIsTheFileInside)
{
    sim::AddDirectory(L"C:\\Layout\\zarelcom-x64");
    sim::AddPackage(L"C:\\Layout\\zarelcom-x64\\zarelcom-x64.msi", kProductCodeA, kUpgradeCode, L"2.0.13000");

    EXPECT_EQ(Install(true), 0u);
    ASSERT_EQ(machine().commandLines.size(), 1u);
    EXPECT_NE(machine().commandLines[0].find(L" /i \"C:\\Layout\\zarelcom-x64\\zarelcom-x64.msi\" "),
              std::wstring::npos);
}

TEST_F(PlugInInstall, TheMsiexecResultIsTheResultAndTheLogPathStays)
{
    const struct {
        uint32_t exitCode;
        uint32_t result;
        bool restart;
    } rows[] = {{1603, 1603, false}, {1602, 1602, false}, {3010, 0, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.exitCode);
        sim::Reset();
        Layout(L"2.0.13000");
        machine().exitCodes = {row.exitCode};

        EXPECT_EQ(Install(false), row.result);
        EXPECT_EQ(result.logPath, kTemp + L"\\zarelcom-x64.msi_" + kStamp + L".log");
        EXPECT_EQ(result.restart == RestartNeed::Required, row.restart);
        EXPECT_TRUE(machine().boxes.empty());  // the run flow reports msiexec's failures, not this step
    }
}

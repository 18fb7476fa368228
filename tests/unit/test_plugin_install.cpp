// The plug-in installation flow: install, upgrade, reinstall or refuse, and the Windows Installer
// properties composed for each case.
#include <gtest/gtest.h>

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
// Every run of every version takes the same lock: its name is part of the product's interface.
const std::wstring kInstallationLock = L"Global\\KestrovaPellarisPlugInInstallation";

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
        ExpectOnlyBoxUnlessSilent(silent, Owner::Owned, kErrorStyle, MSG_ERROR_CAPTION, message);
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

TEST_F(PlugInInstall, WhatTheInstalledProductMakesOfTheRun)
{
    // How the version decision and the installed product's facts reach msiexec; the questions
    // themselves and their texts are the version decision's tests.
    const std::wstring kNone = L"<not run>";
    const struct {
        const char* what;
        const std::wstring& installedCode;
        const wchar_t* installed;  // its version (null: it cannot be read); the package is 2.0.13000
        int featureState;          // -1: the installed product does not know the feature
        bool silent, reinstall;
        std::vector<int> answers;
        Outcome outcome;
        uint32_t code;
        std::wstring arguments;  // msiexec's properties, without the basic UI
    } rows[] = {
        {"newer package, same code, feature present", kProductCodeA, L"2.0.12888", kFeatureLocal, false, false, {},
         Outcome::Installed, 0, kReinstall},
        {"newer package, same code, feature absent", kProductCodeA, L"2.0.12888", kFeatureAbsent, true, false, {},
         Outcome::Installed, 0, kAddComponent + kReinstall},
        {"newer package, same code, feature unknown", kProductCodeA, L"2.0.12888", -1, true, false, {},
         Outcome::Installed, 0, kReinstall},
        {"newer package, other code, feature present", kProductCodeB, L"2.0.12888", kFeatureLocal, true, false, {},
         Outcome::Installed, 0, L""},
        {"newer package, other code, feature absent", kProductCodeB, L"2.0.12888", kFeatureAbsent, false, false, {},
         Outcome::Installed, 0, kAddAll},
        {"newer package, No to the update", kProductCodeA, L"2.0.12888", kFeatureLocal, false, false, {kButtonNo},
         Outcome::UpdateDeclined, 0, kNone},
        {"same version, Yes to reinstall", kProductCodeA, L"2.0.13000", kFeatureLocal, false, false, {kButtonYes},
         Outcome::Installed, 0, kReinstall},
        {"same version, No to reinstall", kProductCodeA, L"2.0.13000", kFeatureLocal, false, false, {kButtonNo},
         Outcome::Cancelled, 1602, kNone},
        {"same version, silent", kProductCodeA, L"2.0.13000", kFeatureLocal, true, false, {}, Outcome::Installed, 0,
         kNone},
        {"same version, -reinstall", kProductCodeA, L"2.0.13000", kFeatureLocal, true, true, {}, Outcome::Installed, 0,
         kReinstall},
        {"newer installed, interactive", kProductCodeA, L"3.0", kFeatureLocal, false, true, {}, Outcome::Installed, 0,
         kNone},
        {"newer installed, silent", kProductCodeA, L"3.0", kFeatureLocal, true, false, {}, Outcome::Installed, 0,
         kReinstall},
        {"the installed version unreadable", kProductCodeA, nullptr, kFeatureLocal, true, false, {}, Outcome::Failed,
         1611, kNone},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        Layout(L"2.0.13000");
        sim::Product& product = Installed(row.installedCode, row.installed != nullptr ? row.installed : L"");
        if (row.featureState == -1) {
            product.featureStates.clear();
        } else {
            product.featureStates[L"NPZAREL"] = row.featureState;
        }
        if (row.installed == nullptr) sim::FailCall("MsiGetProductInfoW", 1611, 2);
        machine().answers.assign(row.answers.begin(), row.answers.end());

        EXPECT_EQ(Install(row.silent, kExtra, row.reinstall), row.code);
        EXPECT_EQ(result.outcome, row.outcome);
        if (row.arguments == kNone) {
            EXPECT_TRUE(machine().commandLines.empty());
            EXPECT_TRUE(machine().sourceListCalls.empty());
            EXPECT_EQ(result.logPath, L"");
        } else {
            EXPECT_EQ(ArgumentsOfTheRun(), kBasicUi + row.arguments + kExtra);
        }
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

TEST_F(PlugInInstall, TheFileReadAndComparedIsTheFileInstalled)
{
    // On 64-bit Windows the x64 package is the run's, though the win32 package is listed first.
    sim::AddPackage(kWin32Package, kProductCodeA, kUpgradeCode, L"2.0.12888", L"win32 name");
    sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, L"9.0", L"x64 name");
    Installed(kProductCodeA, L"2.0.12888");

    EXPECT_EQ(Install(true), 0u);
    EXPECT_EQ(ArgumentsOfTheRun(), kBasicUi + kReinstall);
    EXPECT_NE(machine().commandLines[0].find(L" /i \"" + kX64Package + L"\" "), std::wstring::npos);
    EXPECT_EQ(machine().openedPackages, std::vector<std::wstring>{kX64Package});
}

// ---------------------------------------------------------------------------------------------
// InstallPlugInPackage: failures and the package that is run

TEST_F(PlugInInstall, WithoutAPlugInPackageNothingIsOpenedAndTheRunReports139)
{
    const struct {
        const char* what;
        void (*layout)();
        uint32_t code;
    } rows[] = {
        {"no package of this architecture's name",
         [] { sim::AddPackage(L"C:\\Layout\\zarelcom.msi", kProductCodeA, kUpgradeCode, L"1.0"); }, 232},
        {"the folder cannot be searched", [] { sim::FailCall("FindFirstFileW", 206); }, 206},
        {"the executable's path cannot be read", [] { sim::FailCall("GetModuleFileNameW", 122); }, 122},
    };
    for (const auto& row : rows) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(testing::Message() << row.what << (silent ? ", silent" : ""));
            sim::Reset();
            row.layout();

            EXPECT_EQ(Install(silent), row.code);
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
    // The codes are reported as the installation reports them, the version and the name as the
    // version comparison does (ownerless).
    const struct {
        const char* what;
        void (*fault)();
        uint32_t code;
        Owner owner;
        uint16_t message;
    } rows[] = {
        {"still written by a download", [] { sim::FailCall("CreateFileW(OPEN_EXISTING)", 32); }, 32, Owner::Owned,
         MSG_PACKAGE_NOT_OPENED},
        {"cannot open", [] { sim::PackageAt(kX64Package).openError = 1620; }, 1620, Owner::Owned,
         MSG_PRODUCT_CODE_UNREADABLE},
        {"ProductCode unreadable", [] { sim::PackageAt(kX64Package).propertyErrors[L"ProductCode"] = 1627; }, 1627,
         Owner::Owned, MSG_PRODUCT_CODE_UNREADABLE},
        {"no ProductCode", [] { sim::PackageAt(kX64Package).properties.erase(L"ProductCode"); }, 1620, Owner::Owned,
         MSG_PRODUCT_CODE_UNREADABLE},
        {"UpgradeCode unreadable", [] { sim::PackageAt(kX64Package).propertyErrors[L"UpgradeCode"] = 1627; }, 1627,
         Owner::Owned, MSG_PRODUCT_CODE_UNREADABLE},
        {"empty UpgradeCode", [] { sim::PackageAt(kX64Package).properties[L"UpgradeCode"] = L""; }, 1620,
         Owner::Owned, MSG_PRODUCT_CODE_UNREADABLE},
        {"ProductVersion unreadable", [] { sim::PackageAt(kX64Package).propertyErrors[L"ProductVersion"] = 1627; },
         1627, Owner::None, MSG_PACKAGE_PROPERTY_UNREADABLE},
        // A version that is none would read as 0.0.0.0, the oldest of all: "a newer one is installed",
        // and a success with nothing installed. Nor is it installed where nothing is.
        {"no ProductVersion", [] { sim::PackageAt(kX64Package).properties.erase(L"ProductVersion"); }, 1620,
         Owner::None, MSG_PACKAGE_PROPERTY_UNREADABLE},
        {"a ProductVersion that is a word", [] { sim::PackageAt(kX64Package).properties[L"ProductVersion"] = L"beta"; },
         1620, Owner::None, MSG_PACKAGE_PROPERTY_UNREADABLE},
        {"a ProductVersion after a letter, nothing installed",
         [] {
             sim::PackageAt(kX64Package).properties[L"ProductVersion"] = L"v2.1";
             sim::machine().products.clear();
         },
         1620, Owner::None, MSG_PACKAGE_PROPERTY_UNREADABLE},
        {"ProductName unreadable", [] { sim::PackageAt(kX64Package).propertyErrors[L"ProductName"] = 1627; }, 1627,
         Owner::None, MSG_PACKAGE_PROPERTY_UNREADABLE},
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
            const uint32_t style = row.owner == Owner::Owned ? kErrorStyle : kOwnerlessErrorStyle;
            ExpectOnlyBoxUnlessSilent(silent, row.owner, style, MSG_ERROR_CAPTION, row.message);
        }
    }
}

TEST_F(PlugInInstall, ThePackageAndTheInstallationLockAreHeldUntilMsiexecHasEnded)
{
    // Nobody can swap the file between the check of its codes and version and its installation, and
    // no other run reads the installed product while this one replaces it.
    Layout(L"2.0.13000");
    Installed(kProductCodeA, L"2.0.12888");
    EXPECT_EQ(Install(false), 0u);
    ASSERT_EQ(machine().heldWhileRunning.size(), 1u);
    EXPECT_EQ(machine().heldWhileRunning[0].count(L"c:\\layout\\zarelcom-x64.msi"), 1u);
    EXPECT_EQ(machine().locksWhileRunning[0].count(kInstallationLock), 1u);
    EXPECT_TRUE(sim::EverythingClosed());
}

TEST_F(PlugInInstall, OnlyALockAnInstallingRunMadeIsObeyed)
{
    // Another installing run ends this one as msiexec ends when it meets another installation:
    // nothing read, asked, started or touched, and the run flow reports the code. A name that someone
    // else made first, held or not, is passed over as a lock that cannot be made is (that one is in
    // the fault sweep): the run installs at once, without a box of its own and without the lock.
    const struct {
        const char* name;
        std::set<std::wstring> sim::Machine::*locks;
        uint32_t code;
    } rows[] = {
        {"an installing run holds the lock", &sim::Machine::locksHeldElsewhere, 1618},
        {"a user made the lock's name first", &sim::Machine::locksMadeByOthers, 0},
    };
    for (const auto& row : rows) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(testing::Message() << row.name << (silent ? ", silent" : ", interactive"));
            sim::Reset();
            Layout(L"2.0.13000");
            (machine().*row.locks).insert(kInstallationLock);

            EXPECT_EQ(Install(silent), row.code);
            EXPECT_TRUE(machine().boxes.empty());
            EXPECT_TRUE(sim::EverythingClosed());
            if (row.code == 0) {
                EXPECT_EQ(result.outcome, Outcome::Installed);
                ASSERT_EQ(machine().locksWhileRunning.size(), 1u);
                EXPECT_EQ(machine().locksWhileRunning[0].count(kInstallationLock), 0u);
            } else {
                EXPECT_EQ(result.outcome, Outcome::Failed);
                EXPECT_TRUE(machine().openedPackages.empty());
                EXPECT_TRUE(machine().commandLines.empty());
                EXPECT_TRUE(machine().createdFiles.empty());  // no log
            }
        }
    }
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
        ExpectOnlyBoxUnlessSilent(silent, Owner::None, kOwnerlessErrorStyle, MSG_ERROR_CAPTION,
                                  MSG_INSTALLED_VERSION_UNREADABLE);
    }
}

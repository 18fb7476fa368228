// Package versions: parsing as the C runtime's scanner would, the packed-key comparison with its
// carries and borrows, and the comparison with the installed product that may ask to update.
#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "features/plugin/package_discovery.h"
#include "features/plugin/version.h"
#include "package_test_support.h"
#include "res/resource.h"

using namespace package_test;

namespace {

constexpr int kUntouched = 42;  // what the caller's comparison variable held before the call

std::wstring UpdateQuestion(const std::wstring& name, const std::wstring& installed, const std::wstring& package)
{
    return L"Будет произведено обновление " + name + L" " + installed + L" до версии " + package + L". Обновить?";
}

void ExpectVersion(const PackageVersion& v, int64_t first, int64_t second, int64_t third, int64_t fourth)
{
    EXPECT_EQ(v.first, first);
    EXPECT_EQ(v.second, second);
    EXPECT_EQ(v.third, third);
    EXPECT_EQ(v.fourth, fourth);
}

class VersionDecision : public PackageTest {
protected:
    // The x64 package beside the executable and the installed product it would update.
    void Layout(const std::wstring& packageVersion, const std::wstring& installedVersion,
                const std::wstring& productName = L"Kestrova Pellaris")
    {
        sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, packageVersion, productName);
        sim::InstallProduct(kProductCodeA, kUpgradeCode, installedVersion);
    }

    // Compares the run's package, read as the installation flow reads it, with `installedCode`.
    uint32_t Compare(bool silent, const std::wstring& installedCode = kProductCodeA)
    {
        PlugInPackage package;
        std::wstring path;
        EXPECT_EQ(FindPackageFile(PlugInPackageMask(), path), 0u);
        EXPECT_EQ(ReadPlugInPackage(path, package), 0u);
        return CompareWithInstalled(silent, installedCode, package, comparison, updateDeclined);
    }

    int comparison = kUntouched;
    bool updateDeclined = false;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// ParseVersion

TEST(ParseVersion, ReadsLikeTheRuntimesFormattedScan)
{
    const struct {
        const wchar_t* text;
        int64_t first, second, third, fourth;
    } rows[] = {
        {L"1.2.3.4", 1, 2, 3, 4},
        {L"2.0.12888", 2, 0, 12888, 0},  // missing parts are 0
        {L"2", 2, 0, 0, 0},
        {L"2.0.12888 beta", 2, 0, 12888, 0},  // trailing words end the scan
        {L"2.0.12888.7 (release)", 2, 0, 12888, 7},
        {L"1.2.3.4.5", 1, 2, 3, 4},  // four parts at most
        {L"1.2.3.4x", 1, 2, 3, 4},
        {L"  3.1", 3, 1, 0, 0},  // blanks before a number are skipped
        {L"\t\n3.1", 3, 1, 0, 0},
        {L"1. 2.\t3", 1, 2, 3, 0},
        {L"1 .2", 1, 0, 0, 0},  // but a full stop must follow the digits at once
        {L"+1.-2.+3.-4", 1, -2, 3, -4},
        {L"-1", -1, 0, 0, 0},
        {L"1.- 5", 1, 0, 0, 0},  // no blank between a sign and its digits
        {L"1.+.3", 1, 0, 0, 0},
        {L"1..2", 1, 0, 0, 0},  // an empty part stops the scan
        {L"1.x.3", 1, 0, 0, 0},
        {L"1,2,3", 1, 0, 0, 0},
        {L"2.0.", 2, 0, 0, 0},
        {L"007.010", 7, 10, 0, 0},  // decimal, never octal
        {L"0x1F.2", 0, 0, 0, 0},    // never hexadecimal either
        {L"70000.65536", 70000, 65536, 0, 0},
        {L"9223372036854775807.1", INT64_MAX, 1, 0, 0},
        {L"", 0, 0, 0, 0},  // empty or non-numeric text is 0.0.0.0
        {L"beta", 0, 0, 0, 0},
        {L"v2.0", 0, 0, 0, 0},
        {L".5", 0, 0, 0, 0},
        {L"-", 0, 0, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << '"' << std::string(row.text, row.text + std::wcslen(row.text)) << '"');
        ExpectVersion(ParseVersion(row.text), row.first, row.second, row.third, row.fourth);
    }
}

// ---------------------------------------------------------------------------------------------
// CompareVersions

TEST(CompareVersions, ComparesOnePacked64BitKey)
{
    const struct {
        const char* why;
        PackageVersion a, b;
        int expected;
    } rows[] = {
        {"equal", {2, 0, 12888, 0}, {2, 0, 12888, 0}, 0},
        {"third part decides", {2, 0, 13000, 0}, {2, 0, 12888, 0}, 1},
        {"fourth part decides", {1, 2, 3, 4}, {1, 2, 3, 5}, -1},
        {"first part decides", {3, 0, 0, 0}, {2, 65535, 65535, 65535}, 1},
        {"third part carries into the second", {1, 0, 70000, 0}, {1, 1, 0, 0}, 1},
        {"an exact carry is equality", {1, 0, 65536, 0}, {1, 1, 0, 0}, 0},
        {"fourth part carries into the third", {1, 0, 0, 65536}, {1, 0, 1, 0}, 0},
        {"a carry turns 9.99999 above 10.0", {9, 99999, 0, 0}, {10, 0, 0, 0}, 1},
        {"a negative part borrows", {1, 0, -1, 0}, {0, 65535, 65535, 0}, 0},
        {"a negative second part borrows from the first", {2, -1, 0, 0}, {1, 65535, 0, 1}, -1},
        {"a negative last part is below zero", {0, 0, 0, -1}, {0, 0, 0, 0}, -1},
        {"first part 32768 makes the key negative", {32768, 0, 0, 0}, {1, 0, 0, 0}, -1},
        {"first part 65535 makes the key negative", {65535, 0, 0, 0}, {0, 0, 0, 0}, -1},
        {"the largest positive key", {32767, 65535, 65535, 65535}, {32768, 0, 0, 0}, 1},
        {"bits above the first part's 16 are lost", {65537, 0, 0, 0}, {1, 0, 0, 0}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(CompareVersions(row.a, row.b), row.expected);
        EXPECT_EQ(CompareVersions(row.b, row.a), -row.expected);
    }
}

TEST(CompareVersions, MissingPartsCompareAsZero)
{
    EXPECT_EQ(CompareVersions(ParseVersion(L"2.0"), ParseVersion(L"2.0.0.0")), 0);
    EXPECT_EQ(CompareVersions(ParseVersion(L"2.0.0.1"), ParseVersion(L"2.0")), 1);
    EXPECT_EQ(CompareVersions(ParseVersion(L"garbage"), ParseVersion(L"0.0.0.0")), 0);
}

// ---------------------------------------------------------------------------------------------
// CompareWithInstalled

TEST_F(VersionDecision, EveryFailureIsReportedOnceAndLeavesTheComparisonAlone)
{
    enum class Fault { VersionProbe, VersionRead, PackageVersionUnreadable };
    const struct {
        const char* what;
        Fault fault;
        uint32_t code;
        uint16_t message;
    } rows[] = {
        {"size probe of VersionString", Fault::VersionProbe, 1, MSG_INSTALLED_VERSION_UNREADABLE},
        {"read of VersionString", Fault::VersionRead, 1611, MSG_INSTALLED_VERSION_UNREADABLE},
        {"ProductVersion unreadable", Fault::PackageVersionUnreadable, 1627, MSG_PACKAGE_PROPERTY_UNREADABLE},
    };
    for (const auto& row : rows) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(testing::Message() << row.what << (silent ? ", silent" : ""));
            sim::Reset();
            comparison = kUntouched;
            sim::Product& product = sim::InstallProduct(kProductCodeA, kUpgradeCode, L"2.0.12888");
            if (row.fault == Fault::VersionProbe) product.versionProbeError = 1610;
            if (row.fault == Fault::VersionRead) product.versionReadError = 1611;
            sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, L"2.0.13000");
            if (row.fault == Fault::PackageVersionUnreadable) {
                sim::PackageAt(kX64Package).propertyErrors[L"ProductVersion"] = 1627;
            }

            EXPECT_EQ(Compare(silent), row.code);
            EXPECT_EQ(comparison, kUntouched);
            EXPECT_TRUE(machine().openHandles.empty());
            if (silent) {
                EXPECT_TRUE(machine().boxes.empty());
            } else {
                ExpectOnlyBox(Owner::None, kOwnerlessErrorStyle, MSG_ERROR_CAPTION, row.message);
            }
        }
    }
}

TEST_F(VersionDecision, EqualOrOlderPackageAsksNothing)
{
    const struct {
        const wchar_t* package;
        const wchar_t* installed;
        int expected;
    } rows[] = {
        {L"2.0.12888", L"2.0.12888", 0},
        {L"2.0", L"2.0.0.0", 0},
        {L"2.0.12888", L"2.0.13000", -1},
        {L"1.1.0.0", L"1.0.70000.0", -1},
    };
    for (const auto& row : rows) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(testing::Message() << (silent ? "silent " : "") << row.expected);
            sim::Reset();
            comparison = kUntouched;
            Layout(row.package, row.installed);

            EXPECT_EQ(Compare(silent), 0u);
            EXPECT_EQ(comparison, row.expected);
            EXPECT_TRUE(machine().boxes.empty());
            EXPECT_EQ(machine().openedPackages, std::vector<std::wstring>{kX64Package});  // no name read
        }
    }
}

TEST_F(VersionDecision, TheVersionReadIsThatOfTheProductGiven)
{
    sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, L"2.0.13000");
    sim::InstallProduct(kProductCodeA, kUpgradeCode, L"1.0");
    sim::InstallProduct(kProductCodeB, kUpgradeCode, L"2.0.13000");

    EXPECT_EQ(Compare(false, kProductCodeB), 0u);
    EXPECT_EQ(comparison, 0);
}

TEST_F(VersionDecision, SilentRunWithANewerPackageAsksNothingAndReadsNoName)
{
    Layout(L"2.0.13000", L"2.0.12888");
    EXPECT_EQ(Compare(true), 0u);
    EXPECT_EQ(comparison, 1);
    EXPECT_TRUE(machine().boxes.empty());
    EXPECT_EQ(machine().openedPackages, std::vector<std::wstring>{kX64Package});
}

TEST_F(VersionDecision, NewerPackageAsksTheUpdateQuestionAndYesGoesOn)
{
    Layout(L"2.0.13000", L"2.0.12888");
    machine().answers = {kButtonYes};

    EXPECT_EQ(Compare(false), 0u);
    EXPECT_EQ(comparison, 1);
    ASSERT_EQ(machine().boxes.size(), 1u);
    ExpectBox(machine().boxes[0], Owner::None, kOwnerlessQuestionStyle, MSG_UPDATE_CAPTION,
              L"Будет произведено обновление Kestrova Pellaris 2.0.12888 до версии 2.0.13000. Обновить?");
    EXPECT_TRUE(machine().commandLines.empty());
}

TEST_F(VersionDecision, AnyAnswerButNoGoesOn)
{
    for (int answer : {0, kButtonOk}) {
        SCOPED_TRACE(answer);
        sim::Reset();
        Layout(L"2.0.13000", L"2.0.12888");
        machine().answers = {answer};
        EXPECT_EQ(Compare(false), 0u);
        EXPECT_FALSE(updateDeclined);
    }
}

TEST_F(VersionDecision, NoToTheUpdateQuestionIsAnUpdateDeclined)
{
    Layout(L"2.0.13000", L"2.0.12888");
    machine().answers = {kButtonNo};

    EXPECT_EQ(Compare(false), 0u);
    EXPECT_TRUE(updateDeclined);
    EXPECT_EQ(comparison, 1);
    EXPECT_EQ(machine().boxes.size(), 1u);
    EXPECT_TRUE(machine().commandLines.empty());
    EXPECT_FALSE(sim::MarkerExists());
}

TEST_F(VersionDecision, TheQuestionShowsTheVersionTextsAsWrittenAndTheNameAsData)
{
    const struct {
        const wchar_t* name;
        const wchar_t* installed;
        const wchar_t* package;
    } rows[] = {
        {L"Kestrova Pellaris", L"2.0.12888 beta", L"2.0.13000 (release)"},
        {L"Plug-in %s %d 100%", L"1.0", L"2.0"},
        {L"%", L" 1.0", L"02.0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << std::string(row.name, row.name + std::wcslen(row.name)));
        sim::Reset();
        Layout(row.package, row.installed, row.name);

        EXPECT_EQ(Compare(false), 0u);
        ASSERT_EQ(machine().boxes.size(), 1u);
        EXPECT_EQ(machine().boxes[0].text, UpdateQuestion(row.name, row.installed, row.package));
    }
}

TEST_F(VersionDecision, TheQuestionNamesTheProductOfTheLanguagePackage)
{
    machine().uiLanguage = 0x0419;
    Layout(L"2.0.13000", L"2.0.12888", L"Architecture package");
    sim::AddPackage(L"C:\\Layout\\rus-zarelcom.msi", kProductCodeA, kUpgradeCode, L"9.9", L"Плагин");

    EXPECT_EQ(Compare(false), 0u);
    ASSERT_EQ(machine().boxes.size(), 1u);
    // The language package gives the name only; the version shown is that of the package compared.
    EXPECT_EQ(machine().boxes[0].text, UpdateQuestion(L"Плагин", L"2.0.12888", L"2.0.13000"));
}

TEST_F(VersionDecision, AProductNameThatCannotBeReadIsReportedAndItsCodeReturned)
{
    const struct {
        const char* what;
        bool cannotOpen;
        uint32_t code;
        uint16_t message;
    } rows[] = {
        {"language package cannot be opened", true, 1620, MSG_PACKAGE_NOT_OPENED},
        {"ProductName unreadable", false, 1627, MSG_PACKAGE_PROPERTY_UNREADABLE},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        comparison = kUntouched;
        Layout(L"2.0.13000", L"2.0.12888");
        sim::AddPackage(L"C:\\Layout\\rus-zarelcom.msi", kProductCodeA, kUpgradeCode, L"2.0.13000");
        sim::Package& names = sim::PackageAt(L"C:\\Layout\\rus-zarelcom.msi");
        if (row.cannotOpen) {
            names.openError = 1620;
        } else {
            names.propertyErrors[L"ProductName"] = 1627;
        }

        EXPECT_EQ(Compare(false), row.code);
        EXPECT_EQ(comparison, 1);
        ExpectOnlyBox(Owner::None, kOwnerlessErrorStyle, MSG_ERROR_CAPTION, row.message);
        EXPECT_TRUE(machine().openHandles.empty());
    }
}

TEST_F(VersionDecision, TheVersionComparedIsThatOfTheRunsOwnPackage)
{
    // Listed first, the other architecture's package with its higher version is never read.
    machine().architecture = platform::ProcessArchitecture::X86OnWow64;
    sim::AddPackage(kWin32Package, kProductCodeA, kUpgradeCode, L"3.0");
    sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, L"1.0");
    sim::InstallProduct(kProductCodeA, kUpgradeCode, L"2.0");

    EXPECT_EQ(Compare(false), 0u);
    EXPECT_EQ(comparison, -1);
    EXPECT_EQ(machine().openedPackages, std::vector<std::wstring>{kX64Package});
}

TEST_F(VersionDecision, APackageOneFolderDownIsCompared)
{
    sim::AddDirectory(L"C:\\Layout\\packages");
    sim::AddPackage(L"C:\\Layout\\packages\\zarelcom-x64.msi", kProductCodeA, kUpgradeCode, L"1.0");
    sim::InstallProduct(kProductCodeA, kUpgradeCode, L"2.0");

    EXPECT_EQ(Compare(false), 0u);
    EXPECT_EQ(comparison, -1);
}

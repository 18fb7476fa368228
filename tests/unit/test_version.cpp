// Package versions: parsing as the C runtime's scanner would, the packed-key comparison with its
// carries and borrows, and what the comparison with the installed product decides and asks.
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

}  // namespace

// ---------------------------------------------------------------------------------------------
// ParseVersion

TEST(ParseVersion, ReadsLikeTheRuntimesFormattedScan)
{
    const struct {
        const wchar_t* text;
        int64_t first, second, third, fourth;
        bool isVersion;  // begins with a number; a package version that does not is no version
    } rows[] = {
        {L"1.2.3.4", 1, 2, 3, 4, true},
        {L"2.0.12888", 2, 0, 12888, 0, true},  // missing parts are 0
        {L"2", 2, 0, 0, 0, true},
        {L"2.0.12888 beta", 2, 0, 12888, 0, true},  // trailing words end the scan
        {L"2.0.12888.7 (release)", 2, 0, 12888, 7, true},
        {L"1.2.3.4.5", 1, 2, 3, 4, true},  // four parts at most
        {L"1.2.3.4x", 1, 2, 3, 4, true},
        {L"  3.1", 3, 1, 0, 0, true},  // blanks before a number are skipped
        {L"\t\n3.1", 3, 1, 0, 0, true},
        {L"1. 2.\t3", 1, 2, 3, 0, true},
        {L"1 .2", 1, 0, 0, 0, true},  // but a full stop must follow the digits at once
        {L"+1.-2.+3.-4", 1, -2, 3, -4, true},
        {L"-1", -1, 0, 0, 0, true},
        {L"1.- 5", 1, 0, 0, 0, true},  // no blank between a sign and its digits
        {L"1.+.3", 1, 0, 0, 0, true},
        {L"1..2", 1, 0, 0, 0, true},  // an empty part stops the scan
        {L"1.x.3", 1, 0, 0, 0, true},
        {L"1,2,3", 1, 0, 0, 0, true},
        {L"2.0.", 2, 0, 0, 0, true},
        {L"007.010", 7, 10, 0, 0, true},  // decimal, never octal
        {L"0x1F.2", 0, 0, 0, 0, true},    // never hexadecimal either
        {L"70000.65536", 70000, 65536, 0, 0, true},
        {L"9223372036854775807.1", INT64_MAX, 1, 0, 0, true},
        {L"", 0, 0, 0, 0, false},  // empty or non-numeric text is 0.0.0.0
        {L"beta", 0, 0, 0, 0, false},
        {L"v2.0", 0, 0, 0, 0, false},
        {L".5", 0, 0, 0, 0, false},
        {L"-", 0, 0, 0, 0, false},
        {L" v2.1", 0, 0, 0, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << '"' << std::string(row.text, row.text + std::wcslen(row.text)) << '"');
        ExpectVersion(ParseVersion(row.text), row.first, row.second, row.third, row.fourth);
        EXPECT_EQ(BeginsWithNumber(row.text), row.isVersion);
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
// DecideOnInstalledVersion: the comparison with the installed product and what it asks

namespace {

using Decision = VersionDecision;

struct ExpectedBox {
    Owner owner;
    uint32_t style;
    uint16_t caption;
    std::wstring text;
};

ExpectedBox UpdateQuestionBox(const std::wstring& name, const std::wstring& installed, const std::wstring& package)
{
    return {Owner::None, kOwnerlessQuestionStyle, MSG_UPDATE_CAPTION, UpdateQuestion(name, installed, package)};
}

const ExpectedBox kReinstallQuestion = {Owner::Owned, kQuestionStyle, MSG_UPDATE_CAPTION,
                                        ExpectedText(MSG_SAME_VERSION_REINSTALL)};
const ExpectedBox kNewerInstalledNotice = {Owner::Owned, kErrorStyle, MSG_UPDATE_CAPTION,
                                           ExpectedText(MSG_NEWER_VERSION_INSTALLED)};

ExpectedBox OwnerlessError(uint16_t message)
{
    return {Owner::None, kOwnerlessErrorStyle, MSG_ERROR_CAPTION, ExpectedText(message)};
}

class VersionDecisionTest : public PackageTest {};

}  // namespace

TEST_F(VersionDecisionTest, WhatTheVersionsDecideAndWhatIsAsked)
{
    const std::wstring kName = L"Kestrova Pellaris";
    const std::wstring kLanguagePackage = L"C:\\Layout\\rus-zarelcom.msi";
    const struct {
        const char* what;
        std::wstring package, installed;
        bool silent, reinstall;
        std::vector<int> answers;
        void (*fault)();
        uint32_t code;
        Decision decision;  // when the code is 0
        std::vector<ExpectedBox> boxes;
    } rows[] = {
        // The same version: reinstalled on Yes or with -reinstall.
        {"same, Yes", L"2.0.12888", L"2.0.12888", false, false, {kButtonYes}, nullptr, 0, Decision::Install,
         {kReinstallQuestion}},
        {"same, No", L"2.0.12888", L"2.0.12888", false, false, {kButtonNo}, nullptr, 0, Decision::ReinstallDeclined,
         {kReinstallQuestion}},
        {"same, the question not shown", L"2.0.12888", L"2.0.12888", false, false, {0}, nullptr, 0,
         Decision::ReinstallDeclined, {kReinstallQuestion}},
        {"same, silent", L"2.0.12888", L"2.0.12888", true, false, {}, nullptr, 0, Decision::NothingToDo, {}},
        {"same, -reinstall", L"2.0.12888", L"2.0.12888", false, true, {}, nullptr, 0, Decision::Install, {}},
        {"same, -reinstall, silent", L"2.0.12888", L"2.0.12888", true, true, {}, nullptr, 0, Decision::Install, {}},
        {"missing parts are 0", L"2.0", L"2.0.0.0", true, false, {}, nullptr, 0, Decision::NothingToDo, {}},
        // A newer version installed: left alone with a notice, overwritten in a silent run.
        {"older package", L"2.0.12888", L"2.0.13000", false, false, {}, nullptr, 0, Decision::NothingToDo,
         {kNewerInstalledNotice}},
        {"older package, -reinstall", L"2.0.12888", L"2.0.13000", false, true, {}, nullptr, 0, Decision::NothingToDo,
         {kNewerInstalledNotice}},
        {"older package, silent", L"2.0.12888", L"2.0.13000", true, false, {}, nullptr, 0, Decision::Install, {}},
        {"a carry makes 1.0.70000.0 the newer", L"1.1.0.0", L"1.0.70000.0", true, false, {}, nullptr, 0,
         Decision::Install, {}},
        // A newer package: the update question; only No declines.
        {"newer, Yes", L"2.0.13000", L"2.0.12888", false, false, {kButtonYes}, nullptr, 0, Decision::Install,
         {UpdateQuestionBox(kName, L"2.0.12888", L"2.0.13000")}},
        {"newer, No", L"2.0.13000", L"2.0.12888", false, false, {kButtonNo}, nullptr, 0, Decision::UpdateDeclined,
         {UpdateQuestionBox(kName, L"2.0.12888", L"2.0.13000")}},
        {"newer, the question not shown", L"2.0.13000", L"2.0.12888", false, false, {0}, nullptr, 0, Decision::Install,
         {UpdateQuestionBox(kName, L"2.0.12888", L"2.0.13000")}},
        {"newer, silent: nothing asked", L"2.0.13000", L"2.0.12888", true, false, {}, nullptr, 0, Decision::Install, {}},
        {"the question shows the texts as written", L"2.0.13000 (release)", L" 2.0.12888 beta", false, false, {},
         nullptr, 0, Decision::Install, {UpdateQuestionBox(kName, L" 2.0.12888 beta", L"2.0.13000 (release)")}},
        {"an installed version that is no version reads as 0.0.0.0", L"1.0", L"unknown", false, false, {}, nullptr, 0,
         Decision::Install, {UpdateQuestionBox(kName, L"unknown", L"1.0")}},
        {"the language package names the product", L"2.0.13000", L"2.0.12888", false, false, {},
         [] { sim::AddPackage(L"C:\\Layout\\rus-zarelcom.msi", kProductCodeA, kUpgradeCode, L"9.9", L"Плагин %s"); },
         0, Decision::Install, {UpdateQuestionBox(L"Плагин %s", L"2.0.12888", L"2.0.13000")}},
        // Failures, reported once; nothing is decided.
        {"the language package cannot be opened", L"2.0.13000", L"2.0.12888", false, false, {},
         [] {
             sim::AddPackage(L"C:\\Layout\\rus-zarelcom.msi", kProductCodeA, kUpgradeCode, L"9.9");
             sim::PackageAt(L"C:\\Layout\\rus-zarelcom.msi").openError = 1620;
         },
         1620, Decision::Install, {OwnerlessError(MSG_PACKAGE_NOT_OPENED)}},
        {"the installed version's size cannot be read", L"2.0.13000", L"2.0.12888", false, false, {},
         [] { sim::FailCall("MsiGetProductInfoW", 1610, 1); }, 1, Decision::Install,
         {OwnerlessError(MSG_INSTALLED_VERSION_UNREADABLE)}},
        {"the installed version cannot be read", L"2.0.13000", L"2.0.12888", true, false, {},
         [] { sim::FailCall("MsiGetProductInfoW", 1611, 2); }, 1611, Decision::Install, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, row.package, kName);
        sim::InstallProduct(kProductCodeA, kUpgradeCode, row.installed);
        if (row.fault != nullptr) row.fault();
        machine().answers.assign(row.answers.begin(), row.answers.end());
        PlugInPackage package;
        ASSERT_EQ(ReadPlugInPackage(true, kX64Package, package), 0u);

        Decision decision = Decision::Install;
        EXPECT_EQ(DecideOnInstalledVersion(row.silent, row.reinstall, kProductCodeA, package, decision), row.code);
        if (row.code == 0) {
            EXPECT_EQ(decision, row.decision);
        }
        ASSERT_EQ(machine().boxes.size(), row.boxes.size());
        for (size_t i = 0; i < row.boxes.size(); ++i) {
            const ExpectedBox& box = row.boxes[i];
            ExpectBox(machine().boxes[i], box.owner, box.style, box.caption, box.text);
        }
        EXPECT_TRUE(sim::EverythingClosed());
    }
}

TEST_F(VersionDecisionTest, TheVersionReadIsThatOfTheProductGiven)
{
    sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, L"2.0.13000");
    sim::InstallProduct(kProductCodeA, kUpgradeCode, L"1.0");
    sim::InstallProduct(kProductCodeB, kUpgradeCode, L"2.0.13000");
    PlugInPackage package;
    ASSERT_EQ(ReadPlugInPackage(true, kX64Package, package), 0u);

    VersionComparison comparison;
    EXPECT_EQ(CompareWithInstalled(false, kProductCodeB, package, comparison), 0u);
    EXPECT_EQ(comparison.result, 0);
    EXPECT_EQ(comparison.installedVersion, L"2.0.13000");
}

// The thin layer over Windows Installer: reading package properties and installed-product facts,
// and the holder that must release every handle exactly once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "features/plugin/msi_access.h"
#include "package_test_support.h"

using namespace package_test;

namespace {

const std::wstring kEarlier = L"<earlier text>";
const std::wstring kOtherUpgradeCode = L"{0DDC0DE0-5555-4A4B-9C3D-0E1F2A3B4C5D}";

class MsiAccess : public PackageTest {
protected:
    void SetUp() override
    {
        PackageTest::SetUp();
        sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, L"2.0.13000");
    }

    // A handle number that stands open on the machine without belonging to any package; only a
    // close call for that number can remove it.
    platform::MsiHandleValue StrayHandle(platform::MsiHandleValue value)
    {
        machine().openHandles.insert(value);
        return value;
    }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// OpenPackage

TEST_F(MsiAccess, OpenPackageFillsThePackageSlot)
{
    MsiHandle holder;
    EXPECT_EQ(OpenPackage(kX64Package, holder), 0u);
    EXPECT_NE(holder.package, 0u);
    EXPECT_EQ(machine().openHandles.count(holder.package), 1u);
    EXPECT_EQ(machine().openedPackages, std::vector<std::wstring>{kX64Package});
    holder.Close();
}

TEST_F(MsiAccess, AFailedOpenLeavesThePackageSlotEmpty)
{
    sim::PackageAt(kX64Package).openError = 1620;
    MsiHandle holder;
    EXPECT_EQ(OpenPackage(kX64Package, holder), 1620u);
    EXPECT_EQ(holder.package, 0u);
    holder.Close();
}

// ---------------------------------------------------------------------------------------------
// ReadMsiProperty and ReadProductInfo

TEST_F(MsiAccess, APropertyReadGivesExactlyTheValueOrLeavesTheOutput)
{
    const std::wstring longValue(700, L'Ж');
    sim::Package& package = sim::PackageAt(kX64Package);
    package.properties[L"Long"] = longValue;
    package.properties[L"ProductName"] = L"";
    package.propertyErrors[L"UpgradeCode"] = 1627;
    const struct {
        const char* what;
        bool open;
        const wchar_t* name;
        uint32_t code;
        std::wstring value;
    } rows[] = {
        {"a short value", true, L"ProductVersion", 0, L"2.0.13000"},
        {"a value longer than the output held", true, L"Long", 0, longValue},
        {"an empty value", true, L"ProductName", 0, L""},
        {"a failed probe", true, L"UpgradeCode", 1627, kEarlier},
        {"an empty package slot", false, L"ProductCode", 6, kEarlier},  // ERROR_INVALID_HANDLE
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        MsiHandle holder;
        if (row.open) {
            ASSERT_EQ(OpenPackage(kX64Package, holder), 0u);
        }
        std::wstring value = kEarlier;
        EXPECT_EQ(ReadMsiProperty(holder, row.name, value), row.code);
        EXPECT_EQ(value, row.value);
    }
}

TEST_F(MsiAccess, ProductInfoReadsTheVersionTextOrTellsWhichCallFailed)
{
    using Stage = ProductInfoStage;
    const struct {
        const char* what;
        const wchar_t* version;
        const char* failingCall;
        int occurrence;
        const std::wstring& product;
        uint32_t code;
        std::wstring value;
        Stage stage;
    } rows[] = {
        {"a version with words", L"2.0.12888 build 7", nullptr, 0, kProductCodeB, 0, L"2.0.12888 build 7", Stage::None},
        {"an empty version", L"", nullptr, 0, kProductCodeB, 0, L"", Stage::None},
        {"the size probe fails", L"2.0", "MsiGetProductInfoW", 1, kProductCodeB, 1610, kEarlier, Stage::SizeProbe},
        {"the read fails", L"2.0", "MsiGetProductInfoW", 2, kProductCodeB, 1611, kEarlier, Stage::Read},
        {"an unknown product", L"2.0", nullptr, 0, kProductCodeA, 1605, kEarlier, Stage::SizeProbe},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        sim::InstallProduct(kProductCodeB, kUpgradeCode, row.version);
        if (row.failingCall != nullptr) sim::FailCall(row.failingCall, row.code, row.occurrence);

        std::wstring value = kEarlier;
        Stage stage = Stage::Read;
        EXPECT_EQ(ReadProductInfo(row.product, L"VersionString", value, stage), row.code);
        EXPECT_EQ(value, row.value);
        EXPECT_EQ(stage, row.stage);
    }
}

// ---------------------------------------------------------------------------------------------
// FindFirstRelatedProduct

TEST_F(MsiAccess, OfTwoRelatedProductsTheFirstListedIsTaken)
{
    sim::InstallProduct(kProductCodeA, kOtherUpgradeCode, L"1.0");
    sim::InstallProduct(kProductCodeB, kUpgradeCode, L"1.0");
    sim::InstallProduct(kProductCodeA, kUpgradeCode, L"2.0");

    std::wstring code = kEarlier;
    EXPECT_EQ(FindFirstRelatedProduct(kUpgradeCode, code), 0u);
    EXPECT_EQ(code, kProductCodeB);
}

TEST_F(MsiAccess, NoRelatedProductGives259AndKeepsTheEarlierText)
{
    sim::InstallProduct(kProductCodeA, kOtherUpgradeCode, L"1.0");

    std::wstring code = kEarlier;
    EXPECT_EQ(FindFirstRelatedProduct(kUpgradeCode, code), 259u);
    EXPECT_EQ(code, kEarlier);

    std::wstring fresh;
    EXPECT_EQ(FindFirstRelatedProduct(kUpgradeCode, fresh), 259u);
    EXPECT_EQ(fresh, L"");
}

TEST_F(MsiAccess, AnEmptyUpgradeCodeFindsNothing)
{
    sim::InstallProduct(kProductCodeA, kUpgradeCode, L"1.0");
    std::wstring code;
    EXPECT_NE(FindFirstRelatedProduct(L"", code), 0u);
    EXPECT_EQ(code, L"");
}

// ---------------------------------------------------------------------------------------------
// MsiHandle

TEST_F(MsiAccess, CloseOnAnEmptyHolderMakesNoCall)
{
    // Handle 0 standing open is a trip wire: only a close call for an empty slot could remove it.
    StrayHandle(0);
    {
        MsiHandle holder;
        holder.Close();
        EXPECT_EQ(machine().openHandles.count(0), 1u);
    }
    EXPECT_EQ(machine().openHandles.count(0), 1u);
    machine().openHandles.clear();
}

TEST_F(MsiAccess, CloseReleasesThePackageAndEmptiesTheSlot)
{
    MsiHandle holder;
    ASSERT_EQ(OpenPackage(kX64Package, holder), 0u);
    holder.Close();
    EXPECT_EQ(holder.package, 0u);
    EXPECT_TRUE(machine().openHandles.empty());
}

TEST_F(MsiAccess, CloseFollowedByTheEndOfScopeClosesNothingTwice)
{
    // Windows hands closed handle numbers out again; a second close would release someone else's.
    platform::MsiHandleValue number = 0;
    {
        MsiHandle holder;
        ASSERT_EQ(OpenPackage(kX64Package, holder), 0u);
        number = holder.package;
        holder.Close();
        StrayHandle(number);
    }
    EXPECT_EQ(machine().openHandles.count(number), 1u);
    machine().openHandles.clear();
}

TEST_F(MsiAccess, TheEndOfScopeReleasesAPackageLeftOpen)
{
    {
        MsiHandle holder;
        ASSERT_EQ(OpenPackage(kX64Package, holder), 0u);
    }
    EXPECT_TRUE(machine().openHandles.empty());
}

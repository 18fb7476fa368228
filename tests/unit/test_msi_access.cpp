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
// ReadMsiProperty

TEST_F(MsiAccess, PropertyReadGivesExactlyTheValue)
{
    const std::wstring longValue(700, L'Ж');
    sim::Package& package = sim::PackageAt(kX64Package);
    package.properties[L"Long"] = longValue;
    package.properties[L"X"] = L"1";
    const struct {
        const wchar_t* name;
        std::wstring value;
    } rows[] = {
        {L"ProductVersion", L"2.0.13000"},
        {L"ProductCode", kProductCodeA},
        {L"Long", longValue},
        {L"X", L"1"},
    };

    MsiHandle holder;
    ASSERT_EQ(OpenPackage(kX64Package, holder), 0u);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::wstring value = kEarlier + kEarlier + kEarlier;  // longer than some values: must shrink
        EXPECT_EQ(ReadMsiProperty(holder, row.name, value), 0u);
        EXPECT_EQ(value, row.value);
    }
    holder.Close();
}

TEST_F(MsiAccess, AnEmptyPropertyReadsAsAnEmptyTextWithSuccess)
{
    sim::PackageAt(kX64Package).properties[L"ProductName"] = L"";
    MsiHandle holder;
    ASSERT_EQ(OpenPackage(kX64Package, holder), 0u);

    std::wstring value = kEarlier;
    EXPECT_EQ(ReadMsiProperty(holder, L"ProductName", value), 0u);
    EXPECT_EQ(value, L"");
    holder.Close();
}

TEST_F(MsiAccess, AFailedProbeLeavesTheOutputAsItWas)
{
    sim::PackageAt(kX64Package).propertyErrors[L"UpgradeCode"] = 1627;
    MsiHandle holder;
    ASSERT_EQ(OpenPackage(kX64Package, holder), 0u);

    std::wstring value = kEarlier;
    EXPECT_EQ(ReadMsiProperty(holder, L"UpgradeCode", value), 1627u);
    EXPECT_EQ(value, kEarlier);
    holder.Close();
}

TEST_F(MsiAccess, ReadingWithAnEmptyPackageSlotReturnsTheProbesError)
{
    MsiHandle holder;
    std::wstring value = kEarlier;
    EXPECT_EQ(ReadMsiProperty(holder, L"ProductCode", value), 6u);  // ERROR_INVALID_HANDLE
    EXPECT_EQ(value, kEarlier);
}

// ---------------------------------------------------------------------------------------------
// ReadProductInfo

TEST_F(MsiAccess, ProductInfoReadsTheInstalledVersionText)
{
    sim::InstallProduct(kProductCodeA, kUpgradeCode, L"2.0.12888 build 7");
    std::wstring value = kEarlier;
    ProductInfoStage stage = ProductInfoStage::Read;
    EXPECT_EQ(ReadProductInfo(kProductCodeA, L"VersionString", value, stage), 0u);
    EXPECT_EQ(value, L"2.0.12888 build 7");
    EXPECT_EQ(stage, ProductInfoStage::None);
}

TEST_F(MsiAccess, ProductInfoOfAnEmptyVersionIsAnEmptyText)
{
    sim::InstallProduct(kProductCodeA, kUpgradeCode, L"");
    std::wstring value = kEarlier;
    ProductInfoStage stage = ProductInfoStage::Read;
    EXPECT_EQ(ReadProductInfo(kProductCodeA, L"VersionString", value, stage), 0u);
    EXPECT_EQ(value, L"");
    EXPECT_EQ(stage, ProductInfoStage::None);
}

TEST_F(MsiAccess, ProductInfoTellsWhichCallFailed)
{
    enum class Fault { Probe, Read, UnknownProduct };
    const struct {
        const char* what;
        Fault fault;
        uint32_t code;
        ProductInfoStage stage;
    } rows[] = {
        {"probe", Fault::Probe, 1610, ProductInfoStage::SizeProbe},
        {"read", Fault::Read, 1611, ProductInfoStage::Read},
        {"unknown product", Fault::UnknownProduct, 1605, ProductInfoStage::SizeProbe},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        sim::Product& product = sim::InstallProduct(kProductCodeB, kUpgradeCode, L"2.0");
        if (row.fault == Fault::Probe) product.versionProbeError = row.code;
        if (row.fault == Fault::Read) product.versionReadError = row.code;
        const std::wstring code = row.fault == Fault::UnknownProduct ? kProductCodeA : kProductCodeB;

        std::wstring value;
        ProductInfoStage stage = ProductInfoStage::None;
        EXPECT_EQ(ReadProductInfo(code, L"VersionString", value, stage), row.code);
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

// Finding the plug-in package beside the bootstrapper or one folder below it, choosing the
// architecture and language masks, and reading the codes and the product name from the package.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/package_discovery.h"
#include "package_test_support.h"
#include "res/resource.h"

using namespace package_test;

namespace {

const std::wstring kUnchanged = L"<unchanged>";
const std::wstring kProductCodeC = L"{CCCCCCCC-4444-4A4B-9C3D-0E1F2A3B4C5D}";
const std::wstring kOtherUpgradeCode = L"{0DDC0DE0-5555-4A4B-9C3D-0E1F2A3B4C5D}";

// The path FindPackageFile gives for `mask`, or kUnchanged with the code when nothing was found.
struct Found {
    uint32_t code;
    std::wstring path;
};

Found Find(const std::wstring& mask)
{
    Found found{0, kUnchanged};
    found.code = FindPackageFile(mask, found.path);
    return found;
}

class PackageDiscovery : public PackageTest {};

}  // namespace

// ---------------------------------------------------------------------------------------------
// FindPackageFile

TEST_F(PackageDiscovery, MatchBesideTheExecutableWinsOverAnyListedEarlierInASubfolder)
{
    sim::AddDirectory(L"C:\\Layout\\packages");
    sim::AddFile(L"C:\\Layout\\packages\\zarelcom-x64.msi");
    sim::AddFile(L"C:\\Layout\\zarelcom-x64.msi");

    const Found found = Find(L"zarelcom*x64*");
    EXPECT_EQ(found.code, 0u);
    EXPECT_EQ(found.path, L"C:\\Layout\\zarelcom-x64.msi");
}

TEST_F(PackageDiscovery, FirstSubfolderInListingOrderThatHoldsAMatchWins)
{
    // Listing order, not alphabetical: "zeta" is listed before "alpha".
    sim::AddDirectory(L"C:\\Layout\\empty");
    sim::AddFile(L"C:\\Layout\\empty\\readme.txt");
    sim::AddDirectory(L"C:\\Layout\\zeta");
    sim::AddFile(L"C:\\Layout\\zeta\\zarelcom-x64.msi");
    sim::AddDirectory(L"C:\\Layout\\alpha");
    sim::AddFile(L"C:\\Layout\\alpha\\zarelcom-x64.msi");

    const Found found = Find(L"zarelcom*x64*");
    EXPECT_EQ(found.code, 0u);
    EXPECT_EQ(found.path, L"C:\\Layout\\zeta\\zarelcom-x64.msi");
}

TEST_F(PackageDiscovery, WithinAFolderTheFirstListedMatchWins)
{
    sim::AddFile(L"C:\\Layout\\zarelcom-x64-b.msi");
    sim::AddFile(L"C:\\Layout\\zarelcom-x64-a.msi");
    EXPECT_EQ(Find(L"zarelcom*x64*").path, L"C:\\Layout\\zarelcom-x64-b.msi");
}

TEST_F(PackageDiscovery, FoldersWhoseNamesBeginWithAFullStopAreNeverSearched)
{
    sim::AddDirectory(L"C:\\Layout\\.svn");
    sim::AddFile(L"C:\\Layout\\.svn\\zarelcom-x64.msi");
    // ".." seen from the layout folder is its parent; a package lying there must not be picked up.
    sim::AddDirectory(L"C:\\Layout\\..");
    sim::AddFile(L"C:\\Layout\\..\\zarelcom-x64.msi");

    const Found found = Find(L"zarelcom*x64*");
    EXPECT_EQ(found.code, 232u);
    EXPECT_EQ(found.path, kUnchanged);
}

TEST_F(PackageDiscovery, AHiddenFolderDoesNotStopTheSearchOfTheFoldersAfterIt)
{
    sim::AddDirectory(L"C:\\Layout\\.cache");
    sim::AddFile(L"C:\\Layout\\.cache\\zarelcom-x64.msi");
    sim::AddDirectory(L"C:\\Layout\\packages");
    sim::AddFile(L"C:\\Layout\\packages\\zarelcom-x64.msi");

    EXPECT_EQ(Find(L"zarelcom*x64*").path, L"C:\\Layout\\packages\\zarelcom-x64.msi");
}

TEST_F(PackageDiscovery, SubfoldersAreSearchedOneLevelDeepOnly)
{
    sim::AddDirectory(L"C:\\Layout\\packages");
    sim::AddDirectory(L"C:\\Layout\\packages\\x64");
    sim::AddFile(L"C:\\Layout\\packages\\x64\\zarelcom-x64.msi");

    const Found found = Find(L"zarelcom*x64*");
    EXPECT_EQ(found.code, 232u);
    EXPECT_EQ(found.path, kUnchanged);
}

TEST_F(PackageDiscovery, NoMatchAnywhereGives232AndLeavesThePathAlone)
{
    sim::AddFile(L"C:\\Layout\\zarelcom-win32.msi");
    sim::AddDirectory(L"C:\\Layout\\packages");
    sim::AddFile(L"C:\\Layout\\packages\\setup.msi");

    const Found found = Find(L"zarelcom*x64*");
    EXPECT_EQ(found.code, 232u);
    EXPECT_EQ(found.path, kUnchanged);
}

TEST_F(PackageDiscovery, AnUnlistableExecutableFolderGives232)
{
    machine().executablePath = L"D:\\Gone\\bootstrapper.exe";
    const Found found = Find(L"*.msi");
    EXPECT_EQ(found.code, 232u);
    EXPECT_EQ(found.path, kUnchanged);
}

TEST_F(PackageDiscovery, MasksIgnoreCaseAndThePathKeepsTheListingsSpelling)
{
    sim::AddDirectory(L"C:\\Layout\\Packages");
    sim::AddFile(L"C:\\Layout\\Packages\\ZarelCom-X64.MSI");

    const Found found = Find(L"zarelcom*x64**.msi");
    EXPECT_EQ(found.code, 0u);
    EXPECT_EQ(found.path, L"C:\\Layout\\Packages\\ZarelCom-X64.MSI");
}

TEST_F(PackageDiscovery, AFolderThatMatchesCountsLikeAFile)
{
    sim::AddDirectory(L"C:\\Layout\\zarelcom-x64");
    EXPECT_EQ(Find(L"zarelcom*x64*").path, L"C:\\Layout\\zarelcom-x64");

    sim::Reset();
    sim::AddDirectory(L"C:\\Layout\\packages");
    sim::AddDirectory(L"C:\\Layout\\packages\\zarelcom-x64");
    EXPECT_EQ(Find(L"zarelcom*x64*").path, L"C:\\Layout\\packages\\zarelcom-x64");
}

TEST_F(PackageDiscovery, TheExecutablesFolderIsWhereverTheExecutableRuns)
{
    machine().executablePath = L"E:\\Media\\Plugin\\start.exe";
    sim::AddDirectory(L"E:\\Media\\Plugin");
    sim::AddFile(L"E:\\Media\\Plugin\\zarelcom-x64.msi");
    sim::AddFile(L"C:\\Layout\\other-x64.msi");

    EXPECT_EQ(Find(L"*x64*").path, L"E:\\Media\\Plugin\\zarelcom-x64.msi");
}

// ---------------------------------------------------------------------------------------------
// Masks

TEST_F(PackageDiscovery, ArchitectureMaskFollowsTheSystemsWordSize)
{
    const struct {
        platform::ProcessArchitecture architecture;
        const wchar_t* mask;
    } rows[] = {
        {platform::ProcessArchitecture::X86, L"*win32*"},
        {platform::ProcessArchitecture::X86OnWow64, L"*x64*"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.architecture));
        machine().architecture = row.architecture;
        EXPECT_EQ(GetArchitectureMask(), row.mask);
    }
}

TEST_F(PackageDiscovery, LanguageMaskIsRussianOnlyForRussianAsSpokenInRussia)
{
    const struct {
        uint16_t language;
        const wchar_t* mask;
    } rows[] = {
        {0x0419, L"*rus*"},
        {0x0819, L"*eng*"},  // Russian (Moldova): another sublanguage
        {0x0019, L"*eng*"},  // Russian, neutral sublanguage
        {0x0409, L"*eng*"},
        {0x0422, L"*eng*"},
        {0x0000, L"*eng*"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.language);
        machine().uiLanguage = row.language;
        EXPECT_EQ(GetLanguageMask(), row.mask);
    }
}

// ---------------------------------------------------------------------------------------------
// ReadPlugInPackageCode

TEST_F(PackageDiscovery, PackageCodeComesFromThePackageOfThisArchitecture)
{
    const struct {
        platform::ProcessArchitecture architecture;
        const std::wstring& package;
        const std::wstring& code;
    } rows[] = {
        {platform::ProcessArchitecture::X86, kWin32Package, kProductCodeB},
        {platform::ProcessArchitecture::X86OnWow64, kX64Package, kProductCodeA},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.package);
        sim::Reset();
        machine().architecture = row.architecture;
        // Any .msi would do for the fallback; listed first, it shows that the fallback was not used.
        sim::AddPackage(L"C:\\Layout\\aaa.msi", kProductCodeC, kUpgradeCode, L"1.0");
        sim::AddPackage(kWin32Package, kProductCodeB, kUpgradeCode, L"1.0");
        sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, L"1.0");

        std::wstring code;
        EXPECT_EQ(ReadPlugInPackageCode(code, false), 0u);
        EXPECT_EQ(code, row.code);
        EXPECT_EQ(machine().openedPackages, std::vector<std::wstring>{row.package});
        EXPECT_TRUE(machine().openHandles.empty());
    }
}

TEST_F(PackageDiscovery, ArchitecturePackageInASubfolderBeatsAnyMsiBesideTheExecutable)
{
    sim::AddPackage(L"C:\\Layout\\other.msi", kProductCodeC, kUpgradeCode, L"1.0");
    sim::AddDirectory(L"C:\\Layout\\packages");
    sim::AddPackage(L"C:\\Layout\\packages\\zarelcom-x64.msi", kProductCodeA, kUpgradeCode, L"1.0");

    std::wstring code;
    EXPECT_EQ(ReadPlugInPackageCode(code, false), 0u);
    EXPECT_EQ(code, kProductCodeA);
}

TEST_F(PackageDiscovery, WithoutAnArchitecturePackageAnyMsiIsTaken)
{
    // The architecture mask is joined with "*.msi": a non-package with x64 in its name is no match.
    sim::AddFile(L"C:\\Layout\\zarelcom-x64-readme.txt");
    sim::AddPackage(L"C:\\Layout\\zarelcom.msi", kProductCodeC, kUpgradeCode, L"1.0");

    std::wstring code;
    EXPECT_EQ(ReadPlugInPackageCode(code, false), 0u);
    EXPECT_EQ(code, kProductCodeC);
    EXPECT_EQ(machine().openedPackages, std::vector<std::wstring>{L"C:\\Layout\\zarelcom.msi"});
}

TEST_F(PackageDiscovery, TheAnyMsiFallbackAlsoLooksOneFolderDown)
{
    machine().architecture = platform::ProcessArchitecture::X86;
    sim::AddFile(L"C:\\Layout\\readme-win32.txt");
    sim::AddDirectory(L"C:\\Layout\\packages");
    sim::AddPackage(L"C:\\Layout\\packages\\plugin.msi", kProductCodeC, kUpgradeCode, L"1.0");

    std::wstring code;
    EXPECT_EQ(ReadPlugInPackageCode(code, false), 0u);
    EXPECT_EQ(code, kProductCodeC);
}

TEST_F(PackageDiscovery, NoPackageAtAllGives232WithoutOpeningAnything)
{
    sim::AddFile(L"C:\\Layout\\zarelcom-x64.txt");
    for (bool related : {false, true}) {
        SCOPED_TRACE(related ? "related" : "package");
        std::wstring code;
        EXPECT_EQ(ReadPlugInPackageCode(code, related), 232u);
        EXPECT_EQ(code, L"");
    }
    EXPECT_TRUE(machine().openedPackages.empty());
    EXPECT_TRUE(machine().boxes.empty());
}

TEST_F(PackageDiscovery, APackageThatCannotBeOpenedPassesItsCodeOn)
{
    AddArchitecturePackages(kProductCodeA, L"1.0");
    sim::PackageAt(kX64Package).openError = 1620;
    for (bool related : {false, true}) {
        SCOPED_TRACE(related ? "related" : "package");
        std::wstring code;
        EXPECT_EQ(ReadPlugInPackageCode(code, related), 1620u);
        EXPECT_EQ(code, L"");
        EXPECT_TRUE(machine().openHandles.empty());
    }
    EXPECT_TRUE(machine().boxes.empty());
}

TEST_F(PackageDiscovery, AnUnreadableProductCodePassesItsCodeOn)
{
    AddArchitecturePackages(kProductCodeA, L"1.0");
    sim::PackageAt(kX64Package).propertyErrors[L"ProductCode"] = 1627;

    std::wstring code;
    EXPECT_EQ(ReadPlugInPackageCode(code, false), 1627u);
    EXPECT_EQ(code, L"");
    EXPECT_TRUE(machine().boxes.empty());
}

TEST_F(PackageDiscovery, RelatedFlagGivesTheFirstInstalledProductSharingTheUpgradeCode)
{
    AddArchitecturePackages(kProductCodeA, L"2.0");
    sim::InstallProduct(kProductCodeC, kOtherUpgradeCode, L"9.0");  // not related
    sim::InstallProduct(kProductCodeB, kUpgradeCode, L"1.0");
    sim::InstallProduct(kProductCodeA, kUpgradeCode, L"2.0");

    std::wstring code;
    EXPECT_EQ(ReadPlugInPackageCode(code, true), 0u);
    EXPECT_EQ(code, kProductCodeB);

    // Nothing is cached: a second call searches and opens the package again.
    std::wstring again;
    EXPECT_EQ(ReadPlugInPackageCode(again, true), 0u);
    EXPECT_EQ(again, kProductCodeB);
    EXPECT_EQ(machine().openedPackages, (std::vector<std::wstring>{kX64Package, kX64Package}));
}

TEST_F(PackageDiscovery, RelatedFlagWithNothingInstalledGives259AndAnEmptyCode)
{
    AddArchitecturePackages(kProductCodeA, L"2.0");
    sim::InstallProduct(kProductCodeC, kOtherUpgradeCode, L"9.0");

    std::wstring code;
    EXPECT_EQ(ReadPlugInPackageCode(code, true), 259u);
    EXPECT_EQ(code, L"");
}

TEST_F(PackageDiscovery, AnUnreadableOrEmptyUpgradeCodeFindsNoRelatedProduct)
{
    const struct {
        const char* what;
        bool unreadable;
    } rows[] = {{"unreadable", true}, {"empty", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        AddArchitecturePackages(kProductCodeA, L"2.0");
        sim::Package& package = sim::PackageAt(kX64Package);
        if (row.unreadable) {
            package.propertyErrors[L"UpgradeCode"] = 1627;
        } else {
            package.properties[L"UpgradeCode"] = L"";
        }
        sim::InstallProduct(kProductCodeA, kUpgradeCode, L"2.0");

        std::wstring code;
        EXPECT_NE(ReadPlugInPackageCode(code, true), 0u);
        EXPECT_EQ(code, L"");
        EXPECT_TRUE(machine().openHandles.empty());
    }
}

// ---------------------------------------------------------------------------------------------
// ReadPackageProductName

TEST_F(PackageDiscovery, ProductNameComesFromThePackageOfTheSystemLanguage)
{
    const struct {
        uint16_t language;
        const wchar_t* name;
    } rows[] = {
        {0x0419, L"Русское имя"},
        {0x0819, L"English name"},
        {0x0409, L"English name"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.language);
        sim::Reset();
        machine().uiLanguage = row.language;
        sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, L"1.0", L"Architecture package");
        sim::AddPackage(L"C:\\Layout\\eng-zarelcom.msi", kProductCodeA, kUpgradeCode, L"1.0", L"English name");
        sim::AddPackage(L"C:\\Layout\\rus-zarelcom.msi", kProductCodeA, kUpgradeCode, L"1.0", L"Русское имя");

        std::wstring name;
        EXPECT_EQ(ReadPackageProductName(name, false, kPlugInPackageMask), 0u);
        EXPECT_EQ(name, row.name);
        EXPECT_TRUE(machine().boxes.empty());
    }
}

TEST_F(PackageDiscovery, LanguageMaskStandsInFrontOfThePackageMask)
{
    // "*rus*zarelcom*.msi" matches rus-zarelcom.msi but not zarelcom-rus.msi.
    sim::AddPackage(L"C:\\Layout\\zarelcom-rus.msi", kProductCodeA, kUpgradeCode, L"1.0", L"suffix");
    sim::AddPackage(L"C:\\Layout\\rus-zarelcom.msi", kProductCodeA, kUpgradeCode, L"1.0", L"prefix");

    std::wstring name;
    EXPECT_EQ(ReadPackageProductName(name, false, kPlugInPackageMask), 0u);
    EXPECT_EQ(name, L"prefix");
}

TEST_F(PackageDiscovery, WithoutALanguagePackageTheFirstPackageOfTheStemIsRead)
{
    sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, L"1.0", L"first");
    sim::AddPackage(L"C:\\Layout\\zarelcom-rus.msi", kProductCodeA, kUpgradeCode, L"1.0", L"suffix");

    std::wstring name;
    EXPECT_EQ(ReadPackageProductName(name, false, kPlugInPackageMask), 0u);
    EXPECT_EQ(name, L"first");
    EXPECT_EQ(machine().openedPackages, std::vector<std::wstring>{kX64Package});
}

TEST_F(PackageDiscovery, ProductNameFailuresShowAnOwnerlessErrorUnlessSilent)
{
    enum class Fault { NoPackage, CannotOpen, NameUnreadable };
    const struct {
        Fault fault;
        uint32_t code;
        uint16_t message;
    } rows[] = {
        {Fault::NoPackage, 232, MSG_PACKAGE_PATH_NOT_FOUND},
        {Fault::CannotOpen, 1620, MSG_PACKAGE_NOT_OPENED},
        {Fault::NameUnreadable, 1627, MSG_PACKAGE_PROPERTY_UNREADABLE},
    };
    for (const auto& row : rows) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(testing::Message() << "message " << row.message << (silent ? " silent" : ""));
            sim::Reset();
            if (row.fault != Fault::NoPackage) {
                sim::AddPackage(L"C:\\Layout\\rus-zarelcom.msi", kProductCodeA, kUpgradeCode, L"1.0");
            }
            if (row.fault == Fault::CannotOpen) sim::PackageAt(L"C:\\Layout\\rus-zarelcom.msi").openError = 1620;
            if (row.fault == Fault::NameUnreadable) {
                sim::PackageAt(L"C:\\Layout\\rus-zarelcom.msi").propertyErrors[L"ProductName"] = 1627;
            }

            std::wstring name;
            EXPECT_EQ(ReadPackageProductName(name, silent, kPlugInPackageMask), row.code);
            EXPECT_TRUE(machine().openHandles.empty());
            if (silent) {
                EXPECT_TRUE(machine().boxes.empty());
            } else {
                ExpectOnlyBox(Owner::None, kOwnerlessErrorStyle, MSG_ERROR_CAPTION, row.message);
            }
        }
    }
}

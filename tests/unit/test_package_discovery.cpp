// Finding the plug-in package beside the bootstrapper or one folder below it, choosing the
// architecture and language masks, and reading what a run needs from its one plug-in package.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "features/plugin/package_discovery.h"
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

TEST_F(PackageDiscovery, AFolderOfAMatchingNameIsPassedOver)
{
    // The layout zarelcom-x64\zarelcom-x64.msi: the folder beside the executable is no package.
    sim::AddDirectory(L"C:\\Layout\\zarelcom-x64");
    sim::AddFile(L"C:\\Layout\\zarelcom-x64\\zarelcom-x64.msi");
    EXPECT_EQ(Find(L"zarelcom*x64*").path, L"C:\\Layout\\zarelcom-x64\\zarelcom-x64.msi");

    // A file listed after a matching folder in the same place is the first match.
    sim::Reset();
    sim::AddDirectory(L"C:\\Layout\\packages");
    sim::AddDirectory(L"C:\\Layout\\packages\\zarelcom-x64.msi");
    sim::AddFile(L"C:\\Layout\\packages\\zarelcom-x64-2.0.msi");
    EXPECT_EQ(Find(L"zarelcom*x64*.msi").path, L"C:\\Layout\\packages\\zarelcom-x64-2.0.msi");

    // Folders alone are no match at all.
    sim::Reset();
    sim::AddDirectory(L"C:\\Layout\\zarelcom-x64.msi");
    const Found found = Find(L"zarelcom*x64*.msi");
    EXPECT_EQ(found.code, 232u);
    EXPECT_EQ(found.path, kUnchanged);
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
// The run's plug-in package

TEST_F(PackageDiscovery, ThePlugInPackageIsTheStemPackageOfThisArchitecture)
{
    const struct {
        platform::ProcessArchitecture architecture;
        const std::wstring& package;
    } rows[] = {
        {platform::ProcessArchitecture::X86, kWin32Package},
        {platform::ProcessArchitecture::X86OnWow64, kX64Package},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.package);
        sim::Reset();
        machine().architecture = row.architecture;
        // Listed first, none of these may be taken: another product's package, a package of no
        // architecture, a non-package of the stem.
        sim::AddPackage(L"C:\\Layout\\other-x64-win32.msi", kProductCodeC, kOtherUpgradeCode, L"1.0");
        sim::AddPackage(L"C:\\Layout\\zarelcom.msi", kProductCodeC, kUpgradeCode, L"1.0");
        sim::AddFile(L"C:\\Layout\\zarelcom-x64-win32-readme.txt");
        AddArchitecturePackages(kProductCodeA, L"1.0");

        const Found found = Find(PlugInPackageMask());
        EXPECT_EQ(found.code, 0u);
        EXPECT_EQ(found.path, row.package);
    }
}

TEST_F(PackageDiscovery, NoOtherPackageEverStandsInForThePlugIn)
{
    sim::AddPackage(L"C:\\Layout\\other-x64.msi", kProductCodeC, kOtherUpgradeCode, L"1.0");
    sim::AddPackage(L"C:\\Layout\\zarelcom.msi", kProductCodeC, kUpgradeCode, L"1.0");
    sim::AddDirectory(L"C:\\Layout\\packages");
    sim::AddPackage(L"C:\\Layout\\packages\\plugin.msi", kProductCodeC, kUpgradeCode, L"1.0");

    const Found found = Find(PlugInPackageMask());
    EXPECT_EQ(found.code, 232u);
    EXPECT_EQ(found.path, kUnchanged);
}

TEST_F(PackageDiscovery, OneOpeningReadsEveryPropertyTheRunNeeds)
{
    sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, L"2.0.13000", L"Kestrova Pellaris x64");
    PlugInPackage package;
    EXPECT_EQ(ReadPlugInPackage(kX64Package, package), 0u);
    EXPECT_EQ(package.path, kX64Package);
    EXPECT_EQ(package.productCode.value, kProductCodeA);
    EXPECT_EQ(package.upgradeCode.value, kUpgradeCode);
    EXPECT_EQ(package.productVersion.value, L"2.0.13000");
    EXPECT_EQ(package.productName.value, L"Kestrova Pellaris x64");
    for (const PackageProperty* property :
         {&package.productCode, &package.upgradeCode, &package.productVersion, &package.productName}) {
        EXPECT_EQ(property->status, 0u);
    }
    EXPECT_EQ(machine().openedPackages, std::vector<std::wstring>{kX64Package});
    EXPECT_TRUE(machine().boxes.empty());
}

TEST_F(PackageDiscovery, AnUnreadablePropertyKeepsItsOwnStatus)
{
    sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, L"2.0.13000");
    sim::PackageAt(kX64Package).propertyErrors[L"ProductVersion"] = 1627;

    PlugInPackage package;
    EXPECT_EQ(ReadPlugInPackage(kX64Package, package), 0u);
    EXPECT_EQ(package.productVersion.status, 1627u);
    EXPECT_EQ(package.productCode.status, 0u);
    EXPECT_EQ(package.productCode.value, kProductCodeA);
    EXPECT_TRUE(machine().boxes.empty());
}

TEST_F(PackageDiscovery, APackageThatCannotBeOpenedPassesItsCodeOnAndReadsNothing)
{
    sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, L"2.0.13000");
    sim::PackageAt(kX64Package).openError = 1620;

    PlugInPackage package;
    EXPECT_EQ(ReadPlugInPackage(kX64Package, package), 1620u);
    EXPECT_EQ(package.productCode.value, L"");
    EXPECT_TRUE(machine().boxes.empty());
}

// ---------------------------------------------------------------------------------------------
// ReadQuestionProductName

namespace {

PlugInPackage RunsPackage(const std::wstring& name = L"Architecture package")
{
    PlugInPackage package;
    package.path = kX64Package;
    package.productName.value = name;
    return package;
}

}  // namespace

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
        EXPECT_EQ(ReadQuestionProductName(false, RunsPackage(), name), 0u);
        EXPECT_EQ(name, row.name);
        EXPECT_TRUE(machine().boxes.empty());
    }
}

TEST_F(PackageDiscovery, WithoutALanguagePackageTheRunsPackageNamesTheProduct)
{
    // "*rus*zarelcom*.msi" matches rus-zarelcom.msi but not zarelcom-rus.msi; the other architecture's
    // package is never read either.
    sim::AddPackage(kWin32Package, kProductCodeB, kUpgradeCode, L"1.0", L"32-bit package");
    sim::AddPackage(L"C:\\Layout\\zarelcom-rus.msi", kProductCodeA, kUpgradeCode, L"1.0", L"suffix");
    sim::AddPackage(kX64Package, kProductCodeA, kUpgradeCode, L"1.0", L"Architecture package");

    std::wstring name;
    EXPECT_EQ(ReadQuestionProductName(false, RunsPackage(), name), 0u);
    EXPECT_EQ(name, L"Architecture package");
    EXPECT_TRUE(machine().openedPackages.empty()) << "the run's package was read once already";
}

TEST_F(PackageDiscovery, TheRunsPackageIsNotOpenedAgainForItsLanguage)
{
    const std::wstring both = L"C:\\Layout\\rus-zarelcom-x64.msi";  // matches both masks
    sim::AddPackage(both, kProductCodeA, kUpgradeCode, L"1.0", L"read before");
    PlugInPackage package = RunsPackage(L"read before");
    package.path = both;

    std::wstring name;
    EXPECT_EQ(ReadQuestionProductName(false, package, name), 0u);
    EXPECT_EQ(name, L"read before");
    EXPECT_TRUE(machine().openedPackages.empty());
}

TEST_F(PackageDiscovery, ProductNameFailuresShowAnOwnerlessErrorUnlessSilent)
{
    enum class Fault { CannotOpen, NameUnreadable, OwnNameUnreadable };
    const struct {
        Fault fault;
        uint32_t code;
        uint16_t message;
    } rows[] = {
        {Fault::CannotOpen, 1620, MSG_PACKAGE_NOT_OPENED},
        {Fault::NameUnreadable, 1627, MSG_PACKAGE_PROPERTY_UNREADABLE},
        {Fault::OwnNameUnreadable, 1610, MSG_PACKAGE_PROPERTY_UNREADABLE},
    };
    const std::wstring languagePackage = L"C:\\Layout\\rus-zarelcom.msi";
    for (const auto& row : rows) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(testing::Message() << "message " << row.message << (silent ? " silent" : ""));
            sim::Reset();
            PlugInPackage package = RunsPackage();
            if (row.fault == Fault::OwnNameUnreadable) {
                package.productName = {L"", 1610};
            } else {
                sim::AddPackage(languagePackage, kProductCodeA, kUpgradeCode, L"1.0");
            }
            if (row.fault == Fault::CannotOpen) sim::PackageAt(languagePackage).openError = 1620;
            if (row.fault == Fault::NameUnreadable) sim::PackageAt(languagePackage).propertyErrors[L"ProductName"] = 1627;

            std::wstring name;
            EXPECT_EQ(ReadQuestionProductName(silent, package, name), row.code);
            EXPECT_TRUE(machine().openHandles.empty());
            if (silent) {
                EXPECT_TRUE(machine().boxes.empty());
            } else {
                ExpectOnlyBox(Owner::None, kOwnerlessErrorStyle, MSG_ERROR_CAPTION, row.message);
            }
        }
    }
}

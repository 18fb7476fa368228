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

namespace {

// Files and folders (a trailing backslash) in listing order, relative to C:\Layout unless absolute.
void LayOut(const std::vector<std::wstring>& entries)
{
    for (const std::wstring& entry : entries) {
        const std::wstring path = entry.size() > 1 && entry[1] == L':' ? entry : kLayout + entry;
        if (path.back() == L'\\') {
            sim::AddDirectory(path.substr(0, path.size() - 1));
        } else {
            sim::AddFile(path);
        }
    }
}

}  // namespace

TEST_F(PackageDiscovery, TheFirstFileThatMatchesBesideTheExecutableThenOneFolderDown)
{
    const struct {
        const char* what;
        std::vector<std::wstring> entries;
        const wchar_t* mask;
        uint32_t code;
        std::wstring path;             // kUnchanged unless found
        const wchar_t* executable = nullptr;  // null: C:\Layout\bootstrapper.exe
        const char* failingCall = nullptr;    // null: nothing fails
        uint32_t error = 0;
        int occurrence = 1;
    } rows[] = {
        {"beside the executable wins over a subfolder listed earlier",
         {L"packages\\", L"packages\\zarelcom-x64.msi", L"zarelcom-x64.msi"}, L"zarelcom*x64*", 0,
         kLayout + L"zarelcom-x64.msi"},
        {"the first subfolder in listing order, not alphabetical",
         {L"empty\\", L"empty\\readme.txt", L"zeta\\", L"zeta\\zarelcom-x64.msi", L"alpha\\", L"alpha\\zarelcom-x64.msi"},
         L"zarelcom*x64*", 0, kLayout + L"zeta\\zarelcom-x64.msi"},
        {"within a folder the first listed match", {L"zarelcom-x64-b.msi", L"zarelcom-x64-a.msi"}, L"zarelcom*x64*", 0,
         kLayout + L"zarelcom-x64-b.msi"},
        {"folders beginning with a full stop are never searched, \"..\" included",
         {L".svn\\", L".svn\\zarelcom-x64.msi", L"..\\", L"..\\zarelcom-x64.msi"}, L"zarelcom*x64*", 232, kUnchanged},
        {"a hidden folder does not end the search",
         {L".cache\\", L".cache\\zarelcom-x64.msi", L"packages\\", L"packages\\zarelcom-x64.msi"}, L"zarelcom*x64*", 0,
         kLayout + L"packages\\zarelcom-x64.msi"},
        {"one level deep only", {L"packages\\", L"packages\\x64\\", L"packages\\x64\\zarelcom-x64.msi"}, L"zarelcom*x64*",
         232, kUnchanged},
        {"no match anywhere", {L"zarelcom-win32.msi", L"packages\\", L"packages\\setup.msi"}, L"zarelcom*x64*", 232,
         kUnchanged},
        {"masks ignore case, the path keeps the listing's spelling", {L"Packages\\", L"Packages\\ZarelCom-X64.MSI"},
         L"zarelcom*x64**.msi", 0, kLayout + L"Packages\\ZarelCom-X64.MSI"},
        {"a folder of a matching name beside the executable is passed over",
         {L"zarelcom-x64\\", L"zarelcom-x64\\zarelcom-x64.msi"}, L"zarelcom*x64*", 0,
         kLayout + L"zarelcom-x64\\zarelcom-x64.msi"},
        {"a file listed after a matching folder",
         {L"packages\\", L"packages\\zarelcom-x64.msi\\", L"packages\\zarelcom-x64-2.0.msi"}, L"zarelcom*x64*.msi", 0,
         kLayout + L"packages\\zarelcom-x64-2.0.msi"},
        {"folders alone", {L"zarelcom-x64.msi\\"}, L"zarelcom*x64*.msi", 232, kUnchanged},
        {"the executable's folder wherever the executable runs",
         {L"E:\\Media\\Plugin\\", L"E:\\Media\\Plugin\\zarelcom-x64.msi", L"other-x64.msi"}, L"*x64*", 0,
         L"E:\\Media\\Plugin\\zarelcom-x64.msi", L"E:\\Media\\Plugin\\start.exe"},
        // A search that fails is never "no package": its error is the result.
        {"the executable's folder cannot be listed", {}, L"*.msi", 3, kUnchanged, L"D:\\Gone\\bootstrapper.exe"},
        {"the search beside the executable fails", {}, L"*.msi", 206, kUnchanged, nullptr, "FindFirstFileW", 206, 1},
        {"the listing of the subfolders fails", {L"packages\\"}, L"zarelcom*x64*", 59, kUnchanged, nullptr,
         "FindNextFileW", 59, 1},
        {"a subfolder's search fails", {L"packages\\"}, L"zarelcom*x64*", 206, kUnchanged, nullptr, "FindFirstFileW",
         206, 3},
        {"a subfolder that may not be read is passed over",
         {L"System Volume Information\\", L"packages\\", L"packages\\zarelcom-x64.msi"}, L"zarelcom*x64*", 0,
         kLayout + L"packages\\zarelcom-x64.msi", nullptr, "FindFirstFileW", 5, 3},
        // Never the current directory instead of the executable's.
        {"the executable's path cannot be read", {}, L"*.msi", 122, kUnchanged, nullptr, "GetModuleFileNameW", 122, 1},
        {"the executable's path names no folder", {}, L"*.msi", 161, kUnchanged, L"bootstrapper.exe"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        if (row.executable != nullptr) machine().executablePath = row.executable;
        LayOut(row.entries);
        if (row.failingCall != nullptr) sim::FailCall(row.failingCall, row.error, row.occurrence);
        const Found found = Find(row.mask);
        EXPECT_EQ(found.code, row.code);
        EXPECT_EQ(found.path, row.path);
        EXPECT_EQ(machine().openSearches, 0);
    }
}

// ---------------------------------------------------------------------------------------------
// Masks

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
    EXPECT_EQ(ReadPlugInPackage(false, kX64Package, package), 0u);
    EXPECT_EQ(package.path, kX64Package);
    EXPECT_EQ(package.productCode, kProductCodeA);
    EXPECT_EQ(package.upgradeCode, kUpgradeCode);
    EXPECT_EQ(package.productVersion, L"2.0.13000");
    EXPECT_EQ(package.productName, L"Kestrova Pellaris x64");
    EXPECT_EQ(machine().openedPackages, std::vector<std::wstring>{kX64Package});
    EXPECT_TRUE(machine().boxes.empty());
}

// ---------------------------------------------------------------------------------------------
// ReadQuestionProductName

namespace {

PlugInPackage RunsPackage(const std::wstring& name = L"Architecture package")
{
    PlugInPackage package;
    package.path = kX64Package;
    package.productName = name;
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
    const std::wstring languagePackage = L"C:\\Layout\\rus-zarelcom.msi";
    const struct {
        const char* what;
        void (*fault)(const std::wstring& languagePackage);
        uint32_t code;
        uint16_t message;
    } rows[] = {
        {"cannot open", [](const std::wstring& p) { sim::PackageAt(p).openError = 1620; }, 1620, MSG_PACKAGE_NOT_OPENED},
        {"ProductName unreadable", [](const std::wstring& p) { sim::PackageAt(p).propertyErrors[L"ProductName"] = 1627; },
         1627, MSG_PACKAGE_PROPERTY_UNREADABLE},
        {"the search for it fails", [](const std::wstring&) { sim::FailCall("FindFirstFileW", 206); },
         206, MSG_PACKAGE_PATH_NOT_FOUND},
    };
    for (const auto& row : rows) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(testing::Message() << row.what << (silent ? ", silent" : ""));
            sim::Reset();
            sim::AddPackage(languagePackage, kProductCodeA, kUpgradeCode, L"1.0");
            row.fault(languagePackage);

            std::wstring name = kUnchanged;
            EXPECT_EQ(ReadQuestionProductName(silent, RunsPackage(), name), row.code);
            EXPECT_TRUE(sim::EverythingClosed());
            ExpectOnlyBoxUnlessSilent(silent, Owner::None, kOwnerlessErrorStyle, MSG_ERROR_CAPTION, row.message);
        }
    }
}

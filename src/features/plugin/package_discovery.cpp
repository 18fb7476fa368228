#include "features/plugin/package_discovery.h"

#include "base/executable_folder.h"
#include "base/messages.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "features/plugin/msi_access.h"
#include "features/plugin/version.h"
#include "platform/files.h"
#include "platform/system.h"
#include "res/resource.h"

namespace {

const wchar_t kPlugInStem[] = L"zarelcom";
const wchar_t kPackageExtension[] = L".msi";
constexpr uint16_t kRussianRussia = 0x0419;
constexpr uint32_t kAccessDenied = 5;

// How a search that found nothing of use ended: 232 when it came to its end, else its own error.
uint32_t EndOfSearch(const platform::DirectorySearch& search)
{
    const uint32_t error = search.Error();
    return error == kFileNotFound || error == kNoMoreFiles ? kNoPackageFound : error;
}

// The first file matching `mask` in `directory`; a folder of a matching name is passed over.
uint32_t FirstFileMatching(const std::wstring& directory, const std::wstring& mask, std::wstring& path)
{
    platform::DirectorySearch search(directory + mask);
    for (; search.Found(); search.Next()) {
        if (search.IsDirectory()) continue;
        path = directory + search.Name();
        return kSuccess;
    }
    return EndOfSearch(search);
}

bool IsSearchableSubdirectory(const platform::DirectorySearch& entry)
{
    return entry.IsDirectory() && !entry.Name().empty() && entry.Name()[0] != L'.';
}

// A subfolder the process may not read (System Volume Information beside an executable at a drive's
// root) holds nothing it could install, and is passed over; any other failure is the search's.
uint32_t SearchSubdirectory(const std::wstring& subdirectory, const std::wstring& mask, std::wstring& path)
{
    const uint32_t result = FirstFileMatching(subdirectory, mask, path);
    return result == kAccessDenied ? kNoPackageFound : result;
}

void ShowDiscoveryError(uint16_t message) { ShowMessage(BoxKind::OwnerlessError, message, MSG_ERROR_CAPTION); }

// The ProductName of another package than the run's own, with its error boxes.
uint32_t ReadProductNameOf(bool silent, const std::wstring& path, std::wstring& name)
{
    MsiHandle package;
    uint32_t result = OpenPackage(path, package);
    if (result != kSuccess) {
        if (!silent) ShowDiscoveryError(MSG_PACKAGE_NOT_OPENED);
    } else {
        result = ReadMsiProperty(package, L"ProductName", name);
        if (result != kSuccess && !silent) ShowDiscoveryError(MSG_PACKAGE_PROPERTY_UNREADABLE);
    }
    package.Close();
    return result;
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return EqualsIgnoringAsciiCase(a, b.c_str()); }

bool IsSet(const std::wstring& value) { return !value.empty(); }
bool AnyText(const std::wstring&) { return true; }

// The properties a run needs from its package, what makes each one usable, and the box that reports
// it unreadable: the codes as the installation reports them, the version and the name as the version
// comparison does.
struct RunProperty {
    const wchar_t* name;
    std::wstring PlugInPackage::*value;
    bool (*usable)(const std::wstring& value);
    BoxKind box;
    uint16_t message;
};
const RunProperty kRunProperties[] = {
    {L"ProductCode", &PlugInPackage::productCode, IsSet, BoxKind::Error, MSG_PRODUCT_CODE_UNREADABLE},
    {L"UpgradeCode", &PlugInPackage::upgradeCode, IsSet, BoxKind::Error, MSG_PRODUCT_CODE_UNREADABLE},
    // Read as 0.0.0.0, a version that is none would compare as the oldest of all.
    {L"ProductVersion", &PlugInPackage::productVersion, BeginsWithNumber, BoxKind::OwnerlessError,
     MSG_PACKAGE_PROPERTY_UNREADABLE},
    {L"ProductName", &PlugInPackage::productName, AnyText, BoxKind::OwnerlessError, MSG_PACKAGE_PROPERTY_UNREADABLE},
};

uint32_t ReadRunProperty(bool silent, const MsiHandle& opened, const RunProperty& property, PlugInPackage& package)
{
    std::wstring& value = package.*property.value;
    uint32_t result = ReadMsiProperty(opened, property.name, value);
    if (result == kSuccess && !property.usable(value)) result = kInvalidPackage;
    if (result != kSuccess && !silent) ShowMessage(property.box, property.message, MSG_ERROR_CAPTION);
    return result;
}

}  // namespace

uint32_t FindPackageFile(const std::wstring& mask, std::wstring& path)
{
    std::wstring directory;
    uint32_t result = ReadExecutableDirectory(directory);
    if (result != kSuccess) return result;
    result = FirstFileMatching(directory, mask, path);
    if (result != kNoPackageFound) return result;

    platform::DirectorySearch entry(directory + L"*");
    for (; entry.Found(); entry.Next()) {
        if (!IsSearchableSubdirectory(entry)) continue;
        result = SearchSubdirectory(directory + entry.Name() + L"\\", mask, path);
        if (result != kNoPackageFound) return result;
    }
    return EndOfSearch(entry);
}

std::wstring GetArchitectureMask()
{
    return platform::CurrentProcessArchitecture() == platform::ProcessArchitecture::X86 ? L"*win32*" : L"*x64*";
}

std::wstring GetLanguageMask()
{
    return platform::SystemDefaultUiLanguage() == kRussianRussia ? L"*rus*" : L"*eng*";
}

std::wstring PlugInPackageMask() { return kPlugInStem + GetArchitectureMask() + kPackageExtension; }

uint32_t ReadPlugInPackage(bool silent, const std::wstring& path, PlugInPackage& package)
{
    MsiHandle opened;
    uint32_t result = OpenPackage(path, opened);
    if (result != kSuccess) {
        if (!silent) ShowMessage(BoxKind::Error, MSG_PRODUCT_CODE_UNREADABLE, MSG_ERROR_CAPTION);
    } else {
        package.path = path;
        for (const RunProperty& property : kRunProperties) {
            result = ReadRunProperty(silent, opened, property, package);
            if (result != kSuccess) break;
        }
    }
    opened.Close();
    return result;
}

uint32_t ReadQuestionProductName(bool silent, const PlugInPackage& package, std::wstring& name)
{
    std::wstring languagePackage;
    const std::wstring mask = GetLanguageMask() + kPlugInStem + L"*" + kPackageExtension;
    const uint32_t found = FindPackageFile(mask, languagePackage);
    if (found == kNoPackageFound || (found == kSuccess && SamePath(languagePackage, package.path))) {
        name = package.productName;
        return kSuccess;
    }
    if (found != kSuccess) {
        if (!silent) ShowDiscoveryError(MSG_PACKAGE_PATH_NOT_FOUND);
        return found;
    }
    return ReadProductNameOf(silent, languagePackage, name);
}

#include "features/plugin/package_discovery.h"

#include "base/executable_folder.h"
#include "base/messages.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "features/plugin/msi_access.h"
#include "platform/files.h"
#include "platform/system.h"
#include "res/resource.h"

namespace {

const wchar_t kPlugInStem[] = L"zarelcom";
const wchar_t kPackageExtension[] = L".msi";
constexpr uint16_t kRussianRussia = 0x0419;

// The first file matching `mask` in `directory`; a folder of a matching name is passed over.
bool FirstFileMatching(const std::wstring& directory, const std::wstring& mask, std::wstring& path)
{
    for (platform::DirectorySearch search(directory + mask); search.Found(); search.Next()) {
        if (search.IsDirectory()) continue;
        path = directory + search.Name();
        return true;
    }
    return false;
}

bool IsSearchableSubdirectory(const platform::DirectorySearch& entry)
{
    return entry.IsDirectory() && !entry.Name().empty() && entry.Name()[0] != L'.';
}

void ShowDiscoveryError(uint16_t message) { ShowMessage(BoxKind::OwnerlessError, message, MSG_ERROR_CAPTION); }

PackageProperty ReadProperty(const MsiHandle& package, const wchar_t* name)
{
    PackageProperty property;
    property.status = ReadMsiProperty(package, name, property.value);
    return property;
}

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

}  // namespace

uint32_t FindPackageFile(const std::wstring& mask, std::wstring& path)
{
    const std::wstring directory = ExecutableDirectory();
    if (FirstFileMatching(directory, mask, path)) return kSuccess;

    for (platform::DirectorySearch entry(directory + L"*"); entry.Found(); entry.Next()) {
        if (IsSearchableSubdirectory(entry) && FirstFileMatching(directory + entry.Name() + L"\\", mask, path)) {
            return kSuccess;
        }
    }
    return kNoPackageFound;
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

uint32_t ReadPlugInPackage(const std::wstring& path, PlugInPackage& package)
{
    MsiHandle opened;
    const uint32_t result = OpenPackage(path, opened);
    if (result == kSuccess) {
        package.path = path;
        package.productCode = ReadProperty(opened, L"ProductCode");
        package.upgradeCode = ReadProperty(opened, L"UpgradeCode");
        package.productVersion = ReadProperty(opened, L"ProductVersion");
        package.productName = ReadProperty(opened, L"ProductName");
    }
    opened.Close();
    return result;
}

uint32_t ReadQuestionProductName(bool silent, const PlugInPackage& package, std::wstring& name)
{
    std::wstring languagePackage;
    const std::wstring mask = GetLanguageMask() + kPlugInStem + L"*" + kPackageExtension;
    if (FindPackageFile(mask, languagePackage) == kSuccess && !SamePath(languagePackage, package.path)) {
        return ReadProductNameOf(silent, languagePackage, name);
    }
    if (package.productName.status != kSuccess) {
        if (!silent) ShowDiscoveryError(MSG_PACKAGE_PROPERTY_UNREADABLE);
        return package.productName.status;
    }
    name = package.productName.value;
    return kSuccess;
}

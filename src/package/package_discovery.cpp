#include "package/package_discovery.h"

#include "driver/messages.h"
#include "driver/result_codes.h"
#include "driver/text.h"
#include "package/msi_access.h"
#include "platform/files.h"
#include "platform/system.h"
#include "res/resource.h"

const wchar_t kAnyPackageMask[] = L"*.msi";
const wchar_t kPlugInPackageMask[] = L"zarelcom*.msi";

namespace {

constexpr uint16_t kRussianRussia = 0x0419;

bool FindFirstMatch(const std::wstring& directory, const std::wstring& mask, std::wstring& path)
{
    platform::DirectorySearch search(directory + mask);
    if (!search.Found()) return false;
    path = directory + search.Name();
    return true;
}

bool IsSearchableSubdirectory(const platform::DirectorySearch& entry)
{
    return entry.IsDirectory() && !entry.Name().empty() && entry.Name()[0] != L'.';
}

void ShowDiscoveryError(uint16_t message) { ShowMessage(BoxKind::OwnerlessError, message, MSG_ERROR_CAPTION); }

}  // namespace

std::wstring ExecutableDirectory() { return DirectoryOf(platform::ExecutablePath()); }

uint32_t FindPackageFile(const std::wstring& mask, std::wstring& path)
{
    const std::wstring directory = ExecutableDirectory();
    if (FindFirstMatch(directory, mask, path)) return kSuccess;

    for (platform::DirectorySearch entry(directory + L"*"); entry.Found(); entry.Next()) {
        if (IsSearchableSubdirectory(entry) && FindFirstMatch(directory + entry.Name() + L"\\", mask, path)) {
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

uint32_t ReadPlugInPackageCode(std::wstring& code, bool related)
{
    std::wstring path;
    if (FindPackageFile(GetArchitectureMask() + kAnyPackageMask, path) != kSuccess &&
        FindPackageFile(kAnyPackageMask, path) != kSuccess) {
        return kNoPackageFound;
    }
    MsiHandle package;
    uint32_t result = OpenPackage(path, package);
    if (result == kSuccess) {
        if (related) {
            // An unreadable UpgradeCode leaves it empty; the lookup then fails and no related
            // product is taken as installed.
            std::wstring upgradeCode;
            ReadMsiProperty(package, L"UpgradeCode", upgradeCode);
            result = FindFirstRelatedProduct(upgradeCode, code);
        } else {
            result = ReadMsiProperty(package, L"ProductCode", code);
        }
    }
    package.Close();
    return result;
}

uint32_t ReadFoundPackageProperty(const std::wstring& path, const wchar_t* property, bool silent, std::wstring& value)
{
    if (path.empty()) {
        if (!silent) ShowDiscoveryError(MSG_PACKAGE_PATH_NOT_FOUND);
        return kNoPackageFound;
    }
    MsiHandle package;
    uint32_t result = OpenPackage(path, package);
    if (result != kSuccess) {
        if (!silent) ShowDiscoveryError(MSG_PACKAGE_NOT_OPENED);
    } else {
        result = ReadMsiProperty(package, property, value);
        if (result != kSuccess && !silent) ShowDiscoveryError(MSG_PACKAGE_PROPERTY_UNREADABLE);
    }
    package.Close();
    return result;
}

uint32_t ReadPackageProductName(std::wstring& name, bool silent, const std::wstring& mask)
{
    std::wstring path;
    if (FindPackageFile(GetLanguageMask() + mask, path) != kSuccess) FindPackageFile(mask, path);
    return ReadFoundPackageProperty(path, L"ProductName", silent, name);
}

#include "features/plugin/plugin_install.h"

#include "base/install_logs.h"
#include "base/messages.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "features/plugin/msi_access.h"
#include "features/plugin/package_discovery.h"
#include "features/plugin/version.h"
#include "platform/msi_api.h"
#include "res/resource.h"

namespace {

const wchar_t kPlugInFeature[] = L"NPZAREL";
const wchar_t kFreshInstallProperty[] = L" ADDNPZAREL=1";
const wchar_t kReinstallProperties[] = L" REINSTALL=ALL REINSTALLMODE=vomus";
const wchar_t kAddPlugInComponent[] = L" COMPADDLOCAL={316A4D11-D027-4C52-86B6-54D1FBC148E3}";
const wchar_t kAddAllFeatures[] = L" ADDLOCAL=ALL";
const wchar_t kBasicUi[] = L" /qb";

enum class Decision { Install, NothingToDo, Declined };

// What a comparison result means for this run.
Decision DecideOnVersions(int comparison, bool silent, bool reinstall)
{
    if (!reinstall && comparison == 0) {
        if (silent) return Decision::NothingToDo;
        const int answer = ShowMessage(BoxKind::Question, MSG_SAME_VERSION_REINSTALL, MSG_UPDATE_CAPTION);
        return answer == kButtonYes ? Decision::Install : Decision::Declined;
    }
    if (comparison < 0 && !silent) {
        ShowMessage(BoxKind::Error, MSG_NEWER_VERSION_INSTALLED, MSG_UPDATE_CAPTION);
        return Decision::NothingToDo;
    }
    return Decision::Install;
}

// Finds the run's one package and reads it, after making sure its log can be written. Returns 0, or
// the failure, already shown unless `silent`.
uint32_t ResolvePlugInPackage(bool silent, const std::wstring& extraArguments, PlugInPackage& package)
{
    std::wstring packagePath;
    if (FindPackageFile(PlugInPackageMask(), packagePath) != kSuccess) {
        if (!silent) ShowMessage(BoxKind::Error, MSG_PACKAGE_NOT_FOUND, MSG_ERROR_CAPTION);
        return kNoPackageFound;
    }
    // Nothing is read or asked while the log could not be written: Windows Installer itself works in
    // TMP, and an unusable one must be reported as such, not as a package that cannot be opened.
    if (!BringsOwnLog(extraArguments)) {
        std::wstring temporaryDirectory;
        const uint32_t usable = ReadTemporaryDirectory(silent, temporaryDirectory);
        if (usable != kSuccess) return usable;
    }
    uint32_t read = ReadPlugInPackage(packagePath, package);
    if (read == kSuccess) read = package.productCode.status;
    if (read != kSuccess && !silent) ShowMessage(BoxKind::Error, MSG_PRODUCT_CODE_UNREADABLE, MSG_ERROR_CAPTION);
    return read;
}

}  // namespace

std::wstring ComposeInstallArguments(const InstalledProductFacts& facts, const std::wstring& extraArguments)
{
    std::wstring arguments = extraArguments;
    if (!facts.installed) {
        arguments = kFreshInstallProperty + arguments;
    } else {
        if (facts.sameProductCode) arguments = kReinstallProperties + arguments;
        if (facts.featureAbsent) arguments = (facts.sameProductCode ? kAddPlugInComponent : kAddAllFeatures) + arguments;
    }
    if (!Contains(arguments, L"/q")) arguments = kBasicUi + arguments;
    return arguments;
}

InstallResult InstallPlugInPackage(bool silent, bool reinstall, const std::wstring& extraArguments,
                                   std::wstring& logPath)
{
    PlugInPackage package;
    const uint32_t resolved = ResolvePlugInPackage(silent, extraArguments, package);
    if (resolved != kSuccess) return {resolved, false};

    // An unreadable UpgradeCode stays empty; the lookup then fails and no related product is taken
    // as installed.
    std::wstring installedCode;
    FindFirstRelatedProduct(package.upgradeCode.value, installedCode);

    InstalledProductFacts facts = {false, false, false};
    facts.installed = platform::QueryProductState(installedCode.c_str()) == platform::kInstallStateDefault;
    if (facts.installed) {
        int comparison = 1;
        bool updateDeclined = false;
        const uint32_t compared = CompareWithInstalled(silent, installedCode, package, comparison, updateDeclined);
        if (compared != kSuccess) return {compared, false};
        if (updateDeclined) return {kInstallUserExit, false, true};
        switch (DecideOnVersions(comparison, silent, reinstall)) {
        case Decision::NothingToDo: return {kSuccess, false};
        case Decision::Declined: return {kInstallUserExit, false};
        case Decision::Install: break;
        }
        facts.sameProductCode = installedCode == package.productCode.value;
        facts.featureAbsent =
            platform::QueryFeatureState(installedCode.c_str(), kPlugInFeature) == platform::kInstallStateAbsent;
    }
    return RunPackageInstall(silent, installedCode, package.path, ComposeInstallArguments(facts, extraArguments),
                             logPath);
}

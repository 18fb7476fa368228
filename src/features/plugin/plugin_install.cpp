#include "features/plugin/plugin_install.h"

#include "base/install_logs.h"
#include "base/messages.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "features/plugin/msi_access.h"
#include "features/plugin/package_discovery.h"
#include "features/plugin/version.h"
#include "platform/files.h"
#include "platform/machine_lock.h"
#include "platform/msi_api.h"
#include "res/resource.h"

namespace {

const wchar_t kPlugInFeature[] = L"NPZAREL";
const wchar_t kFreshInstallProperty[] = L" ADDNPZAREL=1";
const wchar_t kReinstallProperties[] = L" REINSTALL=ALL REINSTALLMODE=vomus";
const wchar_t kAddPlugInComponent[] = L" COMPADDLOCAL={316A4D11-D027-4C52-86B6-54D1FBC148E3}";
const wchar_t kAddAllFeatures[] = L" ADDLOCAL=ALL";
const wchar_t kBasicUi[] = L" /qb";

// One run at a time installs the plug-in on a machine, from the first look at its package until
// msiexec has ended, whoever started it in whichever session. Two runs that read the installed product
// while one of them replaces it would each act on a product that is no longer there, and fail for a
// state that was only changing (Windows Installer under Wine cannot even open the package while the
// other msiexec still holds the product's cached copy).
const wchar_t kPlugInInstallationLock[] = L"Global\\KestrovaPellarisPlugInInstallation";

// The run's package, held against writing, renaming and deletion while it is read, compared and
// installed; and the TMP its log goes to.
struct ResolvedPackage {
    platform::HeldFile file;
    PlugInPackage properties;
    std::wstring temporaryDirectory;  // empty when the caller's arguments bring their own log
};

void ShowInstallError(bool silent, uint16_t message)
{
    if (!silent) ShowMessage(BoxKind::Error, message, MSG_ERROR_CAPTION);
}

// Finds the run's one package, holds it and reads it, after making sure its log can be written.
// Returns 0, or the failure, already shown unless `silent`.
uint32_t ResolvePlugInPackage(bool silent, const std::wstring& extraArguments, ResolvedPackage& package)
{
    std::wstring path;
    const uint32_t found = FindPackageFile(PlugInPackageMask(), path);
    if (found != kSuccess) {
        ShowInstallError(silent, MSG_PACKAGE_NOT_FOUND);
        return found;
    }
    // A package still being written (a download not yet finished) cannot be held.
    const uint32_t held = package.file.Hold(path);
    if (held != kSuccess) {
        ShowInstallError(silent, MSG_PACKAGE_NOT_OPENED);
        return held;
    }
    // Nothing is read or asked while the log could not be written: Windows Installer itself works in
    // TMP, and an unusable one must be reported as such, not as a package that cannot be opened.
    if (!BringsOwnLog(extraArguments)) {
        const uint32_t usable = ReadTemporaryDirectory(silent, package.temporaryDirectory);
        if (usable != kSuccess) return usable;
    }
    return ReadPlugInPackage(silent, path, package.properties);
}

// The installed product related to the package, if any: `installedCode` stays empty when none is.
// An enumeration that fails must not pass for "none installed", which would install over it.
uint32_t FindInstalledProduct(bool silent, const PlugInPackage& package, std::wstring& installedCode)
{
    const uint32_t found = FindFirstRelatedProduct(package.upgradeCode, installedCode);
    if (found == kSuccess || found == kNoMoreItems) return kSuccess;
    if (!silent) ShowMessage(BoxKind::OwnerlessError, MSG_INSTALLED_VERSION_UNREADABLE, MSG_ERROR_CAPTION);
    return found;
}

// How the installation ends when the versions decided that nothing is installed.
InstallResult WithoutInstalling(VersionDecision decision)
{
    switch (decision) {
    case VersionDecision::UpdateDeclined: return {InstallResult::Outcome::UpdateDeclined, kSuccess, RestartNeed::None, {}};
    case VersionDecision::ReinstallDeclined: return InstallResult::Cancel();
    case VersionDecision::NothingToDo:
    case VersionDecision::Install: break;
    }
    return {};  // nothing to do counts as installed
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

InstallResult InstallPlugInPackage(bool silent, bool reinstall, const std::wstring& extraArguments)
{
    // Another run installing the plug-in: this one ends as msiexec ends when it meets another
    // installation, with a code deployment tools retry. A lock that cannot be made at all, and a name
    // that someone else made first (to keep every installation out), leave the run as it was before
    // there was a lock.
    platform::MachineLock installation;
    if (installation.TryTake(kPlugInInstallationLock) == platform::kLockHeldElsewhere) {
        return InstallResult::Failure(kInstallAlreadyRunning);
    }
    ResolvedPackage package;
    uint32_t step = ResolvePlugInPackage(silent, extraArguments, package);
    if (step != kSuccess) return InstallResult::Failure(step);
    const PlugInPackage& properties = package.properties;

    std::wstring installedCode;
    step = FindInstalledProduct(silent, properties, installedCode);
    if (step != kSuccess) return InstallResult::Failure(step);

    InstalledProductFacts facts = {false, false, false};
    facts.installed = platform::QueryProductState(installedCode.c_str()) == platform::kInstallStateDefault;
    if (facts.installed) {
        VersionDecision decision = VersionDecision::Install;
        step = DecideOnInstalledVersion(silent, reinstall, installedCode, properties, decision);
        if (step != kSuccess) return InstallResult::Failure(step);
        if (decision != VersionDecision::Install) return WithoutInstalling(decision);
        facts.sameProductCode = installedCode == properties.productCode;
        facts.featureAbsent =
            platform::QueryFeatureState(installedCode.c_str(), kPlugInFeature) == platform::kInstallStateAbsent;
    }
    return RunPackageInstall(silent, package.temporaryDirectory, installedCode, properties.path,
                             ComposeInstallArguments(facts, extraArguments));
}

#include "features/plugin/version.h"

#include "base/messages.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "features/plugin/msi_access.h"
#include "res/resource.h"

namespace {

bool IsScanfSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// One "%I64d": optional white space, an optional sign and at least one digit, wrapping on overflow.
bool ScanInteger(const std::wstring& text, size_t& position, int64_t& value)
{
    size_t i = position;
    while (i < text.size() && IsScanfSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    const size_t firstDigit = i;
    uint64_t magnitude = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') magnitude = magnitude * 10 + (text[i++] - L'0');
    if (i == firstDigit) return false;
    value = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
    position = i;
    return true;
}

uint64_t PackedKey(const PackageVersion& v)
{
    uint64_t key = static_cast<uint64_t>(v.first);
    key = (key << 16) + static_cast<uint64_t>(v.second);
    key = (key << 16) + static_cast<uint64_t>(v.third);
    key = (key << 16) + static_cast<uint64_t>(v.fourth);
    return key;
}

void ShowVersionError(uint16_t message) { ShowMessage(BoxKind::OwnerlessError, message, MSG_ERROR_CAPTION); }

// The update question; the product name is data and is shown as it stands. Only No declines.
uint32_t AskToUpdate(const PlugInPackage& package, const std::wstring& installedVersion, VersionDecision& decision)
{
    std::wstring productName;
    const uint32_t named = ReadQuestionProductName(false, package, productName);
    if (named != kSuccess) return named;
    const std::wstring values[] = {productName, installedVersion, package.productVersion};
    const std::wstring question = FillPlaceholders(Message(MSG_UPDATE_QUESTION), values, 3);
    const int answer = ShowBox(BoxKind::OwnerlessYesNo, question, Message(MSG_UPDATE_CAPTION));
    decision = answer == kButtonNo ? VersionDecision::UpdateDeclined : VersionDecision::Install;
    return kSuccess;
}

// The same version installed: reinstalled with -reinstall or a Yes, else left alone.
VersionDecision DecideOnSameVersion(bool silent, bool reinstall)
{
    if (reinstall) return VersionDecision::Install;
    if (silent) return VersionDecision::NothingToDo;
    const int answer = ShowMessage(BoxKind::Question, MSG_SAME_VERSION_REINSTALL, MSG_UPDATE_CAPTION);
    return answer == kButtonYes ? VersionDecision::Install : VersionDecision::ReinstallDeclined;
}

}  // namespace

PackageVersion ParseVersion(const std::wstring& text)
{
    PackageVersion version;
    int64_t* const parts[] = {&version.first, &version.second, &version.third, &version.fourth};
    size_t position = 0;
    for (size_t i = 0; i < 4; ++i) {
        if (i > 0) {
            if (position >= text.size() || text[position] != L'.') break;
            ++position;
        }
        if (!ScanInteger(text, position, *parts[i])) break;
    }
    return version;
}

bool BeginsWithNumber(const std::wstring& text)
{
    size_t position = 0;
    int64_t first = 0;
    return ScanInteger(text, position, first);
}

int CompareVersions(const PackageVersion& a, const PackageVersion& b)
{
    const int64_t keyA = static_cast<int64_t>(PackedKey(a));
    const int64_t keyB = static_cast<int64_t>(PackedKey(b));
    return keyA > keyB ? 1 : (keyA < keyB ? -1 : 0);
}

uint32_t CompareWithInstalled(bool silent, const std::wstring& installedCode, const PlugInPackage& package,
                              VersionComparison& comparison)
{
    std::wstring installedVersion;
    ProductInfoStage failedStage = ProductInfoStage::None;
    const uint32_t infoResult = ReadProductInfo(installedCode, L"VersionString", installedVersion, failedStage);
    if (infoResult != kSuccess) {
        if (!silent) ShowVersionError(MSG_INSTALLED_VERSION_UNREADABLE);
        return failedStage == ProductInfoStage::SizeProbe ? kInstalledVersionUnknown : infoResult;
    }
    comparison.result = CompareVersions(ParseVersion(package.productVersion), ParseVersion(installedVersion));
    comparison.installedVersion = installedVersion;
    return kSuccess;
}

uint32_t DecideOnInstalledVersion(bool silent, bool reinstall, const std::wstring& installedCode,
                                  const PlugInPackage& package, VersionDecision& decision)
{
    VersionComparison comparison;
    const uint32_t compared = CompareWithInstalled(silent, installedCode, package, comparison);
    if (compared != kSuccess) return compared;

    if (comparison.result > 0) {
        decision = VersionDecision::Install;
        return silent ? kSuccess : AskToUpdate(package, comparison.installedVersion, decision);
    }
    if (comparison.result == 0) {
        decision = DecideOnSameVersion(silent, reinstall);
        return kSuccess;
    }
    if (!silent) ShowMessage(BoxKind::Error, MSG_NEWER_VERSION_INSTALLED, MSG_UPDATE_CAPTION);
    decision = silent ? VersionDecision::Install : VersionDecision::NothingToDo;
    return kSuccess;
}

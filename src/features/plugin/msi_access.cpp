#include "features/plugin/msi_access.h"

#include "base/result_codes.h"
#include "base/text.h"

void MsiHandle::Close()
{
    if (package == 0) return;
    platform::CloseMsiHandle(package);
    package = 0;
}

uint32_t OpenPackage(const std::wstring& path, MsiHandle& holder)
{
    return platform::OpenMsiPackage(path.c_str(), platform::kOpenPackageIgnoreMachineState, holder.package);
}

uint32_t ReadMsiProperty(const MsiHandle& holder, const wchar_t* name, std::wstring& value)
{
    wchar_t probeBuffer[1] = {L'\0'};
    uint32_t length = 0;
    const uint32_t probe = platform::GetMsiProperty(holder.package, name, probeBuffer, length);
    if (probe != kMoreData) return probe;

    length += 1;  // room for the NUL
    value.assign(length, L'\0');
    const uint32_t result = platform::GetMsiProperty(holder.package, name, &value[0], length);
    TrimAtNul(value);
    return result;
}

uint32_t ReadProductInfo(const std::wstring& productCode, const wchar_t* name, std::wstring& value,
                         ProductInfoStage& failedStage)
{
    failedStage = ProductInfoStage::None;
    uint32_t length = 0;
    uint32_t result = platform::GetMsiProductInfo(productCode.c_str(), name, nullptr, length);
    if (result != kSuccess) {
        failedStage = ProductInfoStage::SizeProbe;
        return result;
    }
    length += 1;
    std::wstring buffer(length, L'\0');
    result = platform::GetMsiProductInfo(productCode.c_str(), name, &buffer[0], length);
    if (result != kSuccess) {
        failedStage = ProductInfoStage::Read;
        return result;
    }
    TrimAtNul(buffer);
    value = buffer;
    return kSuccess;
}

uint32_t FindFirstRelatedProduct(const std::wstring& upgradeCode, std::wstring& productCode)
{
    // Only index 0: when several products share the upgrade code, the first one listed is taken.
    wchar_t buffer[platform::kProductCodeChars] = {};
    const uint32_t result = platform::EnumRelatedProduct(upgradeCode.c_str(), 0, buffer);
    if (result != kSuccess) return result;
    productCode = buffer;
    return kSuccess;
}

#include "base/windows_version.h"

#include "platform/system.h"

namespace {

constexpr uint16_t kWindows5 = 5;

}  // namespace

bool IsServicePackBelow(uint16_t minor, uint16_t bound)
{
    return platform::IsWindowsServicePackBelow(kWindows5, minor, bound);
}

bool IsWindows5Minor(uint16_t minor) { return platform::IsWindowsVersion(kWindows5, minor); }

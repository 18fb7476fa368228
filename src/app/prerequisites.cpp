#include "app/prerequisites.h"

#include "base/messages.h"
#include "base/result_codes.h"
#include "base/windows_version.h"
#include "res/resource.h"

namespace {

struct ServicePackRequirement {
    uint16_t minor;
    uint16_t requiredServicePack;
    uint16_t message;
    uint32_t exitCode;
};

// Tested in this order; versions 6.0 and later, and those before 5.0, are not tested at all.
constexpr ServicePackRequirement kRequirements[] = {
    {kWindows2000Minor, 4, MSG_WIN2000_NEEDS_SP4, kExitWindows2000NeedsSp4},
    {kWindowsXpMinor, 2, MSG_WINXP_NEEDS_SP2, kExitWindowsXpNeedsSp2},
    {kWindows2003Minor, 1, MSG_WIN2003_NEEDS_SP1, kExitWindows2003NeedsSp1},
};

}  // namespace

uint32_t CheckSystemPrerequisites(bool silent)
{
    for (const ServicePackRequirement& requirement : kRequirements) {
        if (!IsServicePackBelow(requirement.minor, requirement.requiredServicePack)) continue;
        if (!silent) ShowMessage(BoxKind::Error, requirement.message, MSG_PRODUCT_CAPTION);
        return requirement.exitCode;
    }
    return kExitSuccess;
}

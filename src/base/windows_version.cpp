#include "base/windows_version.h"

#include "platform/system.h"

bool IsServicePackBelow(uint16_t minor, uint16_t bound)
{
    return platform::MatchesWindowsVersion({5, minor, true, bound});
}

bool IsWindows5Minor(uint16_t minor) { return platform::MatchesWindowsVersion({5, minor, false, 0}); }

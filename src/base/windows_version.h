// Which Windows this is, as the version-verification interface answers.
#pragma once

#include <cstdint>

// The minor versions of Windows 5.
constexpr uint16_t kWindows2000Minor = 0;
constexpr uint16_t kWindowsXpMinor = 1;
constexpr uint16_t kWindows2003Minor = 2;  // Windows Server 2003 and Windows XP x64

// True when the system is Windows 5.minor with a service-pack major number below `bound`.
bool IsServicePackBelow(uint16_t minor, uint16_t bound);

// True when the system is Windows 5.minor, whatever its service pack.
bool IsWindows5Minor(uint16_t minor);

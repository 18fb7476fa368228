// Which Windows this is, as the version-verification interface answers.
#pragma once

#include <cstdint>

// True when the system is Windows 5.minor with a service-pack major number below `bound`.
bool IsServicePackBelow(uint16_t minor, uint16_t bound);

// True when the system is Windows 5.minor, whatever its service pack.
bool IsWindows5Minor(uint16_t minor);

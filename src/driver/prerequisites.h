// The Windows versions and service packs the packages need.
#pragma once

#include <cstdint>

// True when the system is Windows 5.minor with a service-pack major number below `bound`.
bool IsServicePackBelow(uint16_t minor, uint16_t bound);

// True when the system is Windows 5.minor, whatever its service pack.
bool IsWindows5Minor(uint16_t minor);

// 0 when the system is acceptable; otherwise 3, 4 or 5, after an error box unless `silent`.
int CheckSystemPrerequisites(bool silent);

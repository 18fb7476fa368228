// The Windows versions and service packs the packages need.
#pragma once

#include <cstdint>

// 0 when the system is acceptable; otherwise 3, 4 or 5, after an error box unless `silent`.
uint32_t CheckSystemPrerequisites(bool silent);

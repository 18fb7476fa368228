// Package versions and the decision to upgrade an installed plug-in.
#pragma once

#include <cstdint>
#include <string>

#include "features/plugin/package_discovery.h"

struct PackageVersion {
    int64_t first = 0;
    int64_t second = 0;
    int64_t third = 0;
    int64_t fourth = 0;
};

// Reads "a.b.c.d" as the C runtime's "%I64d.%I64d.%I64d.%I64d" would: parts it does not reach stay 0,
// and text that does not begin with a number gives 0.0.0.0.
PackageVersion ParseVersion(const std::wstring& text);

// 1, 0 or -1 as `a` is greater than, equal to or less than `b`, compared through one packed 64-bit
// key (16 bits a part, wrapping), so parts above 65535 carry into the next part.
int CompareVersions(const PackageVersion& a, const PackageVersion& b);

// Compares the plug-in package with the installed product `installedCode` and writes 1, 0 or -1 to
// `comparison` once both versions are read. A newer package in an interactive run asks the update
// question, and `updateDeclined` tells whether the answer was No. Failures show an ownerless error
// box unless `silent` and return their code; `comparison` is then unchanged.
uint32_t CompareWithInstalled(bool silent, const std::wstring& installedCode, const PlugInPackage& package,
                              int& comparison, bool& updateDeclined);

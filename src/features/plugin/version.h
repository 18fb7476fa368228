// Package versions and what an installed plug-in's version means for the run.
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

// True when `text` begins with a number as "%I64d" reads one (blanks and a sign may come first):
// text that does not is no version at all.
bool BeginsWithNumber(const std::wstring& text);

// 1, 0 or -1 as `a` is greater than, equal to or less than `b`, compared through one packed 64-bit
// key (16 bits a part, wrapping), so parts above 65535 carry into the next part.
int CompareVersions(const PackageVersion& a, const PackageVersion& b);

struct VersionComparison {
    int result = 1;                 // 1: the package is newer; 0: the same version; -1: the package is older
    std::wstring installedVersion;  // the installed product's VersionString, as Windows Installer gave it
};

// Reads the installed product's version and compares the package's with it (a package read by
// ReadPlugInPackage: its version begins with a number). An installed version that does not parse
// reads as 0.0.0.0, so the package is offered as an update. A failure shows an ownerless error box
// (131) unless `silent` and returns its code, 1 when even the version's size cannot be read;
// `comparison` is then unchanged.
uint32_t CompareWithInstalled(bool silent, const std::wstring& installedCode, const PlugInPackage& package,
                              VersionComparison& comparison);

// What the versions decide for this run.
enum class VersionDecision {
    Install,            // an update, or a reinstall of the same version
    NothingToDo,        // the same version in a silent run without -reinstall; a newer one installed
    ReinstallDeclined,  // No to the same-version question
    UpdateDeclined,     // No to the update question
};

// Compares the package with the installed product `installedCode` and asks what must be asked
// unless `silent`: the update question for a newer package, the reinstall question for the same
// version without `reinstall`, the notice for a newer installed version (a silent run installs the
// older package anyway, and the package's own rules decide). Returns 0 with `decision`, or the
// failure of the comparison or of reading the question's product name, already shown unless silent.
uint32_t DecideOnInstalledVersion(bool silent, bool reinstall, const std::wstring& installedCode,
                                  const PlugInPackage& package, VersionDecision& decision);

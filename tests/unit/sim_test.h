// The base of every unit test: a fresh simulated machine and fresh options.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options.h"
#include "app/run_flow.h"
#include "base/messages.h"
#include "sim/machine.h"

class SimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::Reset();
        options = BootstrapOptions();
        SetOwnerWindow(nullptr);
    }

    sim::Machine& machine() { return sim::machine(); }

    // Runs the whole bootstrapper with `switches` on its command line; its exit code.
    uint32_t RunWithSwitches(std::vector<std::wstring> switches)
    {
        std::wstring commandTail;
        for (const std::wstring& argument : switches) commandTail += argument + L" ";
        switches.insert(switches.begin(), sim::machine().executablePath);
        sim::machine().arguments = switches;
        return static_cast<uint32_t>(RunBootstrapper(commandTail.c_str(), options));
    }

    // The process's record of its switches, as the last run left it.
    BootstrapOptions options;
};

// Well-known codes of the test packages.
inline const std::wstring kUpgradeCode = L"{6F1C2A5E-1111-4A4B-9C3D-0E1F2A3B4C5D}";
inline const std::wstring kProductCodeA = L"{AAAAAAAA-2222-4A4B-9C3D-0E1F2A3B4C5D}";
inline const std::wstring kProductCodeB = L"{BBBBBBBB-3333-4A4B-9C3D-0E1F2A3B4C5D}";

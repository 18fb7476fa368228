// Windows versions and service packs the packages need.
#include <gtest/gtest.h>

#include "app/prerequisites.h"
#include "base/windows_version.h"
#include "res/resource.h"
#include "sim_test.h"

class Prerequisites : public SimTest {};

TEST_F(Prerequisites, ServicePackTable)
{
    const struct {
        uint16_t major, minor, servicePack;
        int result;
        uint16_t message;
    } cases[] = {
        {5, 0, 3, 3, MSG_WIN2000_NEEDS_SP4}, {5, 0, 4, 0, 0},
        {5, 1, 0, 4, MSG_WINXP_NEEDS_SP2},   {5, 1, 1, 4, MSG_WINXP_NEEDS_SP2}, {5, 1, 2, 0, 0}, {5, 1, 3, 0, 0},
        {5, 2, 0, 5, MSG_WIN2003_NEEDS_SP1}, {5, 2, 1, 0, 0}, {5, 2, 2, 0, 0},
        {6, 0, 0, 0, 0}, {6, 1, 0, 0, 0}, {10, 0, 0, 0, 0}, {4, 0, 6, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor << " SP" << c.servicePack);
        sim::Reset();
        machine().windows = {c.major, c.minor, c.servicePack};
        EXPECT_EQ(CheckSystemPrerequisites(false), c.result);
        if (c.message == 0) {
            EXPECT_TRUE(machine().boxes.empty());
            continue;
        }
        ASSERT_EQ(machine().boxes.size(), 1u);
        EXPECT_EQ(machine().boxes[0].text, sim::CatalogueText(c.message));
        EXPECT_EQ(machine().boxes[0].caption, L"Kestrova Pellaris");
        EXPECT_EQ(machine().boxes[0].style, 0x50010u);

        sim::machine().boxes.clear();
        EXPECT_EQ(CheckSystemPrerequisites(true), c.result);
        EXPECT_TRUE(machine().boxes.empty());
    }
}

TEST_F(Prerequisites, Windows5MinorIgnoresTheServicePack)
{
    machine().windows = {5, 2, 2};
    EXPECT_TRUE(IsWindows5Minor(2));
    EXPECT_FALSE(IsWindows5Minor(1));
    EXPECT_FALSE(IsServicePackBelow(2, 2));
    EXPECT_TRUE(IsServicePackBelow(2, 3));
    machine().windows = {6, 2, 0};
    EXPECT_FALSE(IsWindows5Minor(2));
}

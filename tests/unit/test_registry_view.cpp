// The access rights of the restart marker's key: the 32-bit view's flag only where there are two views.
#include <gtest/gtest.h>

#include "platform/registry.h"

TEST(RegistryView, TheWow64FlagOnlyUnderWow64)
{
    // Windows 2000 rejects KEY_WOW64_32KEY; a 32-bit process on 32-bit Windows has one view anyway.
    constexpr uint32_t kKeyRead = 0x20019;
    constexpr uint32_t kKeyWrite = 0x2001F;  // KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY
    EXPECT_EQ(platform::In32BitView(kKeyRead, platform::ProcessArchitecture::X86), 0x20019u);
    EXPECT_EQ(platform::In32BitView(kKeyWrite, platform::ProcessArchitecture::X86), 0x2001Fu);
    EXPECT_EQ(platform::In32BitView(kKeyRead, platform::ProcessArchitecture::X86OnWow64), 0x20219u);
    EXPECT_EQ(platform::In32BitView(kKeyWrite, platform::ProcessArchitecture::X86OnWow64), 0x2021Fu);
}

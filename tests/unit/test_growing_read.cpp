// The buffer that grows until a Windows value fits (the executable's own path, however deep).
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/growing_read.h"

namespace {

// Answers like GetModuleFileNameW: copies what fits and returns the size when the value was cut.
struct ModuleFileName {
    std::wstring value;
    int calls = 0;
    size_t operator()(wchar_t* buffer, size_t size)
    {
        ++calls;
        const size_t copied = std::min(value.size(), size);
        std::copy(value.begin(), value.begin() + static_cast<std::ptrdiff_t>(copied), buffer);
        if (copied < size) buffer[copied] = L'\0';
        return copied;
    }
};

}  // namespace

TEST(GrowingRead, AShortValueIsReadOnce)
{
    ModuleFileName read{L"C:\\Layout\\bootstrapper.exe"};
    EXPECT_EQ(platform::ReadGrowing(std::ref(read), 260, 32768), read.value);
    EXPECT_EQ(read.calls, 1);
}

TEST(GrowingRead, ALongValueIsNeverCut)
{
    for (size_t length : {259u, 260u, 261u, 520u, 1000u, 32767u}) {
        SCOPED_TRACE(length);
        ModuleFileName read{std::wstring(length, L'd')};
        EXPECT_EQ(platform::ReadGrowing(std::ref(read), 260, 32768), read.value);
    }
}

TEST(GrowingRead, FailureAndOversizeGiveNothing)
{
    ModuleFileName empty{L""};
    EXPECT_EQ(platform::ReadGrowing(std::ref(empty), 260, 32768), L"");
    ModuleFileName huge{std::wstring(40000, L'x')};
    EXPECT_EQ(platform::ReadGrowing(std::ref(huge), 260, 32768), L"");
}

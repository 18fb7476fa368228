#include <gtest/gtest.h>

#include "base/text.h"

TEST(Text, CaseFoldingTouchesAsciiLettersOnly)
{
    EXPECT_TRUE(EqualsIgnoringAsciiCase(L"-SILENT", L"-silent"));
    EXPECT_TRUE(EqualsIgnoringAsciiCase(L"-selectdlg", L"-selectDlg"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(L"-silen", L"-silent"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(L"-silentx", L"-silent"));
    // Cyrillic capitals are not folded, as in the C locale.
    EXPECT_FALSE(EqualsIgnoringAsciiCase(L"Д", L"д"));
}

TEST(Text, DecimalFormIsUnsigned)
{
    EXPECT_EQ(ToDecimal(0), L"0");
    EXPECT_EQ(ToDecimal(1603), L"1603");
    EXPECT_EQ(ToDecimal(0xFFFFFFFFu), L"4294967295");
}

TEST(Text, PlaceholdersTakeValuesAsData)
{
    const std::wstring values[] = {L"100% %s %d", L"2.0", L"3.0"};
    EXPECT_EQ(FillPlaceholders(L"a %s b %s c %s.", values, 3), L"a 100% %s %d b 2.0 c 3.0.");
    // More placeholders than values: the rest stay as written.
    EXPECT_EQ(FillPlaceholders(L"%s %s", values, 1), L"100% %s %d %s");
    EXPECT_EQ(FillPlaceholders(L"50%", values, 3), L"50%");
}

TEST(Text, PathPieces)
{
    EXPECT_EQ(FileNameOf(L"C:\\a\\b\\zarelcom-x64.msi"), L"zarelcom-x64.msi");
    EXPECT_EQ(FileNameOf(L"zarelcom.msi"), L"zarelcom.msi");
    EXPECT_EQ(DirectoryOf(L"C:\\a\\b.exe"), L"C:\\a\\");
    EXPECT_EQ(DirectoryOf(L"b.exe"), L"");
}

// The verbose logs of child installations: the time stamp and the log path in TMP.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/install_logs.h"
#include "package_test_support.h"
#include "res/resource.h"

using namespace package_test;

namespace {

const std::wstring kUntouched = L"<untouched>";

class InstallLogs : public PackageTest {};

}  // namespace

// ---------------------------------------------------------------------------------------------
// MakeLogPath and MakeTimestamp

TEST_F(InstallLogs, TimestampIsLocalTimeInFixedWidthFields)
{
    const struct {
        platform::LocalTime now;
        const wchar_t* stamp;
    } rows[] = {
        {{2026, 12, 7, 2, 17, 32}, L"2026-12-07-02-17-32"},
        {{2030, 1, 1, 0, 0, 0}, L"2030-01-01-00-00-00"},
        {{1999, 10, 31, 23, 59, 59}, L"1999-10-31-23-59-59"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.now.year << "/" << row.now.month << "/" << row.now.day);
        machine().standardOutput.clear();
        machine().now = row.now;
        EXPECT_EQ(MakeTimestamp(), row.stamp);
        EXPECT_EQ(machine().standardOutput, std::vector<std::wstring>{row.stamp});
    }
}

TEST_F(InstallLogs, LogPathForABaseName)
{
    std::wstring path = kUntouched;
    EXPECT_EQ(MakeLogPath(false, L"csp", path), 0u);
    EXPECT_EQ(path, kTemp + L"\\csp_" + kStamp + L".log");
    EXPECT_EQ(machine().standardOutput, std::vector<std::wstring>{kStamp});
    EXPECT_TRUE(machine().boxes.empty());
}

TEST_F(InstallLogs, LogPathWithoutAUsableTmpIsReportedAndLeavesTheOutput)
{
    for (const wchar_t* tmp : {static_cast<const wchar_t*>(nullptr), L"", L"tmp", L"C:\\T\"mp"}) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(silent ? "silent" : "interactive");
            if (tmp == nullptr) {
                machine().environment.erase(L"TMP");
            } else {
                machine().environment[L"TMP"] = tmp;
            }
            ClearBoxes();
            std::wstring path = kUntouched;
            EXPECT_EQ(MakeLogPath(silent, L"ucsp", path), 203u);
            EXPECT_EQ(path, kUntouched);
            if (silent) {
                EXPECT_TRUE(machine().boxes.empty());
            } else {
                ExpectOnlyBox(Owner::Owned, kErrorStyle, MSG_ERROR_CAPTION, MSG_TMP_UNREADABLE);
            }
        }
    }
}

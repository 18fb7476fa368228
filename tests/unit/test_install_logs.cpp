// The verbose logs of child installations: the time stamp, the folder TMP names, and the log file
// created anew for every child, never one that exists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/install_logs.h"
#include "package_test_support.h"
#include "res/resource.h"

using namespace package_test;

namespace {

const std::wstring kUntouched = L"<untouched>";

class InstallLogs : public PackageTest {
protected:
    std::wstring LogNamed(const std::wstring& suffix) const { return kTemp + L"\\csp_" + suffix + L".log"; }
};

}  // namespace

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
        machine().now = row.now;
        EXPECT_EQ(MakeTimestamp(), row.stamp);
    }
}

TEST_F(InstallLogs, EachLogIsANewFileAndATakenNameGetsTheNextCounter)
{
    // Someone who may write TMP made the next name first; that file is never opened.
    const std::wstring planted = LogNamed(kStamp);
    sim::AddFile(planted);
    sim::AddFile(LogNamed(kStamp + L"_2"));

    std::wstring first = kUntouched;
    EXPECT_EQ(CreateLogFile(kTemp, L"csp", first), 0u);
    EXPECT_EQ(first, LogNamed(kStamp + L"_3"));
    std::wstring second = kUntouched;
    EXPECT_EQ(CreateLogFile(kTemp, L"csp", second), 0u);  // the same second: its own file
    EXPECT_EQ(second, LogNamed(kStamp + L"_4"));

    EXPECT_EQ(machine().createdFiles, (std::vector<std::wstring>{first, second}));
    EXPECT_EQ(machine().standardOutput, (std::vector<std::wstring>{kStamp + L"_3", kStamp + L"_4"}));
    EXPECT_TRUE(machine().boxes.empty());
}

TEST_F(InstallLogs, ALogThatCannotBeCreatedIs1622)
{
    const struct {
        const char* what;
        std::wstring directory;
        int takenNames;
    } rows[] = {
        {"TMP names no folder", L"C:\\Gone", 0},
        {"every name of the second taken", kTemp, 100},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        for (int n = 1; n <= row.takenNames; ++n) sim::AddFile(LogNamed(n == 1 ? kStamp : kStamp + L"_" + std::to_wstring(n)));
        std::wstring path = kUntouched;
        EXPECT_EQ(CreateLogFile(row.directory, L"csp", path), 1622u);
        EXPECT_EQ(path, kUntouched);
        EXPECT_TRUE(machine().createdFiles.empty());
        EXPECT_TRUE(machine().standardOutput.empty());
    }
}

TEST_F(InstallLogs, AnUnusableTmpIsReportedAndLeavesTheOutput)
{
    for (const wchar_t* tmp : {static_cast<const wchar_t*>(nullptr), L"", L"tmp", L"C:tmp", L"\\tmp", L"C:\\T\"mp"}) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(testing::Message() << (tmp == nullptr ? "unset" : "set") << (silent ? ", silent" : ""));
            if (tmp == nullptr) {
                machine().environment.erase(L"TMP");
            } else {
                machine().environment[L"TMP"] = tmp;
            }
            ClearBoxes();
            std::wstring directory = kUntouched;
            EXPECT_EQ(ReadTemporaryDirectory(silent, directory), 203u);
            EXPECT_EQ(directory, kUntouched);
            ExpectOnlyBoxUnlessSilent(silent, Owner::Owned, kErrorStyle, MSG_ERROR_CAPTION, MSG_TMP_UNREADABLE);
        }
    }
}

#include "base/install_logs.h"

#include "base/messages.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "platform/environment.h"
#include "res/resource.h"

namespace {

void AppendTwoDigits(std::wstring& text, int value)
{
    text += static_cast<wchar_t>(L'0' + value / 10 % 10);
    text += static_cast<wchar_t>(L'0' + value % 10);
}

// The log path is pasted between quotes into an elevated command line, and must not depend on the
// current drive or directory.
bool IsUsableDirectory(const std::wstring& directory)
{
    return IsAbsolutePath(directory) && !Contains(directory, L"\"");
}

}  // namespace

std::wstring MakeTimestamp()
{
    const platform::LocalTime now = platform::CurrentLocalTime();
    std::wstring stamp = ToDecimal(static_cast<uint32_t>(now.year));
    for (int part : {now.month, now.day, now.hour, now.minute, now.second}) {
        stamp += L'-';
        AppendTwoDigits(stamp, part);
    }
    platform::WriteStandardOutputLine(stamp);
    return stamp;
}

bool BringsOwnLog(const std::wstring& arguments) { return Contains(arguments, L"/l") || Contains(arguments, L"/L"); }

uint32_t ReadTemporaryDirectory(bool silent, std::wstring& directory)
{
    std::wstring value;
    uint32_t result = platform::ReadEnvironmentVariable(L"TMP", value);
    if (result == kSuccess && !IsUsableDirectory(value)) result = kEnvironmentVariableNotFound;
    if (result != kSuccess) {
        if (!silent) ShowMessage(BoxKind::Error, MSG_TMP_UNREADABLE, MSG_ERROR_CAPTION);
        return result;
    }
    directory = value;
    return kSuccess;
}

uint32_t MakeLogPath(bool silent, const std::wstring& baseName, std::wstring& logPath)
{
    std::wstring temporaryDirectory;
    const uint32_t result = ReadTemporaryDirectory(silent, temporaryDirectory);
    if (result != kSuccess) return result;
    logPath = temporaryDirectory + L"\\" + baseName + L"_" + MakeTimestamp() + L".log";
    return kSuccess;
}

#include "base/install_logs.h"

#include "base/messages.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "res/resource.h"

namespace {

// More logs than this for one child in one second are someone else's doing.
constexpr uint32_t kMostLogsPerSecond = 100;

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

// The part of the log's name after the base name: the stamp, then the counter from the second log on.
std::wstring NameSuffix(const std::wstring& stamp, uint32_t attempt)
{
    return attempt == 1 ? stamp : stamp + L"_" + ToDecimal(attempt);
}

bool IsTaken(uint32_t created) { return created == kFileExists || created == kAlreadyExists; }

}  // namespace

std::wstring MakeTimestamp()
{
    const platform::LocalTime now = platform::CurrentLocalTime();
    std::wstring stamp = ToDecimal(static_cast<uint32_t>(now.year));
    for (int part : {now.month, now.day, now.hour, now.minute, now.second}) {
        stamp += L'-';
        AppendTwoDigits(stamp, part);
    }
    return stamp;
}

bool BringsOwnLog(const std::wstring& arguments) { return Contains(arguments, L"/l") || Contains(arguments, L"/L"); }

uint32_t ReadTemporaryDirectory(bool silent, std::wstring& directory)
{
    std::wstring value;
    uint32_t result = platform::ReadEnvironmentVariable(L"TMP", value);
    if (result == kSuccess && !IsUsableDirectory(value)) result = kTemporaryDirectoryUnusable;
    if (result != kSuccess) {
        if (!silent) ShowMessage(BoxKind::Error, MSG_TMP_UNREADABLE, MSG_ERROR_CAPTION);
        return result;
    }
    directory = value;
    return kSuccess;
}

uint32_t CreateLogFile(const std::wstring& directory, const std::wstring& baseName, std::wstring& logPath)
{
    const std::wstring stamp = MakeTimestamp();
    for (uint32_t attempt = 1; attempt <= kMostLogsPerSecond; ++attempt) {
        const std::wstring suffix = NameSuffix(stamp, attempt);
        const std::wstring path = directory + L"\\" + baseName + L"_" + suffix + L".log";
        const uint32_t created = platform::CreateNewFile(path);
        if (IsTaken(created)) continue;
        if (created != kSuccess) return kInstallLogFailure;
        platform::WriteStandardOutputLine(suffix);
        logPath = path;
        return kSuccess;
    }
    return kInstallLogFailure;
}

void DiscardUnwrittenLog(const platform::ProcessResult& child, std::wstring& logPath)
{
    if (child.outcome == platform::ChildOutcome::Lost || logPath.empty() || !platform::FileIsEmpty(logPath)) return;
    if (platform::RemoveFile(logPath)) logPath.clear();
}

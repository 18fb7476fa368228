#include "helper.h"

#include <windows.h>

#include <cwchar>

#include "platform/win32_handles.h"

namespace helper {
namespace {

bool ReadWholeFile(const wchar_t* path, std::string& bytes) {
    const platform::KernelHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) return false;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    return true;
}

std::vector<std::wstring> SplitBlanks(const std::wstring& line) {
    std::vector<std::wstring> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && iswspace(line[i])) ++i;
        size_t j = i;
        while (j < line.size() && !iswspace(line[j])) ++j;
        if (j > i) out.push_back(line.substr(i, j - i));
        i = j;
    }
    return out;
}

// A line's actions join the plan unless the line is blank or a comment. A '\r' before the line
// end is a blank like any other.
void AddStep(const std::string& line, Plan& plan) {
    std::wstring w(line.size(), L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &w[0], static_cast<int>(w.size()));
    w.resize(n > 0 ? n : 0);
    auto tokens = SplitBlanks(w);
    if (!tokens.empty() && tokens[0][0] != L'#') plan.push_back(tokens);
}

}  // namespace

bool ReadPlan(const wchar_t* path, Plan& plan) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    for (size_t start = 0;;) {
        const size_t end = bytes.find('\n', start);
        AddStep(bytes.substr(start, end == std::string::npos ? std::string::npos : end - start), plan);
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

}  // namespace helper

// fake_setup: a recording stand-in for msiexec.exe and for a distribution's Setup.exe.
//
// Appends its exact command line (GetCommandLineW, UTF-8, one line per run) to the file named by
// the environment variable FAKE_SETUP_RECORD, then exits with the code in FAKE_SETUP_EXIT
// (decimal, 0 when unset). A GUI program, so starting it never creates a console.

#include <windows.h>

#include <cwchar>
#include <string>

namespace {

class File {
public:
    explicit File(HANDLE h) : h_(h) {}
    ~File() { if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    HANDLE get() const { return h_; }
private:
    HANDLE h_;
};

std::wstring Environment(const wchar_t* name) {
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return std::wstring();
    std::wstring value(size, L'\0');
    DWORD len = GetEnvironmentVariableW(name, &value[0], size);
    value.resize(len < size ? len : 0);
    return value;
}

std::string ToUtf8(const wchar_t* w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, -1, &s[0], n, nullptr, nullptr);
    s.resize(n - 1);
    return s;
}

// FILE_APPEND_DATA keeps each run's line whole even when two stand-ins write in turn.
void Record(const std::wstring& path) {
    File f(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (f.get() == INVALID_HANDLE_VALUE) return;
    std::string line = ToUtf8(GetCommandLineW()) + "\n";
    DWORD written = 0;
    WriteFile(f.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::wstring record = Environment(L"FAKE_SETUP_RECORD");
    if (!record.empty()) Record(record);
    std::wstring code = Environment(L"FAKE_SETUP_EXIT");
    ExitProcess(code.empty() ? 0u : static_cast<UINT>(std::wcstoul(code.c_str(), nullptr, 10)));
}

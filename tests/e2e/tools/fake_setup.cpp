// fake_setup: a recording stand-in for msiexec.exe and for a distribution's Setup.exe.
//
// Appends its exact command line (GetCommandLineW, UTF-8, one line per run) to the file named by
// the environment variable FAKE_SETUP_RECORD, then exits with a decimal code taken from
// FAKE_SETUP_EXIT_<FOLDER>, where <FOLDER> is the upper-cased name of the folder the stand-in was
// started from ("CSP" for csp\Setup.exe), or else from FAKE_SETUP_EXIT (0 when neither is set).
// That lets the two distributions of one run fail or succeed independently.
// With FAKE_SETUP_WRITE_LOG=1 it also creates the log file that a distribution's command line
// names inside -args (/Lv! """<path>"""), as a real setup would.
// With FAKE_SETUP_BROADCAST=1 it first sends WM_SETTINGCHANGE to every top-level window, as an
// installation that changed the environment broadcasts it, and exits with 1460 (ERROR_TIMEOUT) when
// a window did not answer within 5 s: its thread was not taking messages while it waited for us.
// Window by window, since Wine's HWND_BROADCAST reports success even when windows time out.
// With FAKE_SETUP_SLEEP_MS=<n> it runs for n milliseconds after recording, as a long installation does.
// A GUI program, so starting it never creates a console.

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

// The name of the folder this program was started from, upper-cased: "CSP" for ...\csp\Setup.exe.
std::wstring OwnFolderName() {
    wchar_t path[MAX_PATH];
    DWORD len = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (len == 0 || len >= MAX_PATH) return std::wstring();
    std::wstring folder(path, len);
    const size_t fileName = folder.find_last_of(L'\\');
    if (fileName == std::wstring::npos) return std::wstring();
    folder.resize(fileName);
    const size_t parent = folder.find_last_of(L'\\');
    folder.erase(0, parent == std::wstring::npos ? 0 : parent + 1);
    CharUpperBuffW(&folder[0], static_cast<DWORD>(folder.size()));
    return folder;
}

UINT ExitCode() {
    std::wstring code = Environment((L"FAKE_SETUP_EXIT_" + OwnFolderName()).c_str());
    if (code.empty()) code = Environment(L"FAKE_SETUP_EXIT");
    return code.empty() ? 0u : static_cast<UINT>(std::wcstoul(code.c_str(), nullptr, 10));
}

// The path between the tripled quotes of "/Lv! """<path>"""", or empty when there is none.
std::wstring LogPathInArguments(const std::wstring& commandLine) {
    const std::wstring open = L"/Lv! \"\"\"";
    size_t start = commandLine.find(open);
    if (start == std::wstring::npos) return std::wstring();
    start += open.size();
    size_t end = commandLine.find(L"\"\"\"", start);
    return end == std::wstring::npos ? std::wstring() : commandLine.substr(start, end - start);
}

void WriteLog(const std::wstring& path) {
    File f(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr));
    if (f.get() == INVALID_HANDLE_VALUE) return;
    const char line[] = "fake_setup: install log\r\n";
    DWORD written = 0;
    WriteFile(f.get(), line, sizeof line - 1, &written, nullptr);
}

BOOL CALLBACK SendSettingChange(HWND window, LPARAM unanswered) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"), SMTO_NORMAL,
                             5000, &result) &&
        GetLastError() == ERROR_TIMEOUT) {
        ++*reinterpret_cast<int*>(unanswered);
    }
    return TRUE;
}

bool BroadcastIsAnswered() {
    int unanswered = 0;
    EnumWindows(SendSettingChange, reinterpret_cast<LPARAM>(&unanswered));
    return unanswered == 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::wstring record = Environment(L"FAKE_SETUP_RECORD");
    if (!record.empty()) Record(record);
    const std::wstring sleep = Environment(L"FAKE_SETUP_SLEEP_MS");
    if (!sleep.empty()) Sleep(static_cast<DWORD>(std::wcstoul(sleep.c_str(), nullptr, 10)));
    if (Environment(L"FAKE_SETUP_BROADCAST") == L"1" && !BroadcastIsAnswered()) ExitProcess(ERROR_TIMEOUT);
    if (Environment(L"FAKE_SETUP_WRITE_LOG") == L"1") {
        std::wstring log = LogPathInArguments(GetCommandLineW());
        if (!log.empty()) WriteLog(log);
    }
    ExitProcess(ExitCode());
}

// e2e_helper: the test bench's hands and eyes inside a Wine prefix.
//
// Every mode prints JSON, one object per line, UTF-8, on standard output.
//
//   e2e_helper drive [--timeout <seconds>] [--unset <variable>]... <plan-file> -- <program> [args...]
//       Starts <program> (a full path) and, until it ends, watches for visible top-level dialog
//       windows (class "#32770") of its process and of the processes it starts (msiexec's own
//       boxes; "process" and "pid" name the process that owns a window). Each new window is printed as one line
//       {"window": {...}} and then handled by the next line of the plan file. When the plan is
//       used up, a window is printed with "unexpected": true and dismissed so the run cannot hang.
//       The last line is {"exit": <full 32-bit exit code>} (plus "timeout": true when the child
//       had to be killed after <seconds>, 60 by default). --unset removes an environment variable
//       from what <program> inherits (TMP, to see a run without a temporary directory).
//   e2e_helper run [--timeout <seconds>] [--unset <variable>]... -- <program> [args...]
//       Starts <program>, waits, prints {"exit": <code>, "seconds": <from its start to its end>}.
//       Wine's own shell cuts codes to 8 bits.
//   e2e_helper product <UpgradeCode>
//       Prints the first related product, its state, "VersionString", the "PackageName" of its source
//       list and the state of feature "NPZAREL", as Windows Installer sees them.
//   e2e_helper key <query|create|delete> <HKCU subkey>
//       Looks at, creates or deletes a key of HKEY_CURRENT_USER in the 32-bit registry view.
//   e2e_helper sleep <seconds>
//       Does nothing for a while: a bystander process whose end shows that a restart ended the prefix.
//   e2e_helper selftest
//       Shows boxes of its own, one with each system icon and one without, reads them the way it
//       reads a child's, and prints {"icons": {<icon asked for>: <icon seen>, ...}}.
//
// Plan file: one line per expected window, in order of appearance; blank lines and lines
// starting with '#' are skipped. A line is a list of actions separated by blanks:
//   press:<id>   post WM_COMMAND <id> to the window (a message-box button)
//   click:<id>   post BM_CLICK to the child control <id> (a dialog button, radio or check box)
//   dump         print the window again as {"dump": {...}} (after the previous actions settled)
//   esc          post an Escape key press to the focused control
//   close        post WM_SYSCOMMAND SC_CLOSE
//   shot:<path>  capture the window from the screen into a 32-bit BMP file (no blanks in <path>);
//                prints {"shot": <path>, "width": w, "height": h}
//   tamper:<path>  try to open <path> for writing, to rename it and to delete it, then to read it
//                ("%20" stands for a blank in <path>); prints {"tamper": <path>, "write": e,
//                "rename": e, "delete": e, "read": e}, each e the Windows error of the try (0: it worked)
//
// Icon kind: STM_GETICON on the box's icon control (id 0x14; Wine's template uses 0x440) tells
// whether an icon is set; which system icon it is, is judged from a screen capture of the
// control (see IconByPixels), because icon handles are private to each process under Wine.
// "unknown" means an icon is shown that is none of the four system icons.

#include <windows.h>
#include <msi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Small RAII holders.

class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    ~Handle() { if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
private:
    HANDLE h_;
};

class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() { if (dc_) ReleaseDC(nullptr, dc_); }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }
private:
    HDC dc_;
};

// A 32-bit top-down DIB selected into a memory DC, so pixels can be read back directly.
class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bmp_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        if (bmp_) old_ = SelectObject(dc_, bmp_);
    }
    ~Canvas() {
        if (old_) SelectObject(dc_, old_);
        if (bmp_) DeleteObject(bmp_);
        if (dc_) DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    bool ok() const { return bits_ != nullptr; }
    HDC dc() const { return dc_; }
    const DWORD* bits() const { return bits_; }
    int pixels() const { return w_ * h_; }
private:
    int w_, h_;
    HDC dc_ = nullptr;
    HBITMAP bmp_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Output.

std::string ToUtf8(const std::wstring& w) {
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

std::string JsonString(const std::wstring& w) {
    std::string out = "\"";
    for (unsigned char c : ToUtf8(w)) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

const char* JsonBool(bool b) { return b ? "true" : "false"; }

// Written through WriteFile so the bytes reach the Linux side unchanged and unbuffered.
void EmitLine(const std::string& line) {
    std::string s = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), s.data(), static_cast<DWORD>(s.size()), &written, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Screenshots.

class OutFile {
public:
    explicit OutFile(const std::wstring& path) : f_(_wfopen(path.c_str(), L"wb")) {}
    ~OutFile() { if (f_) std::fclose(f_); }
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;
    bool Write(const void* data, size_t size) { return f_ && std::fwrite(data, 1, size, f_) == size; }
private:
    FILE* f_;
};

// What the screen shows of a window, as a top-down 32-bit BMP: for a person to look at.
bool SaveScreenshot(HWND hwnd, const std::wstring& path, int& width, int& height) {
    RECT r;
    if (!GetWindowRect(hwnd, &r) || r.right <= r.left || r.bottom <= r.top) return false;
    width = r.right - r.left;
    height = r.bottom - r.top;
    Canvas canvas(width, height);
    if (!canvas.ok()) return false;
    {
        ScreenDc screen;
        BitBlt(canvas.dc(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY);
    }
    GdiFlush();
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = -height;  // top-down, as the canvas holds it
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    const DWORD pixelBytes = static_cast<DWORD>(canvas.pixels()) * 4;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + pixelBytes;
    OutFile out(path);
    return out.Write(&file, sizeof file) && out.Write(&info, sizeof info) && out.Write(canvas.bits(), pixelBytes);
}

// ---------------------------------------------------------------------------------------------
// Reading windows.

std::wstring WindowText(HWND hwnd) {
    wchar_t buf[8192];
    DWORD_PTR len = 0;
    // WM_GETTEXT crosses the process boundary; a hung child must not hang the bench.
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, &len))
        return std::wstring();
    return std::wstring(buf, len);
}

std::wstring ClassName(HWND hwnd) {
    wchar_t buf[256];
    int n = GetClassNameW(hwnd, buf, 256);
    return std::wstring(buf, n > 0 ? n : 0);
}

std::vector<HWND> ChildrenInZOrder(HWND parent) {
    std::vector<HWND> out;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
    return out;
}

const int kMessageTextId = 0xFFFF;
const int kMessageIconId = 0x14;
const int kWineMessageIconId = 0x440;  // Wine's message-box template names its icon control stc1

HWND MessageIconControl(HWND box) {
    HWND icon = GetDlgItem(box, kMessageIconId);
    return icon ? icon : GetDlgItem(box, kWineMessageIconId);
}

// What a control reveals on screen: the icon drawn in it, if it is one of the system icons.
struct IconCandidate { const char* kind; LPCWSTR id; };
const IconCandidate kIcons[] = {
    {"error", IDI_ERROR}, {"warning", IDI_WARNING}, {"information", IDI_INFORMATION}, {"question", IDI_QUESTION},
};

// Wine hands every process its own handles for the shared system icons, so the handle that
// STM_GETICON returns tells only whether an icon is set. Which one is judged on screen: the
// pixels that each system icon covers opaquely are compared with a capture of the control.
double MismatchOverOpaquePixels(HDC screen, const RECT& r, HICON icon) {
    int w = r.right - r.left, h = r.bottom - r.top;
    Canvas capture(w, h), onBlack(w, h), onWhite(w, h);
    if (!capture.ok() || !onBlack.ok() || !onWhite.ok()) return 1.0;
    BitBlt(capture.dc(), 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    PatBlt(onBlack.dc(), 0, 0, w, h, BLACKNESS);
    PatBlt(onWhite.dc(), 0, 0, w, h, WHITENESS);
    DrawIconEx(onBlack.dc(), 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
    DrawIconEx(onWhite.dc(), 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
    GdiFlush();
    int opaque = 0, mismatched = 0;
    for (int i = 0; i < capture.pixels(); ++i) {
        DWORD b = onBlack.bits()[i] & 0xFFFFFF, wh = onWhite.bits()[i] & 0xFFFFFF;
        if (b != wh) continue;  // the background shows through here
        ++opaque;
        if ((capture.bits()[i] & 0xFFFFFF) != b) ++mismatched;
    }
    return opaque ? static_cast<double>(mismatched) / opaque : 1.0;
}

const char* IconByPixels(HWND iconControl) {
    RECT r;
    if (!GetWindowRect(iconControl, &r) || r.right <= r.left || r.bottom <= r.top) return "unknown";
    ScreenDc screen;
    const char* best = "unknown";
    double bestMismatch = 0.05;
    for (const auto& c : kIcons) {
        double mismatch = MismatchOverOpaquePixels(screen.get(), r, LoadIconW(nullptr, c.id));
        if (mismatch < bestMismatch) { best = c.kind; bestMismatch = mismatch; }
    }
    return best;
}

std::string IconKind(HWND box) {
    HWND icon = MessageIconControl(box);
    DWORD_PTR shown = 0;
    if (icon && IsWindowVisible(icon))
        SendMessageTimeoutW(icon, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &shown);
    const char* kind = shown ? IconByPixels(icon) : "none";
    // A box that is still being painted reads as "unknown"; give it more frames, for up to 3 s on a
    // busy machine.
    for (int retry = 0; retry < 30 && lstrcmpA(kind, "unknown") == 0; ++retry) {
        Sleep(100);
        kind = IconByPixels(icon);
    }
    return std::string("\"") + kind + "\"";
}

std::string OwnerJson(HWND hwnd) {
    HWND owner = GetWindow(hwnd, GW_OWNER);
    if (!owner) return "null";
    return "{\"class\": " + JsonString(ClassName(owner)) + ", \"visible\": " + JsonBool(IsWindowVisible(owner)) +
           ", \"enabled\": " + JsonBool(IsWindowEnabled(owner)) + "}";
}

std::string ButtonsJson(HWND hwnd) {
    std::string out = "[";
    for (HWND c : ChildrenInZOrder(hwnd)) {
        if (!IsWindowVisible(c) || lstrcmpiW(ClassName(c).c_str(), L"Button") != 0) continue;
        if (out.size() > 1) out += ", ";
        out += "{\"id\": " + std::to_string(GetDlgCtrlID(c)) + ", \"text\": " + JsonString(WindowText(c)) + "}";
    }
    return out + "]";
}

std::string ControlsJson(HWND hwnd) {
    std::string out = "[";
    for (HWND c : ChildrenInZOrder(hwnd)) {
        if (out.size() > 1) out += ", ";
        DWORD style = static_cast<DWORD>(GetWindowLongW(c, GWL_STYLE));
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(style));
        bool checked = SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED &&
                       lstrcmpiW(ClassName(c).c_str(), L"Button") == 0;
        out += "{\"id\": " + std::to_string(GetDlgCtrlID(c)) + ", \"class\": " + JsonString(ClassName(c)) +
               ", \"text\": " + JsonString(WindowText(c)) + ", \"style\": \"" + hex + "\", \"visible\": " +
               JsonBool(IsWindowVisible(c)) + ", \"enabled\": " + JsonBool(IsWindowEnabled(c)) +
               ", \"checked\": " + JsonBool(checked) + "}";
    }
    return out + "]";
}

// A message box is a #32770 whose children are its text, its icon and its buttons only.
bool IsMessageBox(HWND hwnd) {
    bool hasText = false;
    for (HWND c : ChildrenInZOrder(hwnd)) {
        int id = GetDlgCtrlID(c);
        if (id == kMessageTextId) hasText = true;
        else if (id != kMessageIconId && id != kWineMessageIconId && !(id >= IDOK && id <= IDCONTINUE) && id != 9 /* IDHELP */) return false;
    }
    return hasText;
}

std::string DescribeWindow(HWND hwnd) {
    bool box = IsMessageBox(hwnd);
    std::string s = "{\"kind\": \"" + std::string(box ? "box" : "dialog") + "\"";
    s += ", \"title\": " + JsonString(WindowText(hwnd));
    HWND text = GetDlgItem(hwnd, kMessageTextId);
    s += ", \"text\": " + (text ? JsonString(WindowText(text)) : std::string("null"));
    s += ", \"buttons\": " + ButtonsJson(hwnd);
    s += ", \"icon\": " + IconKind(hwnd);
    s += ", \"owner\": " + OwnerJson(hwnd);
    if (!box) s += ", \"controls\": " + ControlsJson(hwnd);
    return s + "}";
}

// ---------------------------------------------------------------------------------------------
// Finding the child's windows.

// The child and every process it started, with their image names. A process stays in the
// family after its parent ends, so msiexec's boxes are still seen when a launcher exits early.
class ProcessFamily {
public:
    explicit ProcessFamily(DWORD root) { members_[root] = L""; }
    void Refresh() {
        Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (snapshot.get() == INVALID_HANDLE_VALUE) return;
        std::vector<PROCESSENTRY32W> all;
        PROCESSENTRY32W e = {};
        e.dwSize = sizeof e;
        for (BOOL ok = Process32FirstW(snapshot.get(), &e); ok; ok = Process32NextW(snapshot.get(), &e)) all.push_back(e);
        for (bool grew = true; grew;) {
            grew = false;
            for (const auto& p : all) {
                auto self = members_.find(p.th32ProcessID);
                if (self != members_.end()) { self->second = p.szExeFile; continue; }
                if (members_.count(p.th32ParentProcessID)) { members_[p.th32ProcessID] = p.szExeFile; grew = true; }
            }
        }
    }
    bool Contains(DWORD pid) const { return members_.count(pid) != 0; }
    std::wstring ImageOf(DWORD pid) const {
        auto it = members_.find(pid);
        return it == members_.end() ? std::wstring() : it->second;
    }
private:
    std::map<DWORD, std::wstring> members_;
};

struct WindowSearch {
    const ProcessFamily* family;
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogs(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    bool ours = search->family ? search->family->Contains(pid) : pid == search->pid;
    if (ours && IsWindowVisible(hwnd) && ClassName(hwnd) == L"#32770") search->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> VisibleDialogsOf(DWORD pid) {
    WindowSearch search{nullptr, pid, {}};
    EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> VisibleDialogsOf(const ProcessFamily& family) {
    WindowSearch search{&family, 0, {}};
    EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// ---------------------------------------------------------------------------------------------
// The plan.

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

bool ReadPlan(const wchar_t* path, std::vector<std::vector<std::wstring>>& plan) {
    FILE* f = _wfopen(path, L"rb");
    if (!f) return false;
    std::string line;
    int ch;
    auto flush = [&]() {
        std::wstring w(line.size(), L'\0');
        int n = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &w[0], static_cast<int>(w.size()));
        w.resize(n > 0 ? n : 0);
        auto tokens = SplitBlanks(w);
        if (!tokens.empty() && tokens[0][0] != L'#') plan.push_back(tokens);
        line.clear();
    };
    while ((ch = std::fgetc(f)) != EOF) {
        if (ch == '\n') flush();
        else line += static_cast<char>(ch);
    }
    flush();
    std::fclose(f);
    return true;
}

int ActionArgument(const std::wstring& action) {
    size_t colon = action.find(L':');
    return colon == std::wstring::npos ? 0 : _wtoi(action.c_str() + colon + 1);
}

void PressEscape(HWND hwnd) {
    GUITHREADINFO gti = {};
    gti.cbSize = sizeof gti;
    HWND target = hwnd;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &gti) && gti.hwndFocus) target = gti.hwndFocus;
    PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

std::wstring DecodeBlanks(std::wstring path) {
    for (size_t at; (at = path.find(L"%20")) != std::wstring::npos;) path.replace(at, 3, L" ");
    return path;
}

DWORD OpenError(const std::wstring& path, DWORD access, DWORD share) {
    Handle file(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.get() == INVALID_HANDLE_VALUE ? GetLastError() : 0;
}

// What another user who may write the folder could do to a file while the child holds it.
void Tamper(const std::wstring& path) {
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD write = OpenError(path, GENERIC_WRITE, shareAll);
    const std::wstring aside = path + L".swapped";
    DWORD rename = MoveFileW(path.c_str(), aside.c_str()) ? 0 : GetLastError();
    if (rename == 0) MoveFileW(aside.c_str(), path.c_str());
    const DWORD removed = DeleteFileW(path.c_str()) ? 0 : GetLastError();
    const DWORD read = OpenError(path, GENERIC_READ, shareAll);
    EmitLine("{\"tamper\": " + JsonString(path) + ", \"write\": " + std::to_string(write) + ", \"rename\": " +
             std::to_string(rename) + ", \"delete\": " + std::to_string(removed) + ", \"read\": " +
             std::to_string(read) + "}");
}

// Posting only: a sent BM_CLICK would block us while the child runs a nested modal loop.
void Perform(HWND hwnd, const std::wstring& action) {
    if (action.rfind(L"press:", 0) == 0) {
        int id = ActionArgument(action);
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, id)));
    } else if (action.rfind(L"click:", 0) == 0) {
        PostMessageW(GetDlgItem(hwnd, ActionArgument(action)), BM_CLICK, 0, 0);
    } else if (action == L"dump") {
        Sleep(300);
        if (IsWindow(hwnd)) EmitLine("{\"dump\": " + DescribeWindow(hwnd) + "}");
    } else if (action == L"esc") {
        PressEscape(hwnd);
    } else if (action == L"close") {
        PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (action.rfind(L"shot:", 0) == 0) {
        Sleep(300);  // the previous actions repaint first
        const std::wstring path = action.substr(5);
        int width = 0, height = 0;
        if (SaveScreenshot(hwnd, path, width, height))
            EmitLine("{\"shot\": " + JsonString(path) + ", \"width\": " + std::to_string(width) +
                     ", \"height\": " + std::to_string(height) + "}");
        else
            EmitLine("{\"error\": \"screenshot failed\", \"path\": " + JsonString(path) + "}");
    } else if (action.rfind(L"tamper:", 0) == 0) {
        Tamper(DecodeBlanks(action.substr(7)));
    } else {
        EmitLine("{\"error\": \"unknown plan action\", \"action\": " + JsonString(action) + "}");
    }
    Sleep(100);
}

// A window nobody planned for: Cancel, then Close, then its last button, until it is gone.
void Dismiss(HWND hwnd) {
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Sleep(300);
    if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) return;
    PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    Sleep(300);
    if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) return;
    HWND last = nullptr;
    for (HWND c : ChildrenInZOrder(hwnd))
        if (IsWindowVisible(c) && lstrcmpiW(ClassName(c).c_str(), L"Button") == 0) last = c;
    if (last) PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(last), BN_CLICKED), reinterpret_cast<LPARAM>(last));
}

// ---------------------------------------------------------------------------------------------
// Child processes.

// Quoting that CommandLineToArgvW undoes exactly.
std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') { ++backslashes; continue; }
        if (c == L'"') out.append(backslashes * 2 + 1, L'\\');
        else out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

struct Child {
    PROCESS_INFORMATION pi = {};
    ~Child() {
        if (pi.hThread) CloseHandle(pi.hThread);
        if (pi.hProcess) CloseHandle(pi.hProcess);
    }
};

bool StartChild(int argc, wchar_t** argv, Child& child) {
    std::wstring cmd = QuoteArgument(argv[0]);
    for (int i = 1; i < argc; ++i) cmd += L" " + QuoteArgument(argv[i]);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (CreateProcessW(argv[0], &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &child.pi)) return true;
    EmitLine("{\"error\": \"CreateProcessW failed\", \"code\": " + std::to_string(GetLastError()) + "}");
    return false;
}

// `seconds`: how long the child ran, from its start to its end, when measured (run mode).
void EmitExit(HANDLE process, bool timedOut, double seconds = -1) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    std::string line = "{\"exit\": " + std::to_string(static_cast<unsigned long>(code));
    if (timedOut) line += ", \"timeout\": true";
    if (seconds >= 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%.6f", seconds);
        line += std::string(", \"seconds\": ") + text;
    }
    EmitLine(line + "}");
}

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

const DWORD kKilledExitCode = 0xDEADu;

// Waits for the child, or kills it once the deadline passes; true when it had to be killed.
bool WaitOrKill(HANDLE process, DWORD waitMs) {
    if (WaitForSingleObject(process, waitMs) != WAIT_TIMEOUT) return false;
    TerminateProcess(process, kKilledExitCode);
    WaitForSingleObject(process, 5000);
    return true;
}

void HandleWindow(HWND hwnd, const ProcessFamily& family, std::vector<std::vector<std::wstring>>& plan, size_t& next) {
    Sleep(150);  // let the box finish painting before it is read and captured
    if (!IsWindow(hwnd)) return;
    std::string description = DescribeWindow(hwnd);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    description.insert(description.size() - 1, ", \"process\": " + JsonString(family.ImageOf(pid)) +
                                                   ", \"pid\": " + std::to_string(pid));
    if (next >= plan.size()) {
        EmitLine("{\"window\": " + description + ", \"unexpected\": true}");
        Dismiss(hwnd);
        return;
    }
    const auto& step = plan[next++];
    std::wstring stepText;
    for (const auto& a : step) stepText += (stepText.empty() ? L"" : L" ") + a;
    EmitLine("{\"window\": " + description + ", \"step\": " + JsonString(stepText) + "}");
    for (const auto& a : step) Perform(hwnd, a);
}

int Drive(DWORD timeoutMs, const wchar_t* planPath, int argc, wchar_t** argv) {
    std::vector<std::vector<std::wstring>> plan;
    if (!ReadPlan(planPath, plan)) {
        EmitLine("{\"error\": \"cannot read plan\", \"path\": " + JsonString(planPath) + "}");
        return 2;
    }
    Child child;
    if (!StartChild(argc, argv, child)) return 2;
    std::set<HWND> seen;
    size_t next = 0;
    ProcessFamily family(child.pi.dwProcessId);
    DWORD start = GetTickCount();
    while (WaitForSingleObject(child.pi.hProcess, 50) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > timeoutMs) {
            WaitOrKill(child.pi.hProcess, 0);
            EmitExit(child.pi.hProcess, true);
            return 0;
        }
        family.Refresh();
        for (HWND hwnd : VisibleDialogsOf(family)) {
            if (seen.insert(hwnd).second) HandleWindow(hwnd, family, plan, next);
        }
    }
    EmitExit(child.pi.hProcess, false);
    return 0;
}

int Run(DWORD timeoutMs, int argc, wchar_t** argv) {
    Child child;
    const double start = Now();
    if (!StartChild(argc, argv, child)) return 2;
    bool killed = WaitOrKill(child.pi.hProcess, timeoutMs);
    EmitExit(child.pi.hProcess, killed, Now() - start);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Windows Installer and registry queries.

std::wstring ProductInfo(const wchar_t* product, const wchar_t* property, UINT& status) {
    wchar_t buf[512];
    DWORD len = 512;
    status = MsiGetProductInfoW(product, property, buf, &len);
    return status == ERROR_SUCCESS ? std::wstring(buf, len) : std::wstring();
}

int Product(const wchar_t* upgradeCode) {
    wchar_t product[39] = {};
    UINT status = MsiEnumRelatedProductsW(upgradeCode, 0, 0, product);
    if (status != ERROR_SUCCESS) {
        EmitLine("{\"product\": null, \"enum_status\": " + std::to_string(status) + "}");
        return 0;
    }
    UINT versionStatus = 0, nameStatus = 0, packageStatus = 0;
    std::wstring version = ProductInfo(product, L"VersionString", versionStatus);
    std::wstring name = ProductInfo(product, L"InstalledProductName", nameStatus);
    std::wstring packageName = ProductInfo(product, L"PackageName", packageStatus);
    std::string s = "{\"product\": " + JsonString(product);
    s += ", \"state\": " + std::to_string(MsiQueryProductStateW(product));
    s += ", \"version\": " + (versionStatus == ERROR_SUCCESS ? JsonString(version) : std::string("null"));
    s += ", \"name\": " + (nameStatus == ERROR_SUCCESS ? JsonString(name) : std::string("null"));
    s += ", \"package_name\": " + (packageStatus == ERROR_SUCCESS ? JsonString(packageName) : std::string("null"));
    s += ", \"feature_npzarel\": " + std::to_string(MsiQueryFeatureStateW(product, L"NPZAREL"));
    EmitLine(s + "}");
    return 0;
}

const REGSAM kView32 = KEY_WOW64_32KEY;

int Key(const wchar_t* op, const wchar_t* subkey) {
    LONG status;
    if (lstrcmpW(op, L"query") == 0) {
        HKEY key;
        status = RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_READ | kView32, &key);
        if (status == ERROR_SUCCESS) RegCloseKey(key);
        EmitLine(std::string("{\"exists\": ") + JsonBool(status == ERROR_SUCCESS) + "}");
        return 0;
    }
    if (lstrcmpW(op, L"create") == 0) {
        HKEY key;
        status = RegCreateKeyExW(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, KEY_ALL_ACCESS | kView32, nullptr, &key, nullptr);
        if (status == ERROR_SUCCESS) RegCloseKey(key);
    } else if (lstrcmpW(op, L"delete") == 0) {
        status = RegDeleteKeyExW(HKEY_CURRENT_USER, subkey, kView32, 0);
    } else {
        status = ERROR_INVALID_PARAMETER;
    }
    EmitLine("{\"status\": " + std::to_string(status) + "}");
    return status == ERROR_SUCCESS ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// Self-test: what this Wine honours, measured on boxes of our own.

DWORD WINAPI ShowSelfTestBox(void* style) {
    MessageBoxW(nullptr, L"e2e self-test", L"e2e self-test", static_cast<UINT>(reinterpret_cast<UINT_PTR>(style)));
    return 0;
}

HWND WaitForVisibleDialog(DWORD threadId) {
    for (int i = 0; i < 100; ++i) {
        for (HWND hwnd : VisibleDialogsOf(GetCurrentProcessId())) {
            if (GetWindowThreadProcessId(hwnd, nullptr) == threadId) return hwnd;
        }
        Sleep(50);
    }
    return nullptr;
}

// Shows one box with the given style in a worker thread, reads it like a child's box, closes it.
std::string ProbeBox(UINT style) {
    DWORD tid = 0;
    Handle thread(CreateThread(nullptr, 0, ShowSelfTestBox, reinterpret_cast<void*>(static_cast<UINT_PTR>(style)), 0, &tid));
    HWND hwnd = thread.get() ? WaitForVisibleDialog(tid) : nullptr;
    if (!hwnd) return "\"no box\"";
    Sleep(150);
    std::string icon = IconKind(hwnd);
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    WaitForSingleObject(thread.get(), 5000);
    return icon;
}

int SelfTest() {
    const struct { const char* name; UINT style; } probes[] = {
        {"error", MB_ICONERROR}, {"warning", MB_ICONWARNING}, {"information", MB_ICONINFORMATION},
        {"question", MB_ICONQUESTION}, {"none", 0},
    };
    std::string icons;
    for (const auto& p : probes) {
        // MB_TOPMOST as the run flow asks for its boxes, so the icon is read as in the scenarios.
        std::string seen = ProbeBox(MB_OK | MB_TOPMOST | p.style);
        icons += std::string(icons.empty() ? "" : ", ") + "\"" + p.name + "\": " + seen;
    }
    EmitLine("{\"icons\": {" + icons + "}}");
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Command line.

int Usage() {
    EmitLine("{\"error\": \"usage: drive [--timeout s] [--unset name]... <plan> -- <program> [args] | run [--timeout s] "
             "[--unset name]... -- <program> "
             "[args] | product <UpgradeCode> | key <query|create|delete> <subkey> | selftest | sleep <s>\"}");
    return 2;
}

// Parses "[--timeout s] [--unset name]... [<plan>] -- program args"; returns the index of the
// program or 0. --unset takes effect at once: the child inherits this process's environment.
int ParseLaunch(int argc, wchar_t** argv, int first, bool wantPlan, DWORD& timeoutMs, const wchar_t*& plan) {
    int i = first;
    for (;;) {
        if (i + 1 < argc && lstrcmpW(argv[i], L"--timeout") == 0) {
            timeoutMs = static_cast<DWORD>(_wtoi(argv[i + 1])) * 1000;
        } else if (i + 1 < argc && lstrcmpW(argv[i], L"--unset") == 0) {
            SetEnvironmentVariableW(argv[i + 1], nullptr);
        } else {
            break;
        }
        i += 2;
    }
    if (wantPlan) {
        if (i >= argc) return 0;
        plan = argv[i++];
    }
    if (i + 1 >= argc || lstrcmpW(argv[i], L"--") != 0) return 0;
    return i + 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    std::wstring mode = argv[1];
    DWORD timeoutMs = 60000;
    const wchar_t* plan = nullptr;
    if (mode == L"drive" || mode == L"run") {
        int program = ParseLaunch(argc, argv, 2, mode == L"drive", timeoutMs, plan);
        if (!program) return Usage();
        return mode == L"drive" ? Drive(timeoutMs, plan, argc - program, argv + program)
                                : Run(timeoutMs, argc - program, argv + program);
    }
    if (mode == L"selftest" && argc == 2) return SelfTest();
    if (mode == L"sleep" && argc == 3) {
        Sleep(static_cast<DWORD>(_wtoi(argv[2])) * 1000);
        return 0;
    }
    if (mode == L"product" && argc == 3) return Product(argv[2]);
    if (mode == L"key" && argc == 4) return Key(argv[2], argv[3]);
    return Usage();
}

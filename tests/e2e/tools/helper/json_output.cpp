#include "helper.h"

#include <windows.h>

#include <cstdio>

namespace helper {
namespace {

// Cyrillic texts must reach Linux intact: converted here, never through printf's "%ls".
std::string ToUtf8(const std::wstring& w) {
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

}  // namespace

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

}  // namespace helper

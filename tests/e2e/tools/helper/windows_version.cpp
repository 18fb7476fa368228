// The version mode: the Windows version a program of the prefix is told, with its service pack.
#include <windows.h>

#include <string>

#include "helper.h"

namespace helper {

// RtlGetVersion answers with the version itself; GetVersionExW tells a program without a manifest that
// declares Windows 8.1 or 10 that it runs on Windows 8 (6.2).
int WindowsVersion() {
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!rtlGetVersion || rtlGetVersion(&info) != 0) {
        EmitLine("{\"error\": \"RtlGetVersion\"}");
        return 1;
    }
    EmitLine("{\"major\": " + std::to_string(info.dwMajorVersion) + ", \"minor\": " +
             std::to_string(info.dwMinorVersion) + ", \"build\": " + std::to_string(info.dwBuildNumber) +
             ", \"service_pack\": " + std::to_string(info.wServicePackMajor) + ", \"product_type\": " +
             std::to_string(info.wProductType) + "}");
    return 0;
}

}  // namespace helper

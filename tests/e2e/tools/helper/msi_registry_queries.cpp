// The product and key modes: what Windows Installer knows of the test product, and the restart
// marker's key, as the 32-bit bootstrapper sees it.
#include <windows.h>
#include <msi.h>

#include <string>

#include "helper.h"
#include "platform/win32_handles.h"

namespace helper {
namespace {

// The bootstrapper is a 32-bit program: its keys live in the 32-bit registry view.
const REGSAM kView32 = KEY_WOW64_32KEY;

// The test package's feature (tests/e2e/packages/plugin.wxs).
const wchar_t kFeature[] = L"NPZAREL";

std::wstring ProductInfo(const wchar_t* product, const wchar_t* property, UINT& status) {
    wchar_t buf[512];
    DWORD len = 512;
    status = MsiGetProductInfoW(product, property, buf, &len);
    return status == ERROR_SUCCESS ? std::wstring(buf, len) : std::wstring();
}

// The value as a JSON string, or null when it could not be read.
std::string JsonOrNull(const std::wstring& value, UINT status) {
    return status == ERROR_SUCCESS ? JsonString(value) : std::string("null");
}

}  // namespace

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
    s += ", \"version\": " + JsonOrNull(version, versionStatus);
    s += ", \"name\": " + JsonOrNull(name, nameStatus);
    s += ", \"package_name\": " + JsonOrNull(packageName, packageStatus);
    s += ", \"feature_npzarel\": " + std::to_string(MsiQueryFeatureStateW(product, kFeature));
    EmitLine(s + "}");
    return 0;
}

int Key(const wchar_t* op, const wchar_t* subkey) {
    LONG status;
    if (lstrcmpW(op, L"query") == 0) {
        platform::RegistryKey key;
        status = RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_READ | kView32, key.Receive());
        EmitLine(std::string("{\"exists\": ") + JsonBool(status == ERROR_SUCCESS) + "}");
        return 0;
    }
    if (lstrcmpW(op, L"create") == 0) {
        platform::RegistryKey key;
        status = RegCreateKeyExW(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, KEY_ALL_ACCESS | kView32, nullptr,
                                 key.Receive(), nullptr);
    } else if (lstrcmpW(op, L"delete") == 0) {
        status = RegDeleteKeyExW(HKEY_CURRENT_USER, subkey, kView32, 0);
    } else {
        status = ERROR_INVALID_PARAMETER;
    }
    EmitLine("{\"status\": " + std::to_string(status) + "}");
    return status == ERROR_SUCCESS ? 0 : 1;
}

}  // namespace helper

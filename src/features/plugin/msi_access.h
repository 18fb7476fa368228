// Reading package properties and installed-product facts through Windows Installer. Nothing here
// shows a message: every failure is returned as its Windows Installer code for the caller to report.
#pragma once

#include <cstdint>
#include <string>

#include "platform/msi_api.h"

// The Windows Installer handle of one opened package. A local of the operation that opens the
// package, closed by Close() as soon as it has read what it needs, and at the latest when it ends.
class MsiHandle {
public:
    MsiHandle() = default;
    ~MsiHandle() { Close(); }
    MsiHandle(const MsiHandle&) = delete;
    MsiHandle& operator=(const MsiHandle&) = delete;

    // Closes the package if it is open; a second call closes nothing.
    void Close();

    platform::MsiHandleValue package = 0;  // 0: not open
};

// Opens a package file only to read its properties, whatever is installed on the machine.
uint32_t OpenPackage(const std::wstring& path, MsiHandle& holder);

// Reads one property of the opened package. On failure `value` is unchanged when the size probe
// failed, and holds whatever the read left when the read failed.
uint32_t ReadMsiProperty(const MsiHandle& holder, const wchar_t* name, std::wstring& value);

enum class ProductInfoStage { None, SizeProbe, Read };

// Reads one item of an installed product's information; `failedStage` tells which call failed.
uint32_t ReadProductInfo(const std::wstring& productCode, const wchar_t* name, std::wstring& value,
                         ProductInfoStage& failedStage);

// The product code of the first installed product related to `upgradeCode`. On failure (259 when
// none is installed) `productCode` keeps its earlier text.
uint32_t FindFirstRelatedProduct(const std::wstring& upgradeCode, std::wstring& productCode);

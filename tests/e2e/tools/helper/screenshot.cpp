#include "helper.h"

#include "gdi_holders.h"
#include "platform/win32_handles.h"

namespace helper {
namespace {

bool WriteAll(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

}  // namespace

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
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + pixelBytes;
    const platform::KernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Get() != INVALID_HANDLE_VALUE && WriteAll(file.Get(), &header, sizeof header) &&
           WriteAll(file.Get(), &info, sizeof info) && WriteAll(file.Get(), canvas.bits(), pixelBytes);
}

}  // namespace helper

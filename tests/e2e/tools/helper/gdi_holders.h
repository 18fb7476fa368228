// RAII holders for the GDI resources the helper reads the screen with. The product draws nothing,
// so src/platform/win32_handles.h (whose KernelHandle and RegistryKey the helper uses for every
// other handle) has no holder for a device context or a bitmap: these two are the helper's own.
#pragma once

#include <windows.h>

namespace helper {

// The whole screen's device context, released with ReleaseDC.
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

}  // namespace helper

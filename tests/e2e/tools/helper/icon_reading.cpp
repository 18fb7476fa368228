#include "helper.h"

#include "gdi_holders.h"

namespace helper {
namespace {

// How often an icon not yet painted is looked at again.
const DWORD kRepaintLookMs = 100;

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

}  // namespace

std::string IconKind(HWND box, const Deadline& deadline) {
    HWND icon = MessageIconControl(box);
    DWORD_PTR shown = 0;
    if (icon && IsWindowVisible(icon))
        SendMessageTimeoutW(icon, STM_GETICON, 0, 0, SMTO_NORMAL, deadline.LeftMs(), &shown);
    const char* kind = shown ? IconByPixels(icon) : "none";
    // A box that is still being painted reads as "unknown" until its icon reaches the screen.
    while (lstrcmpA(kind, "unknown") == 0 && IsWindow(box) && !deadline.Passed()) {
        Sleep(kRepaintLookMs);
        kind = IconByPixels(icon);
    }
    return std::string("\"") + kind + "\"";
}

}  // namespace helper

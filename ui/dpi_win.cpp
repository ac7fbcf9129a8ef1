// The screen's DPI, and the one conversion of the toolkit's layouts to it.
#include "ui/toolkit_internal_win.h"

#include <climits>
#include <cstdint>

#include "base/gdi_win.h"

namespace {

// The DPI every layout of the toolkit is written for, and what a display
// without a device context is taken to have.
constexpr int UI_LAYOUT_DPI = 96;

int g_dpi = 0; // read on first use; 0 until then

// user32's per-thread DPI awareness, Windows 10 1607 and later.
using SetThreadAwareness = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
using WindowAwareness = DPI_AWARENESS_CONTEXT(WINAPI*)(HWND);
struct AwarenessCalls {
    SetThreadAwareness setThread = nullptr;
    WindowAwareness ofWindow = nullptr;
};

// Looked up on first use (user32 is loaded: the DLL imports it), never
// from DllMain.
const AwarenessCalls& awarenessCalls() {
    static const AwarenessCalls calls = [] {
        AwarenessCalls found;
        if (const HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
            found.setThread = reinterpret_cast<SetThreadAwareness>(reinterpret_cast<void (*)()>(
                GetProcAddress(user32, "SetThreadDpiAwarenessContext")));
            found.ofWindow = reinterpret_cast<WindowAwareness>(reinterpret_cast<void (*)()>(
                GetProcAddress(user32, "GetWindowDpiAwarenessContext")));
        }
        return found;
    }();
    return calls;
}

// A coordinate laid out at 96 dpi, in the screen's pixels.
int scaled(int value) {
    return MulDiv(value, ui::screenDpi(), UI_LAYOUT_DPI);
}

// The far edge of a span, kept inside int for spans no layout has.
int farEdge(int start, int length) {
    const int64_t edge = int64_t(start) + length;
    return static_cast<int>(edge > INT_MAX ? INT_MAX : edge < INT_MIN ? INT_MIN : edge);
}

} // namespace

int ui::screenDpi() {
    if (!g_dpi) {
        const ScreenDC screen;
        const int read = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
        g_dpi = read > 0 ? read : UI_LAYOUT_DPI;
    }
    return g_dpi;
}

ui::Place ui::scaledPlace(const Place& place) {
    if (screenDpi() == UI_LAYOUT_DPI) {
        return place;
    }
    // Both edges are scaled and the size is what lies between them, so
    // controls that do not overlap at 96 dpi do not overlap at any DPI.
    const int left = scaled(place.x), top = scaled(place.y);
    return Place{left, top, scaled(farEdge(place.x, place.width)) - left,
                 scaled(farEdge(place.y, place.height)) - top};
}

void ui::forgetScreenDpi() {
    g_dpi = 0;
}

ui::WindowDpiAwareness::WindowDpiAwareness(HWND window) {
    const AwarenessCalls& calls = awarenessCalls();
    if (calls.setThread && calls.ofWindow) {
        if (const DPI_AWARENESS_CONTEXT windows = calls.ofWindow(window)) {
            callers_ = calls.setThread(windows);
        }
    }
}

ui::WindowDpiAwareness::~WindowDpiAwareness() {
    if (callers_) {
        awarenessCalls().setThread(callers_);
    }
}

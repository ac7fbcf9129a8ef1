// Start-up and shut-down of the toolkit, and what it shares among all its
// windows: the module, the class icon and the controls' message font.
#include "ui/toolkit_internal_win.h"

#include <commctrl.h>

#include <cstddef>
#include <cstring>
#include <cwchar>

#include "base/gdi_win.h"
#include "base/no_destroy.h"
#include "base/owners_win.h"

namespace {

// The icon resource of the module that becomes every window's class icon.
constexpr WORD UI_ICON_RESOURCE = 1;

// The common control classes registered at start-up.
constexpr DWORD UI_COMMON_CONTROLS = ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES |
                                     ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES;
static_assert(UI_COMMON_CONTROLS == 0xB48, "the classes the toolkit has always registered");

// The size of NONCLIENTMETRICSW without the padded border width that later
// Windows versions appended: the form every version understands.
constexpr UINT UI_METRICS_SIZE = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
static_assert(UI_METRICS_SIZE == 500, "the structure's oldest layout");

HINSTANCE g_module = nullptr; // not owned: whose icon and classes the toolkit uses
NoDestroy<Icon> g_icon;       // the class icon of every toolkit window
// The controls' message font; empty while the stock font stands in for it.
NoDestroy<GdiObject<HFONT>> g_font;
LOGFONTW g_fontMadeFrom{};     // the message font g_font was made from
bool g_commonControls = false; // InitCommonControlsEx called

} // namespace

void ui::startup(HINSTANCE module) {
    g_module = module;
}

void ui::startCommonControls() {
    if (!g_commonControls) {
        INITCOMMONCONTROLSEX icc{sizeof(icc), UI_COMMON_CONTROLS};
        InitCommonControlsEx(&icc);
        g_commonControls = true;
    }
}

void ui::shutdown() {
    closeAllWindows();
    destroyAllControls();
    forgetStaleClasses();
    g_icon.destroy();
    g_font.destroy();
    g_commonControls = false;
    forgetScreenDpi();
    g_module = nullptr;
    freeEventQueues();
}

HINSTANCE ui::module() {
    return g_module ? g_module : GetModuleHandleW(nullptr);
}

HICON ui::defaultIcon() {
    if (!*g_icon) {
        g_icon->reset(static_cast<HICON>(LoadImageW(module(), MAKEINTRESOURCEW(UI_ICON_RESOURCE),
                                                    IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
    }
    return g_icon->get();
}

namespace {

bool readMessageFont(LOGFONTW* font) {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = UI_METRICS_SIZE;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, ncm.cbSize, &ncm, 0)) {
        return false;
    }
    *font = ncm.lfMessageFont;
    return true;
}

// The same font: every field alike, and the face up to its end (what lies
// past the face's terminator is whatever the system left there).
bool sameFont(const LOGFONTW& a, const LOGFONTW& b) {
    return std::memcmp(&a, &b, offsetof(LOGFONTW, lfFaceName)) == 0 &&
           std::wcsncmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
}

} // namespace

HFONT ui::controlFont() {
    if (!*g_font && readMessageFont(&g_fontMadeFrom)) {
        g_font->reset(CreateFontIndirectW(&g_fontMadeFrom));
    }
    // A stock object belongs to the system: it is handed out, never owned.
    return *g_font ? g_font->get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void ui::refreshControlFont() {
    LOGFONTW now{};
    if (!*g_font || !readMessageFont(&now) || sameFont(now, g_fontMadeFrom)) {
        return;
    }
    GdiObject<HFONT> fresh(CreateFontIndirectW(&now));
    if (!fresh) {
        return; // the old one serves on
    }
    // The controls still holding the old font (canvases' pictures) take the
    // new one before the old is deleted. This thread's only: another's would
    // have to answer, and cannot while this one waits.
    const HFONT old = g_font->get();
    controlTable().findIf([&](const ControlRecord& control) {
        if (GetWindowThreadProcessId(control.handle, nullptr) == GetCurrentThreadId() &&
            reinterpret_cast<HFONT>(SendMessageW(control.handle, WM_GETFONT, 0, 0)) == old) {
            SendMessageW(control.handle, WM_SETFONT, reinterpret_cast<WPARAM>(fresh.get()), FALSE);
        }
        return false;
    });
    g_font->reset(fresh.release());
    g_fontMadeFrom = now;
}

// The window table: numbered top-level windows, the current container, and
// the way back from an HWND to its number.
#include "ui/toolkit_internal_win.h"

#include <iterator>
#include <new>

#include "base/no_destroy.h"
#include "base/text_win.h"
#include "ui/centring.h"

namespace {

//--- Table

// The window number on the HWND, plus one so that window 0 is told apart
// from a window without a number.
const wchar_t* const UI_PROP_NUMBER = L"canvas.ui.number";

void releaseWindowNumber(int number);

NoDestroy<ObjectTable<ui::WindowRecord>> g_windows{
    [] { return ObjectTable<ui::WindowRecord>(ui::UI_TABLE_GROWTH, &releaseWindowNumber); }};
int g_container = UI_ANY; // number of the current container, UI_ANY for none

bool numberOnWindow(HWND hwnd, int* number) {
    const uintptr_t stored = reinterpret_cast<uintptr_t>(GetPropW(hwnd, UI_PROP_NUMBER));
    if (stored == 0) {
        return false;
    }
    *number = static_cast<int>(static_cast<uint32_t>(stored - 1));
    return true;
}

// Forgets a window whose HWND is gone (or being destroyed); its accelerator
// table goes with the record.
void forgetWindow(int number) {
    ui::WindowRecord* rec = g_windows->find(number);
    if (!rec) {
        return;
    }
    ui::eventQueue().dropWindow(number);
    ui::retireWindowClass(rec->className);
    if (g_container == number) {
        g_container = UI_ANY;
    }
    g_windows->remove(number);
}

void closeWindow(int number) {
    ui::WindowRecord* rec = g_windows->find(number);
    if (!rec) {
        return;
    }
    HWND hwnd = rec->handle;
    HWND owner = GetWindow(hwnd, GW_OWNER);
    if (owner) {
        SetActiveWindow(owner);
    }
    // DestroyWindow fails for a window of another thread: it stays, without
    // the toolkit's code, and the record goes anyway.
    if (!DestroyWindow(hwnd) && IsWindow(hwnd)) {
        ui::abandonWindow(hwnd);
    }
    rec = g_windows->find(number);
    if (rec && rec->handle == hwnd) {
        forgetWindow(number);
    }
    ui::flushStaleClasses();
}

void releaseWindowNumber(int number) {
    closeWindow(number);
}

//--- Opening

// The top-left corner of the owner's monitor (the nearest one when the
// owner is on none): a centred window never goes left of or above it. The
// whole monitor rather than its work area, whose corner on the primary
// monitor moves with a task bar at the left or top, where the clamp has
// always been 0.
ui::ScreenPoint monitorCorner(HWND owner) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST);
    if (!monitor || !GetMonitorInfoW(monitor, &info)) {
        return ui::ScreenPoint{0, 0};
    }
    return ui::ScreenPoint{info.rcMonitor.left, info.rcMonitor.top};
}

ui::ScreenRect screenRect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return ui::ScreenRect{r.left, r.top, r.right, r.bottom};
}

// Moves the window to the centre of its owner, both taken with their
// frames, kept on the owner's monitor.
void centreOnOwner(HWND hwnd, HWND owner) {
    const ui::ScreenPoint at =
        ui::centredOnOwner(screenRect(owner), screenRect(hwnd), monitorCorner(owner));
    SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Tab and Shift+Tab, as commands of the window's accelerator table.
AcceleratorTable focusKeys() {
    ACCEL keys[] = {
        {FVIRTKEY | FNOINVERT, VK_TAB, UI_COMMAND_NEXT_FOCUS},
        {FVIRTKEY | FSHIFT | FNOINVERT, VK_TAB, UI_COMMAND_PREVIOUS_FOCUS},
    };
    return AcceleratorTable(CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys))));
}

} // namespace

//--- Toolkit windows

intptr_t UiOpenWindow(int number, int x, int y, int width, int height, const Text& title,
                      uint32_t flags, HWND owner) {
    int assigned = 0;
    ui::WindowRecord* rec = nullptr;
    try {
        rec = g_windows->allocate(number, &assigned);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (!rec) {
        return 0;
    }
    ui::startCommonControls();
    if (!(flags & UI_KEEP_PIXELS)) {
        ui::refreshControlFont(); // a dialog's texts in the message font of now
    }
    std::wstring name;
    try {
        name = ui::registerWindowClass(assigned);
    } catch (const std::bad_alloc&) {
    }
    if (name.empty()) {
        g_windows->remove(assigned);
        return 0;
    }

    DWORD style = flags & ~UI_OPTION_BITS;
    if (style == 0) {
        style = WS_CAPTION;
    }
    const bool keepPixels = (flags & UI_KEEP_PIXELS) != 0;
    const ui::Place requested{x, y, width, height};
    const ui::Place place = keepPixels ? requested : ui::scaledPlace(requested);
    const DWORD exStyle = 0;
    RECT outer{0, 0, place.width, place.height};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    HWND hwnd =
        CreateWindowExW(exStyle, name.c_str(), wstr(title), style, place.x, place.y,
                        outer.right - outer.left, outer.bottom - outer.top, owner, nullptr,
                        ui::module(), reinterpret_cast<void*>(static_cast<intptr_t>(assigned)));
    if (!hwnd) {
        ui::unregisterWindowClass(name);
        g_windows->remove(assigned);
        return 0;
    }
    rec->handle = hwnd;
    rec->className = std::move(name);
    rec->keepPixels = keepPixels;
    rec->client = SIZE{place.width, place.height};

    // Fitted once made, and again once centred: moved onto a monitor of
    // another DPI, a per-monitor-aware window's frame changes.
    ui::fitClientArea(hwnd, *rec);
    if ((flags & UI_CENTRE_OWNER) && owner) {
        centreOnOwner(hwnd, owner);
        if ((rec = g_windows->find(assigned)) == nullptr || rec->handle != hwnd) {
            return 0; // moving ran window procedures
        }
        ui::fitClientArea(hwnd, *rec);
    }
    if (!(flags & UI_OPEN_HIDDEN)) {
        ShowWindow(hwnd, SW_SHOWNORMAL);
    }
    rec = g_windows->find(assigned); // showing ran window procedures; look again
    if (!rec || rec->handle != hwnd) {
        return 0;
    }
    rec->accelerators = focusKeys();
    g_container = assigned;
    return number == UI_ANY ? assigned : reinterpret_cast<intptr_t>(hwnd);
}

void UiCloseWindow(int number) {
    closeWindow(number);
}

int UiIsWindow(int number) {
    return g_windows->find(number) ? 1 : 0;
}

HWND UiWindowHandle(int number) {
    ui::WindowRecord* rec = g_windows->find(number);
    return rec ? rec->handle : nullptr;
}

bool UiSetParent(int number, HWND parent) {
    HWND hwnd = UiWindowHandle(number);
    if (!hwnd) {
        return false;
    }
    const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>((style & ~WS_POPUP) | WS_CHILD));
    ui::keepLeftToRight(hwnd);
    return SetParent(hwnd, parent) != nullptr;
}

void ui::fitClientArea(HWND hwnd, const WindowRecord& rec) {
    RECT frame{}, client{};
    if (!GetWindowRect(hwnd, &frame) || !GetClientRect(hwnd, &client)) {
        return;
    }
    const int width = rec.client.cx + (frame.right - frame.left) - client.right;
    const int height = rec.client.cy + (frame.bottom - frame.top) - client.bottom;
    if (width != frame.right - frame.left || height != frame.bottom - frame.top) {
        SetWindowPos(hwnd, nullptr, 0, 0, width, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void ui::keepLeftToRight(HWND hwnd) {
    const LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    if (exStyle & WS_EX_LAYOUTRTL) {
        SetWindowLongW(hwnd, GWL_EXSTYLE, exStyle & ~WS_EX_LAYOUTRTL);
    }
}

HWND ui::containerHandle() {
    return UiWindowHandle(g_container);
}

HWND ui::toolkitWindowOf(HWND hwnd) {
    const HWND desktop = GetDesktopWindow();
    for (HWND h = hwnd; h && h != desktop; h = GetAncestor(h, GA_PARENT)) {
        if (windowRecordOf(h, nullptr)) {
            return h;
        }
    }
    return nullptr;
}

bool ui::windowNumberOf(HWND hwnd, int* number) {
    return windowRecordOf(toolkitWindowOf(hwnd), number) != nullptr;
}

//--- Shared with the toolkit's other files

ui::WindowRecord* ui::windowRecordOf(HWND hwnd, int* number) {
    int n = 0;
    if (!hwnd || !numberOnWindow(hwnd, &n)) {
        return nullptr;
    }
    WindowRecord* rec = g_windows->find(n);
    if (!rec || rec->handle != hwnd) {
        return nullptr;
    }
    if (number) {
        *number = n;
    }
    return rec;
}

void ui::numberNewWindow(HWND hwnd, const CREATESTRUCTW& create) {
    const auto n = static_cast<uint32_t>(reinterpret_cast<intptr_t>(create.lpCreateParams));
    SetPropW(hwnd, UI_PROP_NUMBER, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(n) + 1));
}

void ui::forgetDestroyedWindow(HWND hwnd) {
    int number = 0;
    if (windowRecordOf(hwnd, &number)) {
        forgetWindow(number);
    }
    RemovePropW(hwnd, UI_PROP_NUMBER);
}

int ui::containerNumber() {
    return g_container;
}

void ui::abandonWindow(HWND hwnd) {
    const auto none = reinterpret_cast<LONG_PTR>(&DefWindowProcW);
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, none);
    SetClassLongPtrW(hwnd, GCLP_WNDPROC, none);
    RemovePropW(hwnd, UI_PROP_NUMBER);
}

void ui::closeAllWindows() {
    g_windows->releaseAll();
    g_windows.destroy();
    g_container = UI_ANY;
}

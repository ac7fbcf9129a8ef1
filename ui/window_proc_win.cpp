// The procedure of every toolkit window: control notifications and the
// close box become events, Tab and Shift+Tab move the focus, and the focused
// control is remembered across deactivation.
#include "ui/toolkit_internal_win.h"

#include <vector>

#include "base/boundary.h"

namespace {

// Tab and Shift+Tab: the enabled, visible tab stops among the window's
// children, in creation order, wrapping at either end. With keyboard cues
// off (Windows' default) a window hides its focus rectangle until a key
// moves the focus: the key clears that state first, as the dialog manager
// does, so the control the focus lands on shows it.
void moveFocus(HWND hwnd, bool forward) {
    std::vector<HWND> stops;
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if ((GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP) && IsWindowEnabled(c) &&
            IsWindowVisible(c)) {
            stops.push_back(c);
        }
    }
    if (stops.empty()) {
        return;
    }
    const HWND focus = GetFocus();
    const size_t n = stops.size();
    size_t next = forward ? 0 : n - 1;
    for (size_t i = 0; i < n; ++i) {
        if (focus && (stops[i] == focus || IsChild(stops[i], focus))) {
            next = forward ? (i + 1) % n : (i + n - 1) % n;
            break;
        }
    }
    SendMessageW(GetAncestor(hwnd, GA_ROOT), WM_CHANGEUISTATE,
                 MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    SetFocus(stops[next]);
}

void onCommand(HWND hwnd, int window, WPARAM wp, LPARAM lp) {
    if (lp) {
        // The number comes from the sender itself: LOWORD(wp) keeps only 16
        // bits, and a generated number such as 0x10000004 would read as 4.
        int control = 0;
        if (ui::controlRecordOf(reinterpret_cast<HWND>(lp), &control)) {
            ui::postEvent(UiEvent{UI_EVENT_CONTROL, control, window, HIWORD(wp)});
        }
        return;
    }
    if (LOWORD(wp) == UI_COMMAND_NEXT_FOCUS || LOWORD(wp) == UI_COMMAND_PREVIOUS_FOCUS) {
        moveFocus(hwnd, LOWORD(wp) == UI_COMMAND_NEXT_FOCUS);
    }
}

// Remembers the focused control on deactivation and gives it the focus
// back on reactivation; true when the focus was restored.
bool onActivate(HWND hwnd, WPARAM wp) {
    ui::WindowRecord* rec = ui::windowRecordOf(hwnd, nullptr);
    if (!rec) {
        return false;
    }
    if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd, focus)) {
            rec->lastFocus = focus;
        }
        return false;
    }
    const bool minimized = HIWORD(wp) != 0;
    if (!minimized && rec->lastFocus && IsChild(hwnd, rec->lastFocus)) {
        SetFocus(rec->lastFocus);
        return true;
    }
    return false;
}

LRESULT handleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    int number = 0;
    switch (msg) {
    case WM_NCCREATE:
        ui::numberNewWindow(hwnd, *reinterpret_cast<const CREATESTRUCTW*>(lp));
        break;
    case WM_COMMAND:
        if (ui::windowRecordOf(hwnd, &number)) {
            onCommand(hwnd, number, wp, lp);
        }
        return 0;
    case WM_CLOSE:
        // The window stays: the loop that owns it decides, by UiCloseWindow.
        if (ui::windowRecordOf(hwnd, &number)) {
            ui::postEvent(UiEvent{UI_EVENT_CLOSE, 0, number, 0});
        }
        return 0;
    case WM_ACTIVATE:
        if (onActivate(hwnd, wp)) {
            return 0;
        }
        break;
    case WM_DPICHANGED:
        // Moved to a monitor of another DPI (a per-monitor-aware host): the
        // place Windows suggests, and a frame for that monitor around the
        // same client area, since the controls keep the system DPI.
        if (const ui::WindowRecord* rec = ui::windowRecordOf(hwnd, nullptr)) {
            const RECT& suggested = *reinterpret_cast<const RECT*>(lp);
            SetWindowPos(hwnd, nullptr, suggested.left, suggested.top,
                         suggested.right - suggested.left, suggested.bottom - suggested.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            if ((rec = ui::windowRecordOf(hwnd, nullptr)) != nullptr) {
                ui::fitClientArea(hwnd, *rec);
            }
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        // A window that keeps its pixels (a canvas) is covered by its
        // picture, which paints every pixel: its class brush would only
        // show between the host's erase and the picture's paint.
        if (const ui::WindowRecord* rec = ui::windowRecordOf(hwnd, nullptr);
            rec && rec->keepPixels) {
            return 1;
        }
        break;
    case WM_NCDESTROY:
        ui::forgetDestroyedWindow(hwnd);
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace

// A message that fails half-way (memory ran out) gets the default handling,
// except the close box: the window stays whatever happens, for its loop to
// close.
LRESULT CALLBACK ui::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return atBoundary([&] { return handleMessage(hwnd, msg, wp, lp); },
                      [&] { return msg == WM_CLOSE ? 0 : DefWindowProcW(hwnd, msg, wp, lp); });
}

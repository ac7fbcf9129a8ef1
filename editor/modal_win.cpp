#include "editor/modal_win.h"

#include "base/boundary.h"
#include "editor/dialogs.h"
#include "ui/toolkit_win.h"

namespace editor {

namespace {

// Posted by the watch timer so that a loop blocked in UiWaitEvent looks at
// its window again; no window procedure posts this code.
constexpr int32_t EVENT_WATCH = 0x7E57;
constexpr UINT WATCH_INTERVAL_MS = 250;

HWND g_watched = nullptr; // not owned: the window of the loop now running

// Window 0 goes without an event when its owner, a host window, is
// destroyed (owned windows go with their owner). Nothing would ever wake
// the loop then, and the host would wait in its call for good.
void CALLBACK watchWindow(HWND, UINT, UINT_PTR, DWORD) {
    atBoundary(
        [] {
            if (g_watched && UiWindowHandle(DIALOG_WINDOW) != g_watched) {
                ui::postEvent(UiEvent{EVENT_WATCH, 0, DIALOG_WINDOW, 0}, true);
            }
        },
        [] {}); // the next tick looks again
}

bool quitWaiting() {
    MSG msg;
    return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != 0;
}

} // namespace

bool dialogOpen() {
    return UiIsWindow(DIALOG_WINDOW) != 0;
}

bool openDialog(const Text& title, int width, int height) {
    const HWND active = GetActiveWindow();
    if (active) {
        SendMessageW(active, WM_CANCELMODE, 0, 0);
    }
    if (GetCapture()) {
        ReleaseCapture();
    }
    ui::WindowArgs window;
    window.number = DIALOG_WINDOW;
    window.place = ui::Place{0, 0, width, height};
    window.title = title;
    window.flags = UI_FLAGS_DIALOG;
    window.owner = GetActiveWindow(); // read again: the host may have moved it
    return ui::openWindow(window) != 0;
}

ModalLoop::ModalLoop() : window_(UiWindowHandle(DIALOG_WINDOW)) {
    g_watched = window_;
    timer_ = SetTimer(nullptr, 0, WATCH_INTERVAL_MS, &watchWindow);
}

ModalLoop::~ModalLoop() {
    if (timer_) {
        KillTimer(nullptr, timer_);
    }
    g_watched = nullptr;
}

bool ModalLoop::windowGone() const {
    return !window_ || UiWindowHandle(DIALOG_WINDOW) != window_;
}

int ModalLoop::next() {
    while (!ended_) {
        if (windowGone()) {
            break;
        }
        const int code = UiWaitEvent();
        if (windowGone()) {
            break;
        }
        // Only window 0's own events count: a canvas window's click that
        // nobody read must not press a button of the dialog.
        const bool ours = UiEventWindow() == DIALOG_WINDOW;
        if (code == UI_EVENT_CONTROL && ours) {
            return UiEventControl();
        }
        // UiWaitEvent hands a quit back to the thread and reports it as the
        // close of the newest toolkit window, which may be a canvas opened
        // meanwhile: a quit still waiting ends the dialog all the same.
        if (code == UI_EVENT_CLOSE && (ours || quitWaiting())) {
            break;
        }
    }
    ended_ = true;
    return ENDED;
}

} // namespace editor

#include "tests/win/support/ui_driver.h"

#include <gtest/gtest.h>

void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool takeQuit(WPARAM* exitCode) {
    MSG msg{};
    if (!PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        return false;
    }
    if (exitCode) {
        *exitCode = msg.wParam;
    }
    return true;
}

std::vector<UiEvent> takeEvents() {
    std::vector<UiEvent> out;
    UiEvent e;
    while (ui::eventQueue().take(&e)) {
        out.push_back(e);
    }
    return out;
}

static void CALLBACK watchdog(HWND, UINT, UINT_PTR, DWORD) {
    ui::postEvent(UiEvent{WATCHDOG_EVENT, 0, 0, 0}, true);
}

int waitEvent() {
    const UINT_PTR timer = SetTimer(nullptr, 0, 10000, &watchdog);
    const int code = UiWaitEvent();
    KillTimer(nullptr, timer);
    return code;
}

static UserScript* g_script = nullptr;

static void CALLBACK userTick(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_script || g_script->busy) {
        return;
    }
    HWND window = FindWindowW(nullptr, g_script->title.c_str());
    if (!window) {
        // A loop that outlives its window would hold the test for good; a
        // quit is the one thing left that may still end it.
        if (g_script->ticks > 0 && ++g_script->missing == 250 && !g_script->rescued) {
            g_script->rescued = true;
            PostQuitMessage(0);
        }
        return;
    }
    const size_t step = g_script->ticks++;
    g_script->busy = true;
    if (step < g_script->steps.size()) {
        g_script->steps[step](window);
    } else if (step > g_script->steps.size() + 50) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    g_script->busy = false;
}

int runDialog(UserScript& script, const std::function<int()>& call) {
    g_script = &script;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &userTick);
    const int result = call();
    KillTimer(nullptr, timer);
    g_script = nullptr;
    if (script.rescued) {
        takeQuit();
        ADD_FAILURE() << "the dialog's window went but its call went on waiting";
    }
    return result;
}

Step post(UINT msg, WPARAM wp, LPARAM lp) {
    return [=](HWND window) { PostMessageW(window, msg, wp, lp); };
}

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void PrintTo(const RECT& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

void PrintTo(const UiEvent& e, std::ostream* os) {
    *os << std::hex << "{code 0x" << e.code << ", control 0x" << e.control << ", window 0x"
        << e.window << std::dec << ", subtype " << e.subtype << "}";
}

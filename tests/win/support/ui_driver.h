// Drives toolkit windows the way the host's user would, on the test's own
// thread: posted input, the real window procedures, the real event queue.
#pragma once

#include <windows.h>

#include <ostream>
#include <vector>

#include "ui/toolkit_win.h"

// Returned by waitEvent when nothing arrived: a test that waits on an event
// that never comes fails instead of hanging.
constexpr int32_t WATCHDOG_EVENT = 0x7A7A;

// Dispatches every message already waiting (no accelerators).
void pumpMessages();
// Takes every event out of this thread's queue, oldest first.
std::vector<UiEvent> takeEvents();
// UiWaitEvent, with a 10 s watchdog that posts WATCHDOG_EVENT.
int waitEvent();

// A plain top-level window standing for one of the host's, destroyed with
// its owner object.
class HostWindow {
  public:
    HostWindow(int x, int y, int w, int h, DWORD style = WS_POPUP | WS_VISIBLE,
               HWND parent = nullptr);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND get() const { return hwnd_; }
    void destroy();
    // Messages of the WM_USER range that reached its procedure.
    static int userMessages;

  private:
    HWND hwnd_ = nullptr;
};

bool operator==(const RECT& a, const RECT& b);
void PrintTo(const RECT& r, std::ostream* os);
void PrintTo(const UiEvent& e, std::ostream* os);

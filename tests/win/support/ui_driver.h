// Drives toolkit windows the way the host's user would, on the test's own
// thread: posted input, the real window procedures, the real event queue.
#pragma once

#include <windows.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "ui/toolkit_win.h"

// Returned by waitEvent when nothing arrived: a test that waits on an event
// that never comes fails instead of hanging.
constexpr int32_t WATCHDOG_EVENT = 0x7A7A;

// Dispatches every message already waiting (no accelerators).
void pumpMessages();
// Takes this thread's waiting quit message and its exit code; false if none.
bool takeQuit(WPARAM* exitCode = nullptr);
// Takes every event out of this thread's queue, oldest first.
std::vector<UiEvent> takeEvents();
// UiWaitEvent, with a 10 s watchdog that posts WATCHDOG_EVENT.
int waitEvent();

// The user in front of a modal window: what to do at one moment.
using Step = std::function<void(HWND window)>;

struct UserScript {
    std::wstring title; // of the window the steps are played on
    std::vector<Step> steps;
    size_t ticks = 0;   // moments the window was there: steps played, and after
    bool busy = false;  // a step is running (it may run a loop of its own)
    size_t waiting = 0; // ticks the call went on without the window, or with it past its closing
    const char* stuck = nullptr; // why the call had to be ended with a quit
};

// Runs `call`, which opens the window titled `script.title` and runs its own
// loop; a 20 ms thread timer serviced by that loop finds the window and plays
// one step per tick. Returns what the call returned. A window left open after
// the last step is sent WM_CLOSE a second later; a call still waiting some
// seconds after that, or without its window, is ended with a quit and fails
// the test, in seconds, instead of hanging.
int runDialog(UserScript& script, const std::function<int()>& call);

// Bounds a call whose modal windows someone else closes (the reference
// host's own watch): a call still running after `seconds` is ended with a
// quit, which ends every modal loop, and fails the test. One at a time.
class ModalGuard {
  public:
    explicit ModalGuard(UINT seconds = 10);
    ~ModalGuard();
    ModalGuard(const ModalGuard&) = delete;
    ModalGuard& operator=(const ModalGuard&) = delete;

  private:
    UINT seconds_;
    UINT_PTR timer_;
};

// Registers a program-wide set-up: `start` before the program's first test,
// `stop` after its last. Returns true, to initialise a namespace constant.
bool aroundAllTests(void (*start)(), void (*stop)());
// Runs the program's tests under a watch (gdi_spy.cpp) for GDI objects deleted while
// selected into a device context that this program or a .nbp it loads holds, and fails the
// run if it saw one. Register it before the program's other set-ups, so that it checks
// after their teardown.
bool watchGdiAroundAllTests();
// The toolkit started on this program's module, as attach starts it.
void startToolkit();

// Toolkit windows a test opens: each closed when the test ends (or at
// closeAll), then the messages and events they left taken.
class TestWindows {
  public:
    TestWindows() = default;
    ~TestWindows() { closeAll(); }
    TestWindows(const TestWindows&) = delete;
    TestWindows& operator=(const TestWindows&) = delete;
    // A window of a generated number at the screen's corner, w x h, without
    // a caption (a canvas's) unless `flags` says otherwise.
    int open(uint32_t flags = UI_FLAGS_CANVAS, int w = 120, int h = 80);
    // Such a canvas with two events of it waiting in the queue, for a test
    // that then runs another window: a click on a new button of it that
    // nobody reads, and its own close.
    int openWithWaitingEvents();
    void closeAll();

  private:
    std::vector<int> opened_;
};

// A step that posts a message to the window.
Step post(UINT msg, WPARAM wp = 0, LPARAM lp = 0);

// Shift held down, or not, in this thread's keyboard state, as the toolkit's
// and the Edit control's keyboard handling read it.
void holdShift(bool down);
// Tab, with Shift held or not (and left so), posted to the focused window,
// or to `window` when nothing has the focus.
void pressTab(HWND window, bool shift);

// A window's rectangle on the screen; its client area; a child's rectangle
// in its parent's client coordinates.
RECT windowRect(HWND window);
RECT clientRect(HWND window);
RECT rectIn(HWND child, HWND parent);
// Where a window is and whose it is, read while it is up.
struct Placement {
    RECT frame{}, client{};
    HWND owner = nullptr;
};
Placement placementOf(HWND window);
// Where a window the size of `frame` lies centred over `owner`'s window
// rectangle (halves truncated toward zero, as dialogs are placed).
RECT centredOver(HWND owner, const RECT& frame);
// A window's children in z-order, its class name, its text.
std::vector<HWND> childWindows(HWND parent);
std::wstring windowClass(HWND window);
std::wstring windowText(HWND window);

// What is wrong with a window's controls on this screen: a label's or a
// button's text that does not fit its control on one line (a button's
// inside its raised edges), an edit field lower than a line of its text, a
// control reaching out of the client area, two controls that overlap.
std::vector<std::string> layoutFaults(HWND window);

bool operator==(const RECT& a, const RECT& b);
void PrintTo(const RECT& r, std::ostream* os);
void PrintTo(const UiEvent& e, std::ostream* os);

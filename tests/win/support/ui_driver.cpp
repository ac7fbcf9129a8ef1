#include "tests/win/support/ui_driver.h"

#include <gtest/gtest.h>

#include "base/gdi_win.h"
#include "host/encoding_win.h"

bool aroundAllTests(void (*start)(), void (*stop)()) {
    struct Around : ::testing::Environment {
        Around(void (*a)(), void (*b)()) : start(a), stop(b) {}
        void SetUp() override { start(); }
        void TearDown() override { stop(); }
        void (*start)();
        void (*stop)();
    };
    ::testing::AddGlobalTestEnvironment(new Around(start, stop));
    return true;
}

void startToolkit() {
    ui::startup(GetModuleHandleW(nullptr));
}

int TestWindows::open(uint32_t flags, int w, int h) {
    const int n = static_cast<int>(UiOpenWindow(UI_ANY, 0, 0, w, h, u"", flags, nullptr));
    opened_.push_back(n);
    return n;
}

int TestWindows::openWithWaitingEvents() {
    const int n = open();
    const int button = static_cast<int>(UiAddButton(UI_ANY, 0, 0, 20, 20, u""));
    SendMessageW(UiControlHandle(button), BM_CLICK, 0, 0);
    SendMessageW(UiWindowHandle(n), WM_CLOSE, 0, 0);
    EXPECT_EQ(ui::eventQueue().size(), 2u) << "the waiting click and close";
    return n;
}

void TestWindows::closeAll() {
    for (int n : opened_) {
        UiCloseWindow(n);
    }
    opened_.clear();
    pumpMessages();
    takeEvents();
}

void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool takeQuit(WPARAM* exitCode) {
    MSG msg{};
    const bool quit = PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    if (quit && exitCode) {
        *exitCode = msg.wParam;
    }
    return quit;
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

// Ticks (of 20 ms) after the last step before the window is sent WM_CLOSE,
// and how long a call may then go on waiting before it is ended.
constexpr size_t CLOSE_AFTER_TICKS = 50;
constexpr size_t GIVE_UP_AFTER_TICKS = 250;

static void CALLBACK userTick(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_script || g_script->busy || g_script->stuck) {
        return;
    }
    HWND window = FindWindowW(nullptr, g_script->title.c_str());
    const size_t step = window ? g_script->ticks++ : 0;
    const bool closing = window && step > g_script->steps.size() + CLOSE_AFTER_TICKS;
    if (window && !closing) {
        g_script->waiting = 0;
    } else {
        // A loop that outlives its window, or that its close does not end,
        // would hold the test for good; a quit is the one thing left that
        // may still end it.
        if (++g_script->waiting == GIVE_UP_AFTER_TICKS) {
            g_script->stuck = window ? "the dialog stayed open though it was closed"
                              : g_script->ticks
                                  ? "the dialog's window went but its call went on waiting"
                                  : "the call went on waiting without the dialog's window";
            PostQuitMessage(0);
            return;
        }
    }
    if (!window) {
        return;
    }
    g_script->busy = true;
    if (step < g_script->steps.size()) {
        g_script->steps[step](window);
    } else if (closing) {
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
    if (script.stuck) {
        takeQuit();
        ADD_FAILURE() << script.stuck;
    }
    return result;
}

static bool g_guardFired = false;

static void CALLBACK guardExpired(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    g_guardFired = true;
    PostQuitMessage(0);
}

ModalGuard::ModalGuard(UINT seconds)
    : seconds_(seconds), timer_(SetTimer(nullptr, 0, seconds * 1000, &guardExpired)) {
    g_guardFired = false;
}

ModalGuard::~ModalGuard() {
    KillTimer(nullptr, timer_);
    if (g_guardFired) {
        takeQuit();
        ADD_FAILURE() << "a modal window was still open after " << seconds_ << " s";
    }
    g_guardFired = false;
}

Step post(UINT msg, WPARAM wp, LPARAM lp) {
    return [=](HWND window) { PostMessageW(window, msg, wp, lp); };
}

void holdShift(bool down) {
    BYTE keys[256] = {};
    keys[VK_SHIFT] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

void pressTab(HWND window, bool shift) {
    holdShift(shift);
    PostMessageW(GetFocus() ? GetFocus() : window, WM_KEYDOWN, VK_TAB, 0x000F0001);
}

RECT windowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

RECT clientRect(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return r;
}

RECT rectIn(HWND child, HWND parent) {
    RECT r = windowRect(child);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

Placement placementOf(HWND window) {
    return Placement{windowRect(window), clientRect(window), GetWindow(window, GW_OWNER)};
}

RECT centredOver(HWND owner, const RECT& frame) {
    const RECT o = windowRect(owner);
    const LONG w = frame.right - frame.left, h = frame.bottom - frame.top;
    const LONG left = o.left + ((o.right - o.left) - w) / 2;
    const LONG top = o.top + ((o.bottom - o.top) - h) / 2;
    return RECT{left, top, left + w, top + h};
}

std::vector<HWND> childWindows(HWND parent) {
    std::vector<HWND> out;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        out.push_back(c);
    }
    return out;
}

std::wstring windowClass(HWND window) {
    wchar_t name[257] = {};
    return std::wstring(name, static_cast<size_t>(GetClassNameW(window, name, 257)));
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

namespace {

std::string describe(HWND control) {
    return host::ansi(windowClass(control) + L" \"" + windowText(control) + L"\"");
}

// What a text or a line of it needs in the control's own font.
SIZE textSize(HWND control) {
    const std::wstring text = windowText(control);
    const int length = static_cast<int>(text.size());
    const WindowDC dc(control);
    const ScopedSelect font(dc.get(),
                            reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc.get(), length ? text.c_str() : L"X", length ? length : 1, &size);
    return size;
}

} // namespace

std::vector<std::string> layoutFaults(HWND window) {
    std::vector<std::string> faults;
    const RECT client = clientRect(window);
    std::vector<std::pair<HWND, RECT>> placed;
    for (HWND c : childWindows(window)) {
        const RECT r = rectIn(c, window);
        RECT common{};
        IntersectRect(&common, &r, &client);
        if (!EqualRect(&common, &r)) {
            faults.push_back(describe(c) + " reaches out of the client area");
        }
        for (const auto& [other, o] : placed) {
            if (IntersectRect(&common, &r, &o)) {
                faults.push_back(describe(c) + " overlaps " + describe(other));
            }
        }
        placed.push_back({c, r});
        const std::wstring cls = windowClass(c);
        const bool edit = lstrcmpiW(cls.c_str(), L"Edit") == 0;
        const int edges =
            lstrcmpiW(cls.c_str(), L"Button") == 0 ? 2 * GetSystemMetrics(SM_CXEDGE) : 0;
        const RECT inside = clientRect(c);
        const SIZE need = textSize(c);
        if ((!edit && need.cx > inside.right - 2 * edges) || need.cy > inside.bottom) {
            faults.push_back(describe(c) + " needs " + std::to_string(need.cx) + "x" +
                             std::to_string(need.cy) + ", holds " +
                             std::to_string(inside.right - 2 * edges) + "x" +
                             std::to_string(inside.bottom));
        }
    }
    return faults;
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

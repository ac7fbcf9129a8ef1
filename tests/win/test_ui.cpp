// The window toolkit driven the way the host's user drives it (posted input,
// real window procedures, the real queue), and the About box behind the
// DLL's _nbAbout.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "base/gdi_win.h"
#include "base/owners_win.h"
#include "plugin/plugin_win.h"
#include "host/host_win.h"
#include "tests/win/support/host_scene.h"
#include "tests/win/support/subclass_spy.h"
#include "tests/win/support/ui_driver.h"

namespace {

const bool g_toolkit = aroundAllTests(&startToolkit, &ui::shutdown);

HWND hwndOf(intptr_t made) {
    return reinterpret_cast<HWND>(made);
}

bool classRegistered(int number) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    const std::wstring name = L"WindowClass_" + std::to_wstring(number);
    return GetClassInfoExW(GetModuleHandleW(nullptr), name.c_str(), &wc) != 0;
}

// Whether a handle still names a live icon, accelerator table or font: a
// destroyed one is refused by every call.
bool iconAlive(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) {
        return false;
    }
    GdiObject<HBITMAP> colour(info.hbmColor), mask(info.hbmMask);
    return true;
}

bool acceleratorsAlive(HACCEL table) {
    return CopyAcceleratorTableW(table, nullptr, 0) > 0;
}

bool fontAlive(HFONT font) {
    LOGFONTW lf{};
    return GetObjectW(font, sizeof(lf), &lf) != 0;
}

UiEvent control(int number, int window, int subtype) {
    return UiEvent{UI_EVENT_CONTROL, number, window, subtype};
}

class Toolkit : public ::testing::Test {
  protected:
    void TearDown() override {
        UiCloseWindow(0);
        windows_.closeAll();
    }
    HWND openDialog(HWND owner = nullptr) {
        return hwndOf(UiOpenWindow(0, 30, 40, 400, 150, u"Di\u00e1logo", UI_FLAGS_DIALOG, owner));
    }
    int openAny(uint32_t flags = UI_FLAGS_CANVAS, int w = 120, int h = 80) {
        return windows_.open(flags, w, h);
    }

  private:
    TestWindows windows_;
};

//--- Windows

TEST_F(Toolkit, WindowsTakeStyleClientSizeAndClassFromTheirFlags) {
    struct Case {
        uint32_t flags;
        DWORD style; // of WS_POPUP, WS_CAPTION, WS_SYSMENU and the option bits
        bool visible;
    };
    const Case cases[] = {
        {UI_FLAGS_DIALOG, WS_CAPTION | WS_SYSMENU, true},
        {UI_FLAGS_CANVAS, WS_POPUP, true},
        {UI_FLAGS_CANVAS | UI_OPEN_HIDDEN, WS_POPUP, false},
        {0, WS_CAPTION, true},
        {UI_OPTION_BITS, WS_CAPTION, false},
    };
    const DWORD mask = WS_POPUP | WS_CAPTION | WS_SYSMENU | UI_OPTION_BITS;
    for (const Case& c : cases) {
        HWND hwnd = hwndOf(UiOpenWindow(0, 30, 40, 400, 150, u"T\u00edtulo", c.flags, nullptr));
        ASSERT_TRUE(hwnd);
        EXPECT_EQ(UiWindowHandle(0), hwnd);
        EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & mask, c.style) << std::hex << c.flags;
        EXPECT_EQ(IsWindowVisible(hwnd) != 0, c.visible) << std::hex << c.flags;
        RECT r{};
        GetClientRect(hwnd, &r);
        EXPECT_EQ(r, (RECT{0, 0, 400, 150}));
        GetWindowRect(hwnd, &r);
        EXPECT_EQ(r.left, 30);
        EXPECT_EQ(r.top, 40);
        wchar_t text[32] = {};
        GetWindowTextW(hwnd, text, 32);
        EXPECT_STREQ(text, L"T\u00edtulo");
        GetClassNameW(hwnd, text, 32);
        EXPECT_STREQ(text, L"WindowClass_0");
        EXPECT_NE(GetClassLongPtrW(hwnd, GCLP_HICON), 0) << "the module's icon 1";
        UiCloseWindow(0);
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_FALSE(UiIsWindow(0));
        EXPECT_FALSE(classRegistered(0));
    }
}

TEST_F(Toolkit, GeneratedNumbersAreLargeAndStaleOrGarbageNumbersFindNothing) {
    const int a = openAny(), b = openAny();
    EXPECT_GE(a, FIRST_ALLOCATED_NUMBER);
    EXPECT_NE(a, b);
    EXPECT_TRUE(classRegistered(a));
    HWND ha = UiWindowHandle(a);
    UiCloseWindow(a);
    EXPECT_FALSE(IsWindow(ha));
    EXPECT_FALSE(classRegistered(a));
    for (int n : {a, -2, 12345, MAX_FIXED_NUMBER, FIRST_ALLOCATED_NUMBER + 77777, INT32_MAX}) {
        EXPECT_FALSE(UiIsWindow(n));
        EXPECT_EQ(UiWindowHandle(n), nullptr);
        EXPECT_EQ(UiControlHandle(n), nullptr);
        EXPECT_EQ(UiGetText(n), u"");
        UiSetText(n, u"x");
        UiSetState(n, 1);
        UiCloseWindow(n);
    }
    EXPECT_TRUE(UiIsWindow(b));
}

TEST_F(Toolkit, DialogsAreCentredOnTheirOwnerAndClampedAtZero) {
    RECT r{};
    GetWindowRect(openDialog(), &r); // no owner: stays at its x, y
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.top, 40);
    const int w = r.right - r.left, h = r.bottom - r.top;
    struct Case {
        int x, y, ownerWidth, ownerHeight, left, top;
    };
    const Case cases[] = {
        {200, 100, w + 300, h + 200, 350, 200},
        // A smaller owner: (-401) / 2 truncates toward zero, to -200.
        {300, 300, w - 401, h - 101, 100, 250},
        // Near the screen's corner the result would be negative: 0.
        {50, 20, w - 300, h - 100, 0, 0},
    };
    for (const Case& c : cases) {
        HostScene owner(c.x, c.y, c.ownerWidth, c.ownerHeight);
        HWND dialog = openDialog(owner.main());
        GetWindowRect(dialog, &r);
        EXPECT_EQ(r.left, c.left);
        EXPECT_EQ(r.top, c.top);
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner.main());
    }
}

TEST_F(Toolkit, ReusingANumberDestroysTheOldObjectAndItsWaitingEvents) {
    HWND first = openDialog();
    HWND button = hwndOf(UiAddButton(1, 10, 10, 80, 25, u"OK"));
    SendMessageW(button, BM_CLICK, 0, 0);
    HWND again = hwndOf(UiAddButton(1, 10, 10, 80, 25, u"OK"));
    EXPECT_FALSE(IsWindow(button));
    EXPECT_EQ(UiControlHandle(1), again);
    EXPECT_TRUE(takeEvents().empty()) << "the old button's click went with it";
    SendMessageW(again, BM_CLICK, 0, 0);
    SendMessageW(first, WM_CLOSE, 0, 0);
    EXPECT_EQ(ui::eventQueue().size(), 2u);
    HWND second = openDialog();
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(IsWindow(again));
    EXPECT_EQ(UiWindowHandle(0), second);
    EXPECT_EQ(UiControlHandle(1), nullptr);
    EXPECT_TRUE(takeEvents().empty());
}

TEST_F(Toolkit, ShutDownClosesEveryWindowAndTheToolkitStartsAgain) {
    HWND dialog = openDialog();
    HWND canvas = UiWindowHandle(openAny());
    const auto icon = reinterpret_cast<HICON>(GetClassLongPtrW(dialog, GCLP_HICON));
    const auto font = reinterpret_cast<HFONT>(
        SendMessageW(hwndOf(UiAddButton(1, 0, 0, 50, 20, u"OK")), WM_GETFONT, 0, 0));
    ASSERT_TRUE(iconAlive(icon));
    ASSERT_TRUE(fontAlive(font));
    ui::shutdown();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(canvas));
    EXPECT_FALSE(UiIsWindow(0));
    EXPECT_FALSE(classRegistered(0));
    EXPECT_FALSE(iconAlive(icon)) << "the class icon goes with the toolkit";
    EXPECT_FALSE(fontAlive(font)) << "and so does the message font";
    ui::startup(GetModuleHandleW(nullptr));
    EXPECT_TRUE(openDialog());
    EXPECT_TRUE(
        iconAlive(reinterpret_cast<HICON>(GetClassLongPtrW(UiWindowHandle(0), GCLP_HICON))));
    EXPECT_TRUE(fontAlive(ui::controlFont()));
}

// Each kind of owner through the same moves: a handle is destroyed exactly
// when its last owner lets go of it, and never twice.
template <typename Owner, typename Handle>
void checkOwner(const char* kind, Handle (*make)(), bool (*alive)(Handle)) {
    struct Case {
        const char* name;
        void (*run)(Handle a, Handle b);
        bool aAlive, bAlive;
    };
    const Case cases[] = {
        {"the end of its scope destroys its handle", [](Handle a, Handle) { Owner o(a); }, false,
         true},
        {"a moved-from owner destroys nothing",
         [](Handle a, Handle) {
             Owner o(a);
             Owner p(std::move(o));
             EXPECT_FALSE(o) << "the moved-from owner is empty";
             p.release();
         },
         true, true},
        {"release hands the handle over without destroying it",
         [](Handle a, Handle) { EXPECT_EQ(Owner(a).release(), a); }, true, true},
        {"move assignment destroys the handle it replaces",
         [](Handle a, Handle b) {
             Owner o(a);
             Owner p(b);
             p = std::move(o);
         },
         false, false},
        {"reset destroys the old handle and takes the new",
         [](Handle a, Handle b) {
             Owner o(a);
             o.reset(b);
             o.release();
         },
         false, true},
        {"reset to the handle it holds keeps it, to be destroyed once",
         [](Handle a, Handle) {
             Owner o(a);
             o.reset(a);
             o.release();
         },
         true, true},
    };
    for (const Case& c : cases) {
        const Handle a = make(), b = make();
        ASSERT_TRUE(a && b) << kind;
        c.run(a, b);
        EXPECT_EQ(alive(a), c.aAlive) << kind << ": " << c.name;
        EXPECT_EQ(alive(b), c.bAlive) << kind << ": " << c.name;
        Owner left[] = {Owner(alive(a) ? a : nullptr), Owner(alive(b) ? b : nullptr)};
    }
}

TEST(HandleOwners, DestroyTheirHandleOnceAndHandItOverOnAMove) {
    checkOwner<Icon>(
        "Icon",
        +[] {
            return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                                 IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
        },
        &iconAlive);
    checkOwner<AcceleratorTable>(
        "AcceleratorTable",
        +[] {
            ACCEL tab{FVIRTKEY, VK_TAB, 1};
            return CreateAcceleratorTableW(&tab, 1);
        },
        &acceleratorsAlive);
    checkOwner<GdiObject<HBRUSH>>(
        "GdiObject", +[] { return CreateSolidBrush(RGB(1, 2, 3)); },
        +[](HBRUSH brush) { return GetObjectType(brush) == OBJ_BRUSH; });
    checkOwner<UniqueAny<HDC, &DeleteDC>>(
        "MemoryDC", +[] { return CreateCompatibleDC(nullptr); },
        +[](HDC dc) { return GetObjectType(dc) == OBJ_MEMDC; });
}

//--- Controls

TEST_F(Toolkit, ControlsHaveTheirStylesNumbersAndTheMessageFont) {
    openDialog();
    struct Case {
        int number;
        intptr_t made;
        const wchar_t* cls;
        DWORD style, exStyle;
        Text text;
    };
    const Case cases[] = {
        {1, UiAddLabel(1, 0, 0, 90, 30, u"A & B\r\nC", UI_ALIGN_LEFT), L"Static", 0x50020080, 0,
         u"A & B\r\nC"},
        {2, UiAddLabel(2, 0, 40, 90, 20, u"centro", UI_ALIGN_CENTRE), L"Static",
         0x50020080 | SS_CENTER, 0, u"centro"},
        {3, UiAddEdit(3, 100, 0, 90, 22, u"Rect\u00e1ngulo"), L"Edit", 0x50030080, WS_EX_CLIENTEDGE,
         u"Rect\u00e1ngulo"},
        {4, UiAddButton(4, 100, 40, 90, 25, u"OK"), L"Button", 0x50030000, 0, u"OK"},
    };
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = 500;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &ncm, 0));
    for (const Case& c : cases) {
        HWND hwnd = hwndOf(c.made);
        ASSERT_EQ(UiControlHandle(c.number), hwnd);
        wchar_t name[16] = {};
        GetClassNameW(hwnd, name, 16);
        EXPECT_EQ(lstrcmpiW(name, c.cls), 0) << name;
        EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE), static_cast<LONG>(c.style)) << c.number;
        EXPECT_EQ(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, c.exStyle);
        EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_ID), c.number);
        EXPECT_EQ(UiGetText(c.number), c.text);
        LOGFONTW lf{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
        EXPECT_STREQ(lf.lfFaceName, ncm.lfMessageFont.lfFaceName);
        EXPECT_EQ(lf.lfHeight, ncm.lfMessageFont.lfHeight);
    }
    EXPECT_EQ(SendMessageW(UiControlHandle(3), EM_GETLIMITTEXT, 0, 0), 0x100000);
    UiSetText(4, u"Aceptar");
    EXPECT_EQ(UiGetText(4), u"Aceptar");
}

TEST_F(Toolkit, EditFieldsReportFocusAndTypingAndCtrlASelectsAll) {
    openDialog();
    HWND edit = hwndOf(UiAddEdit(5, 10, 10, 200, 22, u"abc"));
    HWND button = hwndOf(UiAddButton(1, 10, 40, 80, 25, u"OK"));
    takeEvents(); // those of setting the initial text
    SetFocus(edit);
    PostMessageW(edit, WM_CHAR, 1, 0); // Ctrl+A
    PostMessageW(edit, WM_CHAR, 'z', 0);
    pumpMessages();
    SetFocus(button);
    EXPECT_EQ(UiGetText(5), u"z");
    EXPECT_EQ(takeEvents(),
              (std::vector<UiEvent>{control(5, 0, 14000), control(5, 0, EN_SETFOCUS),
                                    control(5, 0, EN_UPDATE), control(5, 0, EN_CHANGE),
                                    control(5, 0, 14001), control(5, 0, EN_KILLFOCUS)}));
}

// What a field hands on to the Edit control, seen by a host's procedure
// beneath the toolkit's: Enter, Ctrl+Enter and Escape would beep there on
// Windows (Wine's Edit is silent); typing and the editing keys must arrive.
TEST_F(Toolkit, EditFieldsKeepEnterAndEscapeAndPassEveryOtherCharacterOn) {
    openDialog();
    const auto spied = subclassWhile(L"Edit", [] { UiAddEdit(5, 10, 10, 200, 22, u"abc"); });
    ASSERT_EQ(spied.size(), 1u);
    const HWND edit = spied[0]->hwnd;
    const std::pair<WPARAM, bool> rows[] = {
        // Enter, Ctrl+Enter, Escape; typing, Backspace; Ctrl+C, V, X, Z; Ctrl+A selects all
        {'\r', false}, {'\n', false}, {0x1B, false}, {'a', true},  {'\b', true},
        {0x03, true},  {0x16, true},  {0x18, true},  {0x1A, true}, {0x01, false},
    };
    for (const auto& [ch, passedOn] : rows) {
        UiSetText(5, u"abc");
        SendMessageW(edit, EM_SETSEL, 0, 0);
        SendMessageW(edit, WM_CHAR, ch, 1);
        EXPECT_EQ(spied[0]->seen(WM_CHAR, ch), passedOn ? 1u : 0u) << "char " << ch;
    }
    DWORD from = 1, to = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 3u) << "the last row, Ctrl+A, selected all";
    EXPECT_EQ(spied[0]->strays, 0u);
}

TEST_F(Toolkit, CloseBoxAltF4AndCloseQueueOneCloseAndTheWindowStays) {
    HWND hwnd = openDialog();
    struct Input {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const Input inputs[] = {
        {WM_CLOSE, 0, 0},
        {WM_SYSCOMMAND, SC_CLOSE, 0},
        {WM_SYSKEYDOWN, VK_F4, 0x20000001}, // bit 29: Alt is down
    };
    for (const Input& in : inputs) {
        PostMessageW(hwnd, in.message, in.wParam, in.lParam);
        EXPECT_EQ(waitEvent(), UI_EVENT_CLOSE) << in.message;
        EXPECT_EQ(UiEventWindow(), 0);
        EXPECT_EQ(UiEventControl(), 0);
        pumpMessages();
        EXPECT_TRUE(takeEvents().empty()) << "one event per close";
        EXPECT_TRUE(IsWindow(hwnd));
    }
    UiCloseWindow(0);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(Toolkit, TabAndShiftTabWalkTheTabStopsInOrderAndWrap) {
    HWND dialog = openDialog();
    SetActiveWindow(dialog);
    UiAddLabel(10, 0, 0, 50, 20, u"Objeto:", UI_ALIGN_LEFT);
    HWND a = hwndOf(UiAddEdit(11, 60, 0, 50, 20, u""));
    UiAddLabel(12, 0, 30, 50, 20, u"Color:", UI_ALIGN_LEFT);
    HWND b = hwndOf(UiAddButton(13, 60, 30, 50, 20, u"..."));
    EnableWindow(hwndOf(UiAddEdit(14, 60, 60, 50, 20, u"")), FALSE);
    ShowWindow(hwndOf(UiAddButton(15, 60, 90, 50, 20, u"")), SW_HIDE);
    HWND c = hwndOf(UiAddEdit(16, 60, 120, 50, 20, u""));
    ASSERT_EQ(GetActiveWindow(), dialog);
    auto press = [&](bool shift) {
        BYTE keys[256] = {};
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        PostMessageW(GetFocus() ? GetFocus() : dialog, WM_KEYDOWN, VK_TAB, 0x000F0001);
        PostMessageW(dialog, WM_CLOSE, 0, 0); // marks the end of the input
        int code = 0;
        do {
            code = waitEvent();
        } while (code == UI_EVENT_CONTROL);
        EXPECT_EQ(code, UI_EVENT_CLOSE);
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        return GetFocus();
    };
    SetFocus(dialog);
    EXPECT_EQ(press(false), a) << "from no focused control, Tab takes the first";
    EXPECT_EQ(press(false), b);
    EXPECT_EQ(press(false), c);
    EXPECT_EQ(press(false), a);
    EXPECT_EQ(press(true), c);
    EXPECT_EQ(press(true), b);
    SetFocus(dialog);
    EXPECT_EQ(press(true), c) << "from no focused control, Shift+Tab takes the last";
}

TEST_F(Toolkit, TheLastFocusedControlGetsTheFocusBackOnReactivation) {
    HWND dialog = openDialog();
    UiAddEdit(1, 10, 10, 80, 20, u"");
    HWND second = hwndOf(UiAddEdit(2, 10, 40, 80, 20, u""));
    SetActiveWindow(dialog);
    SetFocus(second);
    HostScene other(500, 500, 100, 100, WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE);
    SetActiveWindow(other.main());
    pumpMessages();
    EXPECT_NE(GetFocus(), second);
    SetActiveWindow(dialog);
    pumpMessages();
    EXPECT_EQ(GetFocus(), second);
}

//--- Events beyond one dialog

TEST_F(Toolkit, WaitingRunsTheHostsWindowsAndHandsBackAQuit) {
    HostScene host(0, 0, 50, 50);
    openDialog();
    PostMessageW(host.main(), WM_USER + 1, 0, 0);
    PostQuitMessage(7);
    EXPECT_EQ(waitEvent(), UI_EVENT_CLOSE);
    EXPECT_EQ(UiEventWindow(), 0);
    EXPECT_EQ(host.userMessages(), 1);
    WPARAM exitCode = 0;
    ASSERT_TRUE(takeQuit(&exitCode));
    EXPECT_EQ(exitCode, 7u);
}

TEST_F(Toolkit, CanvasEventsWaitAndALaterDialogLoopSkipsThem) {
    const int canvas = openAny();
    const int any = static_cast<int>(UiAddButton(UI_ANY, 0, 0, 50, 20, u""));
    SendMessageW(UiControlHandle(any), BM_CLICK, 0, 0);
    // What Windows sends for a generated number whose low word is 4.
    SendMessageW(UiWindowHandle(canvas), WM_COMMAND, MAKEWPARAM(4, BN_DOUBLECLICKED),
                 reinterpret_cast<LPARAM>(UiControlHandle(any)));
    // A dialog with its "OK" as control 4, opened later, and its loop.
    openDialog();
    UiAddButton(3, 10, 10, 80, 25, u"Cancelar");
    PostMessageW(hwndOf(UiAddButton(4, 100, 10, 80, 25, u"OK")), BM_CLICK, 0, 0);
    std::vector<int> seen;
    for (;;) {
        const int code = waitEvent();
        seen.push_back(code == UI_EVENT_CONTROL ? UiEventControl() : -code);
        if (code == WATCHDOG_EVENT || (code == UI_EVENT_CONTROL && UiEventControl() == 4)) {
            break;
        }
    }
    EXPECT_EQ(seen, (std::vector<int>{any, any, 4})) << "waiting events first, by full number";
}

TEST_F(Toolkit, DestroyingTheHostsWindowLeavesOnlyStaleNumbers) {
    HostScene host(100, 100, 300, 200);
    const int n = openAny(UI_FLAGS_CANVAS | UI_OPEN_HIDDEN, 300, 200);
    HWND canvas = UiWindowHandle(n);
    EXPECT_FALSE(IsWindowVisible(canvas));
    SetParent(canvas, host.main());
    ShowWindow(canvas, SW_SHOWNORMAL);
    RECT r{};
    GetWindowRect(canvas, &r);
    EXPECT_EQ(r, (RECT{100, 100, 400, 300}));
    const int b = static_cast<int>(UiAddButton(UI_ANY, 0, 0, 50, 20, u"b"));
    SendMessageW(UiControlHandle(b), BM_CLICK, 0, 0);
    SendMessageW(canvas, WM_CLOSE, 0, 0);
    EXPECT_EQ(ui::eventQueue().size(), 2u);
    host.destroy();
    EXPECT_FALSE(IsWindow(canvas));
    EXPECT_FALSE(UiIsWindow(n));
    EXPECT_EQ(UiControlHandle(b), nullptr);
    EXPECT_EQ(UiGetText(b), u"");
    EXPECT_TRUE(takeEvents().empty());
    UiCloseWindow(n);
    openAny(); // the old class goes at the next chance
    EXPECT_FALSE(classRegistered(n));
}

TEST_F(Toolkit, ACanvasNobodyListensToHoldsAtMostTheQueuesCapacity) {
    const int canvas = openAny();
    HWND buttons[2] = {hwndOf(UiAddButton(7, 0, 0, 50, 20, u"")),
                       hwndOf(UiAddButton(8, 0, 30, 50, 20, u""))};
    for (int i = 0; i < 1500; ++i) {
        SendMessageW(UiWindowHandle(canvas), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                     reinterpret_cast<LPARAM>(buttons[i & 1]));
    }
    EXPECT_EQ(ui::eventQueue().size(), EventQueue::DEFAULT_CAPACITY);
    UiCloseWindow(canvas);
    EXPECT_EQ(ui::eventQueue().size(), 0u);
}

//--- The About box

HWND okButton(HWND box) {
    return FindWindowExW(box, nullptr, L"Button", L"OK");
}

void clickOk(HWND box) {
    SendMessageW(okButton(box), BM_CLICK, 0, 0);
}

Step press(WPARAM key) {
    return [key](HWND) {
        HWND focus = GetFocus();
        PostMessageW(focus, WM_KEYDOWN, key, 1);
        PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    };
}

class AboutBox : public ::testing::Test {
  protected:
    host::PluginModule plugin{L"canvas.nbp"};
    int about() { return plugin.about(); }
};

TEST_F(AboutBox, EveryWayOutEndsItWithZeroAndEnterAndEscapeDoNothing) {
    ASSERT_TRUE(plugin.ok());
    bool okFocused = false;
    const auto tabToOk = [&](HWND box) { PostMessageW(box, WM_KEYDOWN, VK_TAB, 0x000F0001); };
    const auto checkFocus = [&](HWND box) { okFocused = GetFocus() == okButton(box); };
    struct Way {
        const char* name;
        std::vector<Step> steps;
    };
    const Way ways[] = {
        {"OK clicked", {clickOk}},
        {"Space on the focused OK",
         {tabToOk,
          [&](HWND box) {
              checkFocus(box);
              press(VK_SPACE)(box);
          }}},
        {"close box", {post(WM_SYSCOMMAND, SC_CLOSE, 0)}},
        {"WM_CLOSE", {post(WM_CLOSE)}},
        {"Alt+F4", {post(WM_SYSKEYDOWN, VK_F4, 0x20000001)}},
        {"Enter and Escape, then OK",
         {tabToOk, press(VK_RETURN), press(VK_ESCAPE), press(VK_RETURN), clickOk}},
    };
    for (const Way& way : ways) {
        UserScript script{L"About", way.steps};
        EXPECT_EQ(runDialog(script, [&] { return about(); }), 0) << way.name;
        EXPECT_EQ(script.ticks, way.steps.size()) << way.name << ": ended by its last step";
        EXPECT_EQ(FindWindowW(nullptr, L"About"), nullptr);
    }
    EXPECT_TRUE(okFocused);
}

TEST_F(AboutBox, ShowsTitleAndCreditCentredOnTheActiveOwner) {
    ASSERT_TRUE(plugin.ok());
    HostScene owner(200, 150, 800, 600, WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE);
    SetActiveWindow(owner.main());
    ASSERT_EQ(GetActiveWindow(), owner.main());
    RECT box{}, client{}, ok{};
    HWND boxOwner = nullptr;
    std::vector<std::wstring> labels;
    LONG lowestLabel = 0;
    UserScript script{L"About", {[&](HWND b) {
                          GetWindowRect(b, &box);
                          GetClientRect(b, &client);
                          boxOwner = GetWindow(b, GW_OWNER);
                          for (HWND c = GetWindow(b, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                              wchar_t text[64] = {}, cls[16] = {};
                              GetWindowTextW(c, text, 64);
                              GetClassNameW(c, cls, 16);
                              RECT r{};
                              GetWindowRect(c, &r);
                              MapWindowPoints(nullptr, b, reinterpret_cast<POINT*>(&r), 2);
                              if (lstrcmpiW(cls, L"Static") == 0) {
                                  labels.push_back(text);
                                  EXPECT_TRUE(GetWindowLongW(c, GWL_STYLE) & SS_CENTER);
                                  lowestLabel = std::max(lowestLabel, r.bottom);
                              } else {
                                  ok = r;
                              }
                          }
                          clickOk(b);
                      }}};
    EXPECT_EQ(runDialog(script, [&] { return about(); }), 0);
    RECT o{};
    GetWindowRect(owner.main(), &o);
    const LONG w = box.right - box.left, h = box.bottom - box.top;
    EXPECT_EQ(box.left, o.left + ((o.right - o.left) - w) / 2);
    EXPECT_EQ(box.top, o.top + ((o.bottom - o.top) - h) / 2);
    EXPECT_EQ(boxOwner, owner.main());
    EXPECT_EQ(client, (RECT{0, 0, 400, 150}));
    EXPECT_EQ(ok, (RECT{150, 110, 250, 135}));
    EXPECT_EQ(labels, (std::vector<std::wstring>{L"KivCanvas 2D (Final)", L"Kiv SDK Examples"}));
    EXPECT_LE(lowestLabel, ok.top);
    EXPECT_EQ(GetActiveWindow(), owner.main()) << "the owner is active again";
}

TEST_F(AboutBox, WithoutAnActiveWindowItSitsAtTheTopLeft) {
    ASSERT_TRUE(plugin.ok());
    SetActiveWindow(nullptr);
    ASSERT_EQ(GetActiveWindow(), nullptr);
    RECT box{};
    HWND boxOwner = reinterpret_cast<HWND>(1);
    UserScript script{L"About", {[&](HWND b) {
                          GetWindowRect(b, &box);
                          boxOwner = GetWindow(b, GW_OWNER);
                          clickOk(b);
                      }}};
    EXPECT_EQ(runDialog(script, [&] { return about(); }), 0);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(boxOwner, nullptr);
}

TEST_F(Toolkit, AboutIgnoresOtherWindowsEventsWaitingInTheQueue) {
    const int canvas = openAny();
    leaveEventsOf(canvas);
    ASSERT_EQ(ui::eventQueue().size(), 2u);
    UserScript script{L"About", {clickOk}};
    runDialog(script, [] {
        plugin::about();
        return 0;
    });
    EXPECT_EQ(script.ticks, 1u) << "the box stayed until OK was clicked";
    EXPECT_TRUE(takeEvents().empty());
}

} // namespace

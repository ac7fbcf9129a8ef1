// The toolkit's controls: their styles and font, what edit fields report
// and pass on, closing, and the keyboard focus.
#include "tests/win/test_ui/ui_tests.h"

using namespace uitests;

namespace {

UiEvent control(int number, int window, int subtype) {
    return UiEvent{UI_EVENT_CONTROL, number, window, subtype};
}

TEST_F(Toolkit, ControlsHaveTheirStylesNumbersAndTheMessageFont) {
    openDialog();
    // Number, what the toolkit made, class, style, extended style and text.
    const std::tuple<int, intptr_t, const wchar_t*, DWORD, DWORD, Text> cases[] = {
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
    for (const auto& [number, made, wantedClass, style, exStyle, text] : cases) {
        HWND hwnd = hwndOf(made);
        ASSERT_EQ(UiControlHandle(number), hwnd);
        const std::wstring cls = windowClass(hwnd);
        EXPECT_EQ(lstrcmpiW(cls.c_str(), wantedClass), 0) << cls;
        EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE), static_cast<LONG>(style)) << number;
        EXPECT_EQ(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, exStyle);
        EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_ID), number);
        EXPECT_EQ(UiGetText(number), text);
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
    const std::tuple<UINT, WPARAM, LPARAM> inputs[] = {
        {WM_CLOSE, 0, 0},
        {WM_SYSCOMMAND, SC_CLOSE, 0},
        {WM_SYSKEYDOWN, VK_F4, 0x20000001}, // bit 29: Alt is down
    };
    for (const auto& [message, wParam, lParam] : inputs) {
        PostMessageW(hwnd, message, wParam, lParam);
        EXPECT_EQ(waitEvent(), UI_EVENT_CLOSE) << message;
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
        pressTab(dialog, shift);
        PostMessageW(dialog, WM_CLOSE, 0, 0); // marks the end of the input
        int code = 0;
        do {
            code = waitEvent();
        } while (code == UI_EVENT_CONTROL);
        EXPECT_EQ(code, UI_EVENT_CLOSE);
        holdShift(false);
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

} // namespace

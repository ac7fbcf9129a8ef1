// The toolkit's events beyond one dialog (the host's windows, canvases and
// their waiting events), and the About box behind the DLL's _nbAbout.
#include "tests/win/test_ui/ui_tests.h"

#include <algorithm>
#include <vector>

using namespace uitests;

namespace {

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
    const int canvas = windows.open();
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
    const int n = windows.open(UI_FLAGS_CANVAS | UI_OPEN_HIDDEN, 300, 200);
    HWND canvas = UiWindowHandle(n);
    EXPECT_FALSE(IsWindowVisible(canvas));
    SetParent(canvas, host.main());
    ShowWindow(canvas, SW_SHOWNORMAL);
    EXPECT_EQ(windowRect(canvas), (RECT{100, 100, 400, 300}));
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
    windows.open(); // the old class goes at the next chance
    EXPECT_FALSE(classRegistered(n));
}

TEST_F(Toolkit, ACanvasNobodyListensToHoldsAtMostTheQueuesCapacity) {
    const int canvas = windows.open();
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
    void SetUp() override { ASSERT_TRUE(plugin.ok()); }
    host::PluginModule plugin{L"canvas.nbp"};
    int about() { return plugin.about(); }
};

TEST_F(AboutBox, EveryWayOutEndsItWithZeroAndEnterAndEscapeDoNothing) {
    bool okFocused = false;
    const auto tabToOk = [&](HWND box) { PostMessageW(box, WM_KEYDOWN, VK_TAB, 0x000F0001); };
    const auto checkFocus = [&](HWND box) { okFocused = GetFocus() == okButton(box); };
    const std::pair<const char*, std::vector<Step>> ways[] = {
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
    for (const auto& [name, steps] : ways) {
        UserScript script{L"About", steps};
        EXPECT_EQ(runDialog(script, [&] { return about(); }), 0) << name;
        EXPECT_EQ(script.ticks, steps.size()) << name << ": ended by its last step";
        EXPECT_EQ(FindWindowW(nullptr, L"About"), nullptr);
    }
    EXPECT_TRUE(okFocused);
}

TEST_F(AboutBox, ShowsTitleAndCreditCentredOnTheActiveOwner) {
    HostScene owner(200, 150, 800, 600, WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE);
    SetActiveWindow(owner.main());
    ASSERT_EQ(GetActiveWindow(), owner.main());
    Placement box;
    RECT ok{};
    std::vector<std::wstring> labels;
    LONG lowestLabel = 0;
    UserScript script{L"About", {[&](HWND b) {
                          box = placementOf(b);
                          for (HWND c : childWindows(b)) {
                              const RECT r = rectIn(c, b);
                              if (lstrcmpiW(windowClass(c).c_str(), L"Static") == 0) {
                                  labels.push_back(windowText(c));
                                  EXPECT_TRUE(GetWindowLongW(c, GWL_STYLE) & SS_CENTER);
                                  lowestLabel = std::max(lowestLabel, r.bottom);
                              } else {
                                  ok = r;
                              }
                          }
                          clickOk(b);
                      }}};
    EXPECT_EQ(runDialog(script, [&] { return about(); }), 0);
    EXPECT_EQ(box.frame, centredOver(owner.main(), box.frame));
    EXPECT_EQ(box.owner, owner.main());
    EXPECT_EQ(box.client, (RECT{0, 0, 400, 150}));
    EXPECT_EQ(ok, (RECT{150, 110, 250, 135}));
    EXPECT_EQ(labels, (std::vector<std::wstring>{L"KivCanvas 2D (Final)", L"Kiv SDK Examples"}));
    EXPECT_LE(lowestLabel, ok.top);
    EXPECT_EQ(GetActiveWindow(), owner.main()) << "the owner is active again";
}

TEST_F(AboutBox, WithoutAnActiveWindowItSitsAtTheTopLeft) {
    SetActiveWindow(nullptr);
    ASSERT_EQ(GetActiveWindow(), nullptr);
    Placement box{{}, {}, reinterpret_cast<HWND>(1)}; // an owner until the box is seen
    UserScript script{L"About", {[&](HWND b) {
                          box = placementOf(b);
                          clickOk(b);
                      }}};
    EXPECT_EQ(runDialog(script, [&] { return about(); }), 0);
    EXPECT_EQ(box.frame.left, 0);
    EXPECT_EQ(box.frame.top, 0);
    EXPECT_EQ(box.owner, nullptr);
}

TEST_F(Toolkit, AboutIgnoresOtherWindowsEventsWaitingInTheQueue) {
    windows.openWithWaitingEvents();
    UserScript script{L"About", {clickOk}};
    runDialog(script, [] {
        plugin::about();
        return 0;
    });
    EXPECT_EQ(script.ticks, 1u) << "the box stayed until OK was clicked";
    EXPECT_TRUE(takeEvents().empty());
}

} // namespace

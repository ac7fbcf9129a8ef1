// Canvases as a host's script sees them: canvas.nbp driven through its
// exports, and the pixels read back from the picture control of each canvas.
#include "tests/win/test_canvas/canvas_tests.h"

using namespace canvastests;

namespace {

const bool g_gdiSpy = watchGdiAroundAllTests();

TEST_F(Canvases, CreateFillsTheObjectWithItsBackground) {
    const struct {
        Slot colour;
        uint32_t shown;
    } cases[] = {
        {"", WHITE},       {NUL, WHITE},   {"$0000FF", RED},   {"255", RED},
        {"$FF0000", BLUE}, {"abc", BLACK}, {"#FF0000", BLACK}, {"16777215", WHITE},
    };
    int i = 0;
    for (const auto& c : cases) {
        const std::string name = "rect" + std::to_string(i);
        HWND o = object(name, 30 + i, 20 + 2 * i, 70 * i, 0);
        EXPECT_EQ(exec(CREATE, {name, c.colour}), 1);
        HWND canvas = canvasWindowIn(o);
        ASSERT_NE(canvas, nullptr) << name;
        EXPECT_TRUE(IsWindowVisible(canvas));
        EXPECT_EQ(rectIn(canvas, o), (RECT{0, 0, 30 + i, 20 + 2 * i}))
            << "covers the client area from (0, 0)";
        EXPECT_EQ(readCanvas(o).width, 30 + i);
        EXPECT_TRUE(filledWith(o, c.shown)) << c.colour.value_or("(null)");
        ++i;
    }
}

// Every moment a canvas window turned visible, with the window it sat in.
std::vector<std::pair<HWND, HWND>> g_shownIn;

LRESULT CALLBACK watchShowing(int code, WPARAM wParam, LPARAM lParam) {
    auto msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION) {
        const bool showing =
            (msg->message == WM_SHOWWINDOW && msg->wParam) ||
            (msg->message == WM_WINDOWPOSCHANGING &&
             (reinterpret_cast<const WINDOWPOS*>(msg->lParam)->flags & SWP_SHOWWINDOW));
        if (showing && windowClass(msg->hwnd).rfind(L"WindowClass_", 0) == 0) {
            g_shownIn.emplace_back(msg->hwnd, GetAncestor(msg->hwnd, GA_PARENT));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Canvases, ANewCanvasOnlyEverShowsInsideItsObject) {
    HWND o = object("rect1", 60, 40, 100, 100);
    g_shownIn.clear();
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, &watchShowing, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    EXPECT_EQ(exec(CREATE, {"rect1", ""}), 1);
    UnhookWindowsHookEx(hook);
    ASSERT_FALSE(g_shownIn.empty());
    for (auto& shownIn : g_shownIn) {
        EXPECT_EQ(shownIn.first, canvasWindowIn(o));
        EXPECT_EQ(shownIn.second, o) << "never on the desktop at the screen's corner";
    }
}

// A canvas is a child window: whatever the actions do, the host's frame stays
// active and in front with the focus on its field, and owns the dialogs.
TEST_F(Canvases, TheHostKeepsActivationAndFocus) {
    HostScene frame(40, 40, 700, 500, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND field =
        CreateWindowExW(0, L"Edit", L"host", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 400, 10, 200, 24,
                        frame.main(), nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(field, nullptr);
    HWND a = frame.addObject(host, "a", 10, 10, 120, 80);
    frame.addObject(host, "b", 150, 10, 120, 80);
    SetForegroundWindow(frame.main());
    SetActiveWindow(frame.main());
    SetFocus(field);
    pumpMessages();
    ASSERT_EQ(GetActiveWindow(), frame.main());
    ASSERT_EQ(GetFocus(), field);

    const auto act = [this](int id, Slots slots) { return [=] { return exec(id, slots); }; };
    const struct {
        const char* what;
        std::function<int()> run;
    } steps[] = {
        {"create a", act(CREATE, {"a", "$0000FF"})},
        {"create b", act(CREATE, {"b", ""})},
        {"circle", act(CIRCLE, {"a", "30", "20", "10", ""})},
        {"text", act(TEXT, {"a", "Hola", "1", "1", "", "", ""})},
        {"opaque text", act(TEXT, {"b", "Hola", "1", "1", "", "$00FF00", ""})},
        {"clear", act(CLEAR, {"a"})},
        {"release", [&] { return plugin->message(2, 0) == 0 ? 1 : 0; }},
        {"create again", act(CREATE, {"a", ""})},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(step.run(), 1) << step.what;
        pumpMessages();
        EXPECT_EQ(GetActiveWindow(), frame.main()) << step.what;
        EXPECT_EQ(GetForegroundWindow(), frame.main()) << step.what;
        EXPECT_EQ(GetFocus(), field) << step.what;
    }
    HWND canvas = canvasWindowIn(a);
    ASSERT_NE(canvas, nullptr);
    const LONG style = GetWindowLongW(canvas, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_FALSE(style & WS_POPUP);
    EXPECT_EQ(GetAncestor(canvas, GA_ROOT), frame.main());

    const std::u16string title = editor::findDialog(CREATE)->title;
    HWND owner = nullptr;
    UserScript script{
        std::wstring(title.begin(), title.end()),
        {[&](HWND d) { owner = GetWindow(d, GW_OWNER); },
         [](HWND d) { SendMessageW(GetDlgItem(d, editor::CONTROL_CANCEL), BM_CLICK, 0, 0); }}};
    host::Params params({"a", ""});
    EXPECT_EQ(runDialog(script, [&] { return plugin->editAction(CREATE, params.data()); }), 0);
    EXPECT_EQ(owner, frame.main()) << "the editor belongs to the host's frame";
}

// Host code may run between its answer and the canvas being laid in (here a
// hook on window creation): an object destroyed then gets no canvas at all.
HWND g_doomedObject = nullptr;

LRESULT CALLBACK destroyOnCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && g_doomedObject &&
        windowClass(reinterpret_cast<HWND>(wParam)).rfind(L"WindowClass_", 0) == 0) {
        DestroyWindow(std::exchange(g_doomedObject, nullptr));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Canvases, AnObjectGoneBeforeTheCanvasIsLaidInMakesNoCanvas) {
    const int windowsBefore = threadWindowCount();
    g_doomedObject = object("doomed");
    HHOOK hook = SetWindowsHookExW(WH_CBT, &destroyOnCreation, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    expectSteps({{CREATE, {"doomed", "$0000FF"}, 0, 1}});
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(g_doomedObject, nullptr) << "destroyed while the canvas was being made";
    EXPECT_EQ(threadWindowCount(), windowsBefore) << "no stray top-level window";
    expectSteps({{CIRCLE, {"doomed", "1", "1", "1", ""}, 0, 0, "nothing registered"},
                 {CREATE, {"doomed", ""}, 0, 1, "asked again"}});
}

TEST_F(Canvases, SecondCreateKeepsTheFirstCanvasAndAsksNothing) {
    HWND o = canvasOn("rect1", "$0000FF");
    HWND canvas = canvasWindowIn(o);
    expectSteps({{CREATE, {"rect1", "$FF0000"}, 1}});
    EXPECT_EQ(canvasWindowIn(o), canvas);
    EXPECT_EQ(canvasWindowsIn(o).size(), 1u) << "no second canvas window";
    EXPECT_TRUE(filledWith(o, RED));
}

TEST_F(Canvases, FailedCreatesLeaveNothingAndTryAgainNextTime) {
    HWND flat = object("flat", 0, 40);
    HWND thin = object("thin", 50, 0);
    host.objects["notawindow"] = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7FFF0));
    using Reason = canvas::ActionFailure;
    const struct {
        const char* name;
        Reason reason;
    } cases[] = {{"flat", Reason::ObjectEmpty},
                 {"thin", Reason::ObjectEmpty},
                 {"unknown", Reason::ObjectUnknown},
                 {"notawindow", Reason::ObjectNotWindow}};
    for (const auto& c : cases) {
        // Nothing was registered: drawing finds no canvas, and a second
        // create asks the host again.
        expectSteps({{CREATE, {c.name, "$0000FF"}, 0, 1},
                     {CIRCLE, {c.name, "1", "1", "1", ""}, 0},
                     {CREATE, {c.name, "$0000FF"}, 0, 1}});
        EXPECT_EQ(linked.reasonOf(CREATE, {c.name, "$0000FF"}), c.reason) << c.name;
        EXPECT_EQ(linked.reasonOf(CIRCLE, {c.name, "1", "1", "1", ""}), Reason::NotACanvas);
    }
    EXPECT_EQ(canvasWindowIn(flat), nullptr);
    EXPECT_EQ(canvasWindowIn(thin), nullptr);
    // Once the object has an area, the same name becomes a canvas.
    SetWindowPos(flat, nullptr, 0, 0, 20, 10, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(exec(CREATE, {"flat", ""}), 1);
    EXPECT_NE(canvasWindowIn(flat), nullptr);
}

TEST_F(Canvases, WithoutTheHostCallbackNothingIsCreated) {
    plugin->registerInterfaceAccess(nullptr);
    HWND o = object("rect1");
    EXPECT_EQ(exec(CREATE, {"rect1", ""}), 0);
    EXPECT_EQ(canvasWindowIn(o), nullptr);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(Canvases, AnEmptyNameEndsEveryActionFirst) {
    canvasOn("rect1");
    host.calls.clear();
    for (int id = 0; id <= canvas::LAST_ACTION_ID + 1; ++id) {
        EXPECT_EQ(exec(id, {"", "1", "1", "1", "", "", ""}), 0) << id;
        EXPECT_EQ(exec(id, {NUL, "1", "1", "1", "", "", ""}), 0) << id;
    }
    EXPECT_EQ(exec(0, {"rect1", "", "", "", "", "", ""}), 0);
    EXPECT_EQ(exec(canvas::LAST_ACTION_ID + 1, {"rect1", "", "", "", "", "", ""}), 0);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(Canvases, DrawingFindsCanvasesByExactName) {
    HWND o = canvasOn("rect1");
    for (const char* name : {"Rect1", "rect1 ", " rect1", "RECT1", "rect"}) {
        expectSteps({{CIRCLE, {name, "30", "20", "5", ""}, 0},
                     {CLEAR, {name}, 0},
                     {TEXT, {name, "x", "0", "0", "", "", ""}, 0}});
    }
    EXPECT_TRUE(filledWith(o, WHITE));
}

TEST_F(Canvases, CircleOutlineInTheCanvas) {
    HWND o = canvasOn("rect1");
    EXPECT_EQ(exec(CIRCLE, {"rect1", "30", "20", "10", ""}), 1);
    CanvasPixels s = readCanvas(o);
    // An empty colour is black; the extreme points are on the outline, the
    // pixels beyond them and the inside keep their colour.
    const POINT on[] = {{40, 20}, {20, 20}, {30, 30}, {30, 10}};
    const POINT off[] = {{41, 20}, {19, 20}, {30, 31}, {30, 9}, {30, 20}, {35, 20}};
    for (POINT p : on) {
        EXPECT_EQ(s.at(p.x, p.y), BLACK) << p.x << "," << p.y;
    }
    for (POINT p : off) {
        EXPECT_EQ(s.at(p.x, p.y), WHITE) << p.x << "," << p.y;
    }
    EXPECT_GT(s.count(BLACK), 50u);
    EXPECT_LT(s.count(BLACK), 80u);
}

TEST_F(Canvases, NumbersReadAsWholeNumbers) {
    HWND a = canvasOn("a", "", 40, 30);
    HWND b = canvasOn("b", "", 40, 30, 50, 0);
    EXPECT_EQ(exec(CIRCLE, {"a", "10px", "10.7", " 8", "$0000FF"}), 1);
    EXPECT_EQ(exec(CIRCLE, {"b", "10", "10", "8", "255"}), 1);
    CanvasPixels sa = readCanvas(a), sb = readCanvas(b);
    EXPECT_GT(sa.count(RED), 0u);
    EXPECT_EQ(sa.pixels, sb.pixels);
    // 4294967306 keeps its low 32 bits: 10.
    EXPECT_EQ(exec(CLEAR, {"a"}), 1);
    EXPECT_EQ(exec(CIRCLE, {"a", "4294967306", "$A", "%1000", "$0000FF"}), 1);
    EXPECT_EQ(readCanvas(a).pixels, sb.pixels);
}

TEST_F(Canvases, CirclesOutsideOrHugeDrawOnlyWhatShows) {
    HWND o = canvasOn("rect1");
    // Centre left of the canvas: only the right-hand arc shows.
    EXPECT_EQ(exec(CIRCLE, {"rect1", "-10", "20", "15", ""}), 1);
    CanvasPixels s = readCanvas(o);
    EXPECT_EQ(s.at(5, 20), BLACK);
    for (int y = 0; y < 40; ++y) {
        for (int x = 6; x < 60; ++x) {
            ASSERT_EQ(s.at(x, y), WHITE) << x << "," << y;
        }
    }
    // Negative radius: nothing; far-away and huge circles: done at once.
    const char* const calls[][4] = {
        {"30", "20", "-5", ""},
        {"2147483647", "-2147483648", "2000000000", ""},
        {"30", "20", "2000000000", ""},
        {"-2000000000", "20", "2000000030", "$0000FF"},
    };
    for (auto& c : calls) {
        EXPECT_EQ(exec(CIRCLE, {"rect1", c[0], c[1], c[2], c[3]}), 1);
    }
    CanvasPixels after = readCanvas(o);
    // Only the last one reaches in: an almost straight arc near x = 30.
    EXPECT_EQ(after.at(30, 20), RED);
    EXPECT_EQ(after.at(5, 20), BLACK);
    EXPECT_EQ(after.at(45, 20), WHITE);
}

TEST_F(Canvases, ClearWipesToWhite) {
    HWND o = canvasOn("rect1", "$0000FF");
    ASSERT_EQ(exec(CIRCLE, {"rect1", "30", "20", "10", "$00FF00"}), 1);
    EXPECT_EQ(exec(CLEAR, {"rect1"}), 1);
    EXPECT_TRUE(filledWith(o, WHITE));
}

TEST_F(Canvases, TextTransparentAndOpaque) {
    HWND t = canvasOn("t", "$0000FF", 200, 40);
    HWND q = canvasOn("q", "$0000FF", 200, 40, 0, 50);
    EXPECT_EQ(exec(TEXT, {"t", "Hola", "10", "5", "$FFFFFF", "", "Arial,14,B"}), 1);
    EXPECT_EQ(exec(TEXT, {"q", "Hola", "10", "5", "$FFFFFF", "$000000", "Arial,14,B"}), 1);
    CanvasPixels st = readCanvas(t), sq = readCanvas(q);
    // Transparent: glyphs only, nothing black, the rest keeps the background.
    EXPECT_GT(st.count(WHITE), 20u);
    EXPECT_EQ(st.count(BLACK), 0u);
    EXPECT_EQ(st.at(5, 20), RED);
    EXPECT_EQ(st.at(150, 20), RED);
    // Opaque: the text's cell is black where there is no glyph.
    EXPECT_GT(sq.count(BLACK), 100u);
    EXPECT_EQ(sq.at(11, 6), BLACK);
    EXPECT_EQ(sq.at(5, 20), RED) << "left of the cell";
    EXPECT_EQ(sq.at(150, 20), RED) << "right of the cell";
    EXPECT_EQ(sq.at(12, 39), RED) << "below the cell";
}

TEST_F(Canvases, TextDefaultsToTwelvePointArial) {
    HWND a = canvasOn("a", "", 200, 40);
    HWND b = canvasOn("b", "", 200, 40, 0, 50);
    EXPECT_EQ(exec(TEXT, {"a", "Texto", "3", "3", "", "", ""}), 1);
    EXPECT_EQ(exec(TEXT, {"b", "Texto", "3", "3", "$000000", "", "Arial,12,"}), 1);
    CanvasPixels sa = readCanvas(a);
    EXPECT_GT(sa.count(WHITE), 0u);
    EXPECT_LT(sa.count(WHITE), sa.pixels.size());
    EXPECT_EQ(sa.pixels, readCanvas(b).pixels);
}

TEST_F(Canvases, EmptyTextStillRunsAPass) {
    HWND o = canvasOn("rect1");
    EXPECT_EQ(exec(TEXT, {"rect1", "", "0", "0", "", "$000000", ""}), 1);
    EXPECT_EQ(exec(TEXT, {"rect1", NUL, NUL, NUL, NUL, NUL, NUL}), 1);
    EXPECT_TRUE(filledWith(o, WHITE));
}
} // namespace

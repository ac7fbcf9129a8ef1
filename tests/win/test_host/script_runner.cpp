// The reference host's script runner, with the plug-in's exports stood in
// for where the test needs to see what they are handed.
#include "tests/win/test_host/host_tests.h"

using namespace hosttests;

namespace {

struct Handed {
    int id = 0;
    std::vector<HostString> slots;
    std::vector<std::string> texts; // "(null)" for a null slot
    bool fixedBlocks = true;
};

// What the stand-in exports were handed and how they behave, for one test.
struct Fakes {
    std::vector<Handed> handed;
    int editResult = 1;
    bool aboutShowsBox = true;
    Ended aboutEnded = Ended::Running;
    int aboutDepth = 0, aboutMaxDepth = 0;
    HWND pokeWindow = nullptr; // the host's main window, poked while the box is up
    // What the stand-in plug-in writes with OutputDebugString inside its calls.
    std::function<void()> debugWrite;
} g;

void record(int id, HostString* params) {
    Handed h{id};
    int count = 0;
    for (const host::ActionDef& a : host::Host::current()->actions) {
        if (a.id == id) {
            count = a.count;
        }
    }
    for (int i = 0; i < count; ++i) {
        HostString s = params[i];
        h.slots.push_back(s);
        h.texts.push_back(s ? s : "(null)");
        if (s && (GlobalHandle(s) != static_cast<HGLOBAL>(s) ||
                  GlobalSize(GlobalHandle(s)) != std::strlen(s) + 1)) {
            h.fixedBlocks = false;
        }
    }
    g.handed.push_back(h);
    if (g.debugWrite) {
        g.debugWrite();
    }
}

int __stdcall fakeExec(int id, HostString* params) {
    record(id, params);
    return id == 2 ? 1 : 0;
}

// Rewrites slot 0 as the plug-in's editor does on "OK".
int __stdcall fakeEdit(int id, HostString* params) {
    record(id, params);
    if (g.editResult == 1) {
        GlobalFree(params[0]);
        params[0] = host::allocString("nuevo");
    }
    return g.editResult;
}

int __stdcall fakeAbout() {
    g.aboutMaxDepth = std::max(g.aboutMaxDepth, ++g.aboutDepth);
    if (g.pokeWindow) {
        SendMessageW(g.pokeWindow, WM_COMMAND, host::MENU_ABOUT, 0);
        SendMessageW(g.pokeWindow, WM_CLOSE, 0, 0);
    }
    g.aboutEnded = g.aboutShowsBox ? runBox() : Ended::Running;
    --g.aboutDepth;
    return 0;
}

class Runner : public HostApp {
  protected:
    void SetUp() override {
        HostApp::SetUp();
        plugin.execAction = &fakeExec;
        plugin.editAction = &fakeEdit;
        plugin.about = &fakeAbout;
        g = Fakes();
        captured.out.clear();
    }
    void TearDown() override { g.debugWrite = nullptr; }
};

// A diagnostic plug-in says why an action returned 0 with OutputDebugString;
// the host reads it with no debugger and shows it after the result.
TEST_F(Runner, DebugOutputOfTheCallFollowsItsResult) {
    const struct {
        const char* command;
        std::function<void()> write;
        const char* shown;
    } cases[] = {
        {"kiv_DrawText r1",
         [] { OutputDebugStringW(L"kiv_DrawText: no hay ning\u00fan lienzo llamado \"r1\""); },
         "kiv_DrawText -> 0 (no hay ning\xC3\xBAn lienzo llamado \"r1\")"},
        {"kiv_DrawText r1", [] { OutputDebugStringA("kiv_DrawText: sin lienzo \xE1\r\n"); },
         "kiv_DrawText -> 0 (sin lienzo \xC3\xA1)"},
        {"kiv_DrawText r1",
         [] {
             OutputDebugStringW(L"kiv_DrawCircle: a\nb\n\n");
             OutputDebugStringW(L"kiv_DrawText: c");
         },
         "kiv_DrawText -> 0 (kiv_DrawCircle: a; b; c)"},
        {"kiv_DrawText r1", [] {}, "kiv_DrawText -> 0"},
        {"edit kiv_ClearCanvas", [] { OutputDebugStringW(L"kiv_ClearCanvas: otro di\u00e1logo"); },
         "edit kiv_ClearCanvas -> 1 (otro di\xC3\xA1logo)"},
    };
    for (const auto& c : cases) {
        g.debugWrite = c.write;
        captured.out.clear();
        ASSERT_TRUE(run(c.command)) << captured.errors();
        ASSERT_FALSE(captured.out.empty());
        EXPECT_EQ(captured.out[0], c.shown) << c.command;
    }
    // Outside a call nothing is caught: the text goes where it always goes.
    OutputDebugStringW(L"nadie escucha");
}

TEST_F(Runner, ActionsGetEveryRegisteredSlotAsAnsiText) {
    GlobalSpy spy(GetModuleHandleW(nullptr));
    ASSERT_TRUE(spy.ok());
    ASSERT_TRUE(run("kiv_DrawCircle \"Rect\xC3\xA1ngulo\" 50 \"\" # two missing\n"
                    "kiv_DrawText r \"c\xC3\xADrculo \\\"tama\xC3\xB1o\\\"\"\n"))
        << captured.errors();
    ASSERT_EQ(g.handed.size(), 2u);
    const Handed& circle = g.handed[0];
    EXPECT_EQ(circle.id, 2);
    EXPECT_EQ(circle.texts,
              (std::vector<std::string>{"Rect\xE1ngulo", "50", "", "(null)", "(null)"}));
    EXPECT_TRUE(circle.fixedBlocks);
    const Handed& text = g.handed[1];
    EXPECT_EQ(text.id, 4);
    ASSERT_EQ(text.texts.size(), 7u);
    EXPECT_EQ(text.texts[1], "c\xEDrculo \"tama\xF1o\"");
    EXPECT_EQ(captured.out, (std::vector<std::string>{"kiv_DrawCircle -> 1", "kiv_DrawText -> 0"}));
    // The host frees every string it handed over, once, after each call.
    std::vector<void*> handed;
    for (const Handed& h : g.handed) {
        std::copy_if(h.slots.begin(), h.slots.end(), std::back_inserter(handed),
                     [](HostString s) { return s != nullptr; });
    }
    EXPECT_EQ(spy.freed, handed);
}

TEST_F(Runner, EditReportsAndFreesWhatTheEditorGivesBack) {
    GlobalSpy spy(GetModuleHandleW(nullptr));
    ASSERT_TRUE(spy.ok());
    ASSERT_TRUE(run("edit kiv_CreateCanvas \"viejo\"\n"));
    EXPECT_EQ(captured.out, (std::vector<std::string>{"edit kiv_CreateCanvas -> 1",
                                                      "  0: \"nuevo\"", "  1: (null)"}));
    ASSERT_EQ(g.handed.size(), 1u);
    // The old text freed by the editor, the new one by the host.
    ASSERT_EQ(spy.allocated.size(), 2u);
    EXPECT_EQ(spy.freed, (std::vector<void*>{g.handed[0].slots[0], spy.allocated[1]}));

    // On 0 the texts are reported unchanged.
    g.editResult = 0;
    captured.out.clear();
    ASSERT_TRUE(run("edit kiv_DrawText r \"a \\\"b\\\" c\\\\\"\n"));
    EXPECT_EQ(captured.out.at(0), "edit kiv_DrawText -> 0");
    EXPECT_EQ(captured.out.at(2), "  1: \"a \\\"b\\\" c\\\\\"");
    EXPECT_EQ(captured.out.size(), 8u);
}

TEST_F(Runner, MenuRunsAndEditsTheCurrentParameters) {
    ASSERT_TRUE(run("kiv_CreateCanvas \"r1\" \"$00FF00\"\n"));
    g.handed.clear();
    // The menu offers the actions in a list; OK takes the first.
    EXPECT_TRUE(menu(host::MENU_EDIT, Close::Ok));
    ASSERT_EQ(g.handed.size(), 1u);
    EXPECT_EQ(g.handed[0].texts, (std::vector<std::string>{"r1", "$00FF00"}));
    EXPECT_TRUE(menu(host::MENU_RUN, Close::Ok));
    ASSERT_EQ(g.handed.size(), 2u);
    EXPECT_EQ(g.handed[1].texts, (std::vector<std::string>{"nuevo", "$00FF00"}))
        << "the edited texts are the current ones";
    EXPECT_TRUE(menu(host::MENU_RUN, Close::Cancel));
    EXPECT_EQ(g.handed.size(), 2u);
}

TEST_F(Runner, AboutBoxIsCapturedAndDismissedAsAsked) {
    const std::wstring file = tempPath(L"about.png");
    std::string script = "about capture=\"" + host::utf8FromWide(file) + "\" close=ok\n";
    ASSERT_TRUE(run(script)) << captured.errors();
    EXPECT_EQ(g.aboutEnded, Ended::Ok);
    EXPECT_EQ(captured.out, std::vector<std::string>{"about -> 0"});

    // The whole box with its frame: the client area lies inside it.
    host::Picture box;
    ASSERT_TRUE(takePng(file, &box));
    RECT frame{0, 0, 300, 120};
    AdjustWindowRectEx(&frame, WS_CAPTION | WS_SYSMENU, FALSE, 0);
    EXPECT_EQ(box.width, frame.right - frame.left);
    EXPECT_EQ(box.height, frame.bottom - frame.top);
    EXPECT_EQ(box.at(-frame.left + 5, -frame.top + 5), kBoxColour);
    EXPECT_NE(box.at(box.width / 2, 2), kBoxColour) << "the caption is there too";

    ASSERT_TRUE(run("about close=cancel"));
    EXPECT_EQ(g.aboutEnded, Ended::Cancel);
    ASSERT_TRUE(run("about close=closebox"));
    EXPECT_EQ(g.aboutEnded, Ended::CloseBox);
    app.unattended = true;
    ASSERT_TRUE(run("about"));
    EXPECT_EQ(g.aboutEnded, Ended::CloseBox);
}

TEST_F(Runner, PlugInIsNotEnteredAgainWhileItIsBusy) {
    // The box's loop dispatches the host's messages: menu and close box must
    // wait until the plug-in's call has returned.
    g.pokeWindow = app.mainWindow();
    ASSERT_TRUE(run("about close=ok"));
    EXPECT_EQ(g.aboutMaxDepth, 1);
    EXPECT_TRUE(IsWindow(app.mainWindow()));
    EXPECT_EQ(captured.out, std::vector<std::string>{"about -> 0"});
    g.pokeWindow = nullptr;
    SendMessageW(app.mainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(app.mainWindow(), nullptr);
}

TEST_F(Runner, ModalProblemsAreReported) {
    // A box without the asked button is closed all the same.
    {
        host::ModalWatch watch(L"", host::CloseWith::Ok);
        EXPECT_EQ(runBox(L"Aceptar"), Ended::CloseBox);
        EXPECT_NE(watch.problem().find("no OK button"), std::string::npos);
    }
    // No box at all: a capture fails the command, a close only notes it.
    g.aboutShowsBox = false;
    EXPECT_FALSE(run("about capture=never.png"));
    EXPECT_NE(captured.errors().find("line 1: no box appeared"), std::string::npos);
    captured.err.clear();
    EXPECT_TRUE(run("about close=ok"));
    EXPECT_EQ(captured.err.size(), 1u);
}

TEST_F(Runner, ScriptIsCheckedAgainstTheRegistration) {
    host::Script script = host::parseScript("kiv_DrawCircle r 1 2 3 4\n"
                                            "kiv_DrawCircle r 1 2 3 4 5\n"
                                            "wait 0\n"
                                            "kiv_Nothing r\n"
                                            "edit kiv_clearcanvas r\n");
    ASSERT_TRUE(script.ok());
    EXPECT_FALSE(app.check(script));
    EXPECT_EQ(captured.err, (std::vector<std::string>{
                                "line 2: kiv_DrawCircle takes 5 parameters, 6 given",
                                "line 4: no action \"kiv_Nothing\" is registered",
                                "line 5: no action \"kiv_clearcanvas\" is registered (did you mean "
                                "\"kiv_ClearCanvas\"?)",
                            }));
}

TEST_F(Runner, RuntimeFaultsAreReportedAndTheRestRuns) {
    EXPECT_FALSE(run("destroy nobody\n"
                     "object a 0 0 10 10\n"
                     "object a 5 5 10 10\n"
                     "screenshot \"Z:\\no\\such\\folder\\x.png\"\n"
                     "kiv_ClearCanvas a\n"));
    EXPECT_EQ(captured.err, (std::vector<std::string>{
                                "line 1: there is no object \"nobody\"",
                                "line 3: there is an object \"a\" already",
                                "line 4: cannot write the screenshot Z:\\no\\such\\folder\\x.png",
                            }));
    EXPECT_EQ(captured.out, std::vector<std::string>{"kiv_ClearCanvas -> 0"});
}

TEST_F(Runner, UnloadedPluginIsNotCalled) {
    captured.out.clear();
    EXPECT_FALSE(run("unload\nkiv_ClearCanvas a\nmessage 2\n"));
    EXPECT_FALSE(plugin.ok());
    EXPECT_EQ(captured.out, std::vector<std::string>{"unload"});
    EXPECT_EQ(captured.err.size(), 2u);
    EXPECT_TRUE(g.handed.empty());
}

TEST_F(Runner, ScreenshotCommandWritesTheClientArea) {
    const std::wstring file = tempPath(L"shot.png");
    ASSERT_TRUE(run("window 320 200\nobject a 300 180 40 40\nscreenshot \"" +
                    host::utf8FromWide(file) + "\"\n"));
    host::Picture p;
    ASSERT_TRUE(takePng(file, &p));
    EXPECT_EQ(p.width, 320);
    EXPECT_EQ(p.height, 200);
    EXPECT_EQ(p.at(319, 199), host::OBJECT_COLOUR) << "objects reaching over the edge are cut";
    EXPECT_EQ(p.at(0, 0), host::WINDOW_COLOUR);
}

} // namespace

// Bad input, continued: fonts that cannot be had, objects whose window is
// gone or is none, GDI running out, host callbacks that answer oddly.
#include "tests/win/test_badinput/badinput.h"

using namespace badinput;

namespace {

//--- Fonts ----------------------------------------------------------------------------

TEST_F(Plugged, FontDescriptionsThatMeanTwelvePointArial) {
    canvasObject("a", 160, 40);
    auto draw = [&](const std::string& font) {
        return redrawn("a", TEXT, {"Hola 12", "4", "4", "", "", font});
    };
    const CanvasPixels expected = draw("Arial,12");
    EXPECT_LT(expected.count(WHITE), expected.pixels.size());
    for (const char* font : {"", ",", ",,,,", "Arial", ",12", "Arial,0", "Arial,-5", "Arial,abc",
                             "Arial,12,bi", "Arial,12,x", "Arial, 12", "Arial,12,,B",
                             "Arial,4294967308", "Arial,-2147483648", "Arial,2147483648"}) {
        EXPECT_EQ(draw(font), expected) << font;
    }
}

TEST_F(Plugged, FontsThatCannotBeHadStillReturnOne) {
    canvasObject("a", 160, 60);
    const std::pair<const char*, bool> rows[] = {
        {"NoSuchFontAnywhere,12", true}, // a substitute face
        {"Arial,1", false},              // below a pixel
        {"Arial,100000", false},         // beyond what the rasteriser renders
        {"Arial,100000,BIU", false},
        {"Arial,2147483647", false}, // its pixel height overflows to 1
        {"Arial,2147483647,I", false},
        {"Arial,-1", true}, // 12 points
        {"Liberation Sans,12,BIU", true},
    };
    for (const auto& [font, drawsSomething] : rows) {
        const CanvasPixels s = redrawn("a", TEXT, {"Hola", "2", "2", "", "", font});
        if (drawsSomething) {
            EXPECT_GT(s.count(BLACK), 10u) << font;
        }
    }
}

// Italic text measures its overhang on an "H" thousands of pixels high. The
// canvas looks onto the upper stem of "l": all black upright; italic, the stem leans away.
TEST_F(Plugged, GlyphsFarLargerThanTheCanvas) {
    const int points = sizeof(void*) == 4 ? 800 : 3000;
    const double em = points * 96.0 / 72; // pixels
    const int side = static_cast<int>(0.05 * em);
    // Arial's "l": a stem from 0.07 to 0.16 em across, from 0.18 em below the
    // cell's top to the baseline; the italic one leans right by 0.13 em at its top.
    const std::string x = std::to_string(-static_cast<int>(0.085 * em));
    const std::string y = std::to_string(-static_cast<int>(0.25 * em));
    const std::string size = std::to_string(points);
    HWND upright = canvasObject("upright", side, side);
    HWND italic = canvasObject("italic", side, side);
    EXPECT_EQ(exec(TEXT, {"upright", "l", x, y, "", "", "Arial," + size}), 1);
    EXPECT_EQ(exec(TEXT, {"italic", "l", x, y, "", "", "Arial," + size + ",I"}), 1);
    const size_t all = static_cast<size_t>(side) * side;
    EXPECT_EQ(readCanvas(upright).count(BLACK), all);
    EXPECT_LT(readCanvas(italic).count(BLACK), all / 2);
}

//--- Objects whose window is gone, or is none ------------------------------------------

TEST_F(Plugged, HostRepliesThatAreNoUsableWindow) {
    HWND gone = scene.addObject(0, 0, 50, 50);
    DestroyWindow(gone);
    HWND wide = scene.addObject(0, 100, 40000, 20);
    HWND tall = scene.addObject(0, 100, 20, 40000);
    RECT r{};
    GetClientRect(wide, &r);
    ASSERT_EQ(r.right, 40000) << "the object window really is that wide";
    const std::pair<std::string, Reason> rows[] = {
        {"0", Reason::ObjectUnknown},
        {"", Reason::ObjectUnknown},
        {"abc", Reason::ObjectUnknown},
        {"-1", Reason::ObjectNotWindow},
        {"12345", Reason::ObjectNotWindow},
        {"4294967296", Reason::ObjectUnknown}, // low 32 bits: 0
        {handleText(gone), Reason::ObjectNotWindow},
        {handleText(wide), Reason::NoImage}, // too wide for an image
        {handleText(tall), Reason::NoImage},
        {repeat('9', MEGABYTE), Reason::ObjectNotWindow},
    };
    for (const auto& [reply, reason] : rows) {
        answerWith(reply);
        const std::string what = reply.substr(0, 20);
        EXPECT_EQ(reasonOf(CREATE, {"rect", "$0000FF"}), reason) << what;
        const size_t before = windowQueries(host);
        EXPECT_EQ(exec(CREATE, {"rect", "$0000FF"}), 0) << what;
        // Nothing registered: drawing finds nothing, creating asks again.
        EXPECT_EQ(exec(CLEAR, {"rect"}), 0) << what;
        EXPECT_EQ(exec(CREATE, {"rect", "$0000FF"}), 0) << what;
        EXPECT_EQ(windowQueries(host), before + 2) << what;
        EXPECT_EQ(reasonOf(CLEAR, {"rect"}), Reason::NotACanvas) << what;
    }
    EXPECT_TRUE(canvasWindowsIn(wide).empty()) << "no half-built canvas left behind";
    EXPECT_TRUE(canvasWindowsIn(tall).empty());
}

TEST_F(Plugged, HostRepliesThatNameAWindowInOtherWords) {
    HWND o = scene.addObject(0, 0, 60, 40);
    const uint64_t h = reinterpret_cast<uintptr_t>(o);
    char hex[32];
    std::snprintf(hex, sizeof hex, "$%llX", static_cast<unsigned long long>(h));
    // In hexadecimal, with blanks, a unit or a sign, beyond 32 bits (whose high
    // bits are dropped), and after a megabyte of zeros.
    int i = 0;
    for (const std::string& reply :
         {std::string(hex), "  " + handleText(o), handleText(o) + " px", "+" + handleText(o),
          std::to_string(h + (uint64_t(1) << 32)), repeat('0', MEGABYTE) + handleText(o)}) {
        answerWith(reply);
        const std::string name = "r" + std::to_string(i++);
        EXPECT_EQ(exec(CREATE, {name, "$0000FF"}), 1) << reply.substr(0, 20);
        EXPECT_EQ(canvasWindowsIn(o).size(), static_cast<size_t>(i)) << reply.substr(0, 20);
    }
    EXPECT_EQ(plugin->message(2, 0), 0);
    pumpMessages();
    EXPECT_TRUE(canvasWindowsIn(o).empty());
}

// An object window may be 32767 pixels wide: the canvas draws up to its far edge.
TEST_F(Plugged, LargestObjectStillMakesACanvas) {
    HWND o = canvasObject("long", 32767, 3);
    EXPECT_EQ(exec(CIRCLE, {"long", "32766", "1", "1", "$0000FF"}), 1);
    const CanvasPixels s = readCanvas(o);
    ASSERT_EQ(s.width, 32767);
    EXPECT_EQ(s.at(32765, 1), RED);
    EXPECT_EQ(s.at(32766, 0), RED);
    EXPECT_EQ(s.at(32766, 2), RED);
    EXPECT_EQ(s.count(RED), 3u) << "(32767, 1) lies outside";
}

// The host may name any window, also a canvas: releasing closes the outer
// one first, which takes the inner one along, whose entry still goes cleanly.
TEST_F(Plugged, ACanvasInsideAnotherCanvas) {
    HWND o = canvasObject("outer", 100, 60);
    const std::vector<HWND> outer = canvasWindowsIn(o);
    ASSERT_EQ(outer.size(), 1u);
    host.objects["inner"] = outer[0];
    ASSERT_EQ(exec(CREATE, {"inner", "$0000FF"}), 1);
    HWND picture = FindWindowExW(outer[0], nullptr, L"Static", nullptr);
    ASSERT_NE(picture, nullptr);
    host.objects["innermost"] = picture;
    ASSERT_EQ(exec(CREATE, {"innermost", "$00FF00"}), 1);
    EXPECT_EQ(exec(CIRCLE, {"outer", "50", "30", "20", ""}), 1);
    EXPECT_EQ(exec(CIRCLE, {"inner", "50", "30", "20", ""}), 1);
    EXPECT_EQ(plugin->message(6, 0), 0);
    pumpMessages();
    EXPECT_TRUE(canvasWindowsIn(o).empty());
    for (const char* name : {"outer", "inner", "innermost"}) {
        EXPECT_EQ(exec(CLEAR, {name}), 0) << name;
    }
    // Made again, nested the other way round, and unloaded with it.
    ASSERT_EQ(exec(CREATE, {"outer", ""}), 1);
    host.objects["inner"] = canvasWindowsIn(o)[0];
    ASSERT_EQ(exec(CREATE, {"inner", ""}), 1);
    plugin->unload();
    pumpMessages();
    EXPECT_TRUE(canvasWindowsIn(o).empty());
}

//--- GDI running out ----------------------------------------------------------------

// The actions fail or complete as GDI objects come free one by one, and none
// leaves a half-made canvas, an open pass or a GDI object behind.
TEST_F(Plugged, RunningOutOfGdiObjects) {
    HWND o = object("rect", 60, 40);
    HWND d = canvasObject("drawn", 60, 40);
    ASSERT_EQ(exec(TEXT, {"drawn", "Hola", "1", "1", "", "$FFFFFF", ""}), 1);
    EXPECT_EQ(plugin->message(2, 0), 0);
    pumpMessages();
    const int baseline = gdiHeadroom();
    ASSERT_EQ(exec(CREATE, {"drawn", ""}), 1);

    std::vector<HBRUSH> hog;
    while (HBRUSH b = CreateSolidBrush(0)) {
        hog.push_back(b);
    }
    int created = 0;
    for (int spare = 0; spare <= 40 && !created; ++spare) {
        if (spare) {
            DeleteObject(hog.back());
            hog.pop_back();
        }
        exec(TEXT, {"drawn", "Hola", "1", "1", "", "$FFFFFF", "Arial,20,I"});
        exec(CIRCLE, {"drawn", "30", "20", "10", ""});
        exec(CLEAR, {"drawn"});
        EXPECT_EQ(canvasWindowsIn(d).size(), 1u) << spare;
        created = exec(CREATE, {"rect", "$0000FF"});
        EXPECT_EQ(canvasWindowsIn(o).size(), static_cast<size_t>(created)) << spare;
    }
    for (HBRUSH b : hog) {
        DeleteObject(b);
    }
    EXPECT_EQ(created, 1) << "made once enough objects were free";
    EXPECT_EQ(readCanvas(o).count(RED), 60u * 40u);
    EXPECT_EQ(exec(CIRCLE, {"drawn", "30", "20", "10", "$0000FF"}), 1);
    EXPECT_EQ(readCanvas(d).at(40, 20), RED);
    EXPECT_EQ(plugin->message(2, 0), 0);
    pumpMessages();
    EXPECT_EQ(gdiHeadroom(), baseline) << "every GDI object came back";
}

//--- Host callbacks that answer oddly ----------------------------------------------

// Every way the host can leave command 7's slot: the plug-in frees whatever it
// holds after the call, once, and never a request the host took over.
TEST_F(Plugged, ObjectWindowQueryLeavesNothingBehind) {
    HWND o = object("rect", 40, 30);
    enum Slotting { KEEP_REQUEST, REPLACE, NULL_SLOT };
    struct Row {
        const char* what;
        int result;
        Slotting slotting;
        std::string reply; // for REPLACE; "@" stands for the object's window
        int created;
    };
    const Row rows[] = {
        {"unanswered, request left", 0, KEEP_REQUEST, "", 0},
        {"unanswered, slot replaced", 0, REPLACE, "@", 0},
        {"unanswered, slot emptied", 0, NULL_SLOT, "", 0},
        {"answered, request left in the slot", 1, KEEP_REQUEST, "", 0},
        {"answered with null", 1, NULL_SLOT, "", 0},
        {"answered with the window", 1, REPLACE, "@", 1},
        {"result -1 counts as answered", -1, REPLACE, "@", 1},
        {"result INT_MIN counts as answered", INT_MIN, REPLACE, "@", 1},
        {"answered with an empty string", 1, REPLACE, "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        host::HostString request = nullptr, reply = nullptr;
        host.answer = [&](int command, host::HostString* slot) {
            EXPECT_EQ(command, 7);
            request = *slot;
            if (row.slotting == REPLACE) {
                // Made before the request goes, so the two are told apart.
                reply = host::allocString(row.reply == "@" ? handleText(o) : row.reply);
                host::freeString(*slot); // the host frees the request it replaces
                *slot = reply;
            } else if (row.slotting == NULL_SLOT) {
                host::freeString(*slot);
                *slot = nullptr;
            }
            return row.result;
        };
        {
            GlobalSpy spy(plugin->handle());
            EXPECT_EQ(runAction(*plugin, CREATE, {"rect", ""}, false), row.created);
            ASSERT_EQ(spy.allocated.size(), 1u) << "the request only";
            EXPECT_EQ(spy.allocated[0], request);
            if (row.slotting == KEEP_REQUEST) {
                EXPECT_EQ(spy.timesFreed(request), 1);
                EXPECT_EQ(spy.freed.size(), 1u);
            } else if (row.slotting == REPLACE) {
                EXPECT_EQ(spy.timesFreed(request), 0) << "the host's to free";
                EXPECT_EQ(spy.timesFreed(reply), 1);
                EXPECT_EQ(spy.freed.size(), 1u);
            } else {
                EXPECT_TRUE(spy.freed.empty());
            }
        }
        pumpMessages();
        EXPECT_EQ(canvasWindowsIn(o).size(), static_cast<size_t>(row.created));
        plugin->message(2, 0);
        EXPECT_EQ(reasonOf(CREATE, {"rect", ""}),
                  row.created ? Reason::None : Reason::ObjectUnknown);
        canvas::releaseAllCanvases();
    }
}

} // namespace

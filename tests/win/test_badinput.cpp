// Everything a host or a script can hand to canvas.nbp, sound or not: each row
// states the result and what is left behind; none may crash, hang or leak.
#include "tests/win/test_badinput/badinput.h"

//--- Allocation failures on demand -----------------------------------------------------
// The plug-in's code linked into this program (not the DLL) allocates through these.

namespace badinput {
long g_allocations = 0;
long g_failAt = 0; // 0: never
} // namespace badinput

using namespace badinput;

void* operator new(size_t size) {
    if (g_failAt && ++g_allocations == g_failAt) {
        throw std::bad_alloc();
    }
    if (void* p = HeapAlloc(GetProcessHeap(), 0, size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}

void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void operator delete(void* p) noexcept {
    if (p) {
        HeapFree(GetProcessHeap(), 0, p);
    }
}

void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}

namespace {

const bool g_gdiSpy = watchGdiAroundAllTests();

//--- Parameter arrays ------------------------------------------------------------

TEST_F(Plugged, NullEmptyAndMissingSlotsEndEveryActionAtOnce) {
    object("rect");
    std::vector<int> ids = {INT_MIN, -1, 0, canvas::LAST_ACTION_ID + 1, INT_MAX};
    for (const canvas::ActionDescriptor& action : canvas::ACTIONS) {
        ids.push_back(action.id);
    }
    for (int id : ids) {
        EXPECT_EQ(plugin->execAction(id, nullptr), 0) << "null array, id " << id;
        EXPECT_EQ(plugin->editAction(id, nullptr), 0) << "null array, id " << id;
        EXPECT_EQ(exec(id, Slots(7, NUL)), 0) << "all slots null, id " << id;
        EXPECT_EQ(exec(id, Slots(7, std::string())), 0) << "all slots empty, id " << id;
        EXPECT_EQ(linked.reasonOfNullArray(id), Reason::NoParameters) << id;
        EXPECT_EQ(reasonOf(id, Slots(7, NUL)), Reason::NoName) << id;
        EXPECT_EQ(reasonOf(id, Slots(7, std::string())), Reason::NoName) << id;
        if (!canvas::findAction(id)) {
            EXPECT_EQ(exec(id, {"rect"}), 0) << id;
            EXPECT_EQ(reasonOf(id, {"rect"}), Reason::UnknownAction) << id;
        }
    }
    EXPECT_EQ(windowQueries(host), 0u);
    EXPECT_TRUE(canvasWindowsIn(host.objects["rect"]).empty());
}

TEST_F(Plugged, NullSlotsAfterTheNameReadAsEmptyText) {
    HWND o = object("rect");
    // Null background: white, as the empty text.
    ASSERT_EQ(exec(CREATE, {"rect", NUL}), 1);
    EXPECT_EQ(readCanvas(o).count(WHITE), 120u * 80u);
    // Null x, y, radius, colour: a black dot of radius 0 at (0, 0).
    EXPECT_EQ(exec(CIRCLE, {"rect", NUL, NUL, NUL, NUL}), 1);
    CanvasPixels s = readCanvas(o);
    EXPECT_EQ(s.at(0, 0), BLACK);
    EXPECT_EQ(s.count(BLACK), 1u);
    // Null text and font: the pass runs, nothing shows.
    EXPECT_EQ(exec(TEXT, {"rect", NUL, NUL, NUL, NUL, NUL, NUL}), 1);
    EXPECT_EQ(readCanvas(o), s);
    EXPECT_EQ(exec(CLEAR, {"rect"}), 1);
    EXPECT_EQ(readCanvas(o).count(WHITE), 120u * 80u);
}

//--- Texts of a megabyte ----------------------------------------------------------

TEST_F(Plugged, MegabyteNameTheHostDoesNotKnow) {
    const std::string name = repeat('n', MEGABYTE);
    EXPECT_EQ(exec(CREATE, {name, ""}), 0);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].requestText.size(), MEGABYTE) << "asked with the whole name";
    EXPECT_EQ(exec(CIRCLE, {name, "1", "1", "1", ""}), 0);
    EXPECT_EQ(exec(CREATE, {name, ""}), 0);
    EXPECT_EQ(windowQueries(host), 2u) << "nothing registered: asked again";
}

// Every byte but zero, the five code page 1252 leaves undefined included, in
// a name and a text: the name is found again exactly, one byte more or less finds nothing.
TEST_F(Plugged, EveryByteInNamesAndText) {
    std::string bytes;
    for (int b = 1; b < 256; ++b) {
        bytes += static_cast<char>(b);
    }
    HWND o = object(bytes, 200, 40);
    ASSERT_EQ(exec(CREATE, {bytes, ""}), 1);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].requestText, bytes) << "the host is asked with the very bytes";
    EXPECT_EQ(exec(TEXT, {bytes, bytes, "0", "0", "", "", ""}), 1);
    EXPECT_GT(readCanvas(o).count(BLACK), 50u);
    EXPECT_EQ(exec(CLEAR, {bytes.substr(1)}), 0);
    EXPECT_EQ(exec(CLEAR, {bytes + "\x81"}), 0);
    EXPECT_EQ(exec(CLEAR, {bytes}), 1);
    EXPECT_EQ(readCanvas(o).count(WHITE), 200u * 40u);
}

TEST_F(Plugged, MegabyteNameTheHostKnows) {
    const std::string name = repeat('n', MEGABYTE);
    HWND o = object(name);
    ASSERT_EQ(exec(CREATE, {name, "$0000FF"}), 1);
    EXPECT_EQ(readCanvas(o).count(RED), 120u * 80u);
    EXPECT_EQ(exec(CLEAR, {name}), 1);
    EXPECT_EQ(readCanvas(o).count(WHITE), 120u * 80u);
    EXPECT_EQ(exec(CLEAR, {repeat('n', MEGABYTE - 1) + "m"}), 0) << "differs in the last character";
    EXPECT_EQ(exec(CLEAR, {name + "n"}), 0) << "one character longer";
}

// The number wraps at 64 bits, the colour keeps its low 32, the alpha byte does not show.
TEST_F(Plugged, MegabyteColourTexts) {
    const std::tuple<const char*, std::string, uint32_t> rows[] = {
        {"hexadecimal Fs", "$" + repeat('F', MEGABYTE), WHITE},
        {"binary ones", "%" + repeat('1', MEGABYTE), WHITE},
        {"zeros before 255", repeat('0', MEGABYTE) + "255", RED},
        {"blanks before 255", repeat(' ', MEGABYTE) + "255", RED},
        {"255 and garbage", "255" + repeat('x', MEGABYTE), RED},
        {"garbage", repeat('#', MEGABYTE), BLACK},
    };
    int i = 0;
    for (const auto& [what, colour, shown] : rows) {
        const std::string name = "c" + std::to_string(i++);
        HWND o = object(name, 40, 30);
        EXPECT_EQ(exec(CREATE, {name, colour}), 1) << what;
        EXPECT_EQ(readCanvas(o).count(shown), 40u * 30u) << what;
    }
}

TEST_F(Plugged, MegabyteTextFontAndNumbers) {
    HWND a = canvasObject("a", 200, 60);
    HWND b = canvasObject("b", 200, 60);
    // A megabyte of text: drawn as far as the canvas reaches.
    EXPECT_EQ(exec(TEXT, {"a", repeat('W', MEGABYTE), "0", "0", "", "", ""}), 1);
    EXPECT_EQ(exec(TEXT, {"b", "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", "0", "0", "", "", ""}), 1);
    EXPECT_EQ(readCanvas(a), readCanvas(b));
    EXPECT_GT(readCanvas(a).count(BLACK), 100u);
    // Starting a megabyte-wide text far left shows only its end.
    EXPECT_EQ(exec(TEXT, {"a", repeat('W', MEGABYTE), "-2147483648", "0", "", "", ""}), 1);
    EXPECT_EQ(readCanvas(a), readCanvas(b));

    // Megabyte fonts and numbers that mean the same as short ones draw the same.
    const std::tuple<const char*, Slots, Slots> rows[] = {
        {"face of a megabyte",
         {"Hola", "5", "5", "", "", repeat('A', MEGABYTE) + ",14"},
         {"Hola", "5", "5", "", "", repeat('A', 31) + ",14"}},
        {"size with a megabyte of zeros",
         {"Hola", "5", "5", "", "", "Arial," + repeat('0', MEGABYTE) + "14"},
         {"Hola", "5", "5", "", "", "Arial,14"}},
        {"style of a megabyte",
         {"Hola", "5", "5", "", "", "Arial,14," + repeat('x', MEGABYTE) + "B"},
         {"Hola", "5", "5", "", "", "Arial,14,B"}},
        {"coordinates with a megabyte of zeros",
         {"Hola", repeat('0', MEGABYTE) + "7", repeat('0', MEGABYTE) + "9", "", "", ""},
         {"Hola", "7", "9", "", "", ""}},
        {"colours of a megabyte",
         {"Hola", "5", "5", repeat('0', MEGABYTE) + "255", "%" + repeat('1', MEGABYTE), ""},
         {"Hola", "5", "5", "255", "$FFFFFF", ""}},
    };
    for (const auto& [what, big, small] : rows) {
        SCOPED_TRACE(what);
        const CanvasPixels pa = redrawn("a", TEXT, big);
        EXPECT_EQ(pa, redrawn("b", TEXT, small));
        EXPECT_LT(pa.count(WHITE), pa.pixels.size()) << "something was drawn";
    }
}

// In the 32-bit product the host string takes the largest block there is, so its
// UTF-16 copy, twice as large, cannot be had: no exception may unwind into the host.
TEST_F(Plugged, SlotTooLargeToReadEndsTheCallWithZero) {
    if (sizeof(void*) != 4) {
        GTEST_SKIP() << "a 64-bit process would read it";
    }
    host::HostString huge = nullptr;
    SIZE_T bytes = SIZE_T(1536) << 20;
    for (; !huge && bytes >= (SIZE_T(128) << 20); bytes -= SIZE_T(16) << 20) {
        huge = static_cast<host::HostString>(GlobalAlloc(0, bytes + 1));
        if (huge) {
            std::memset(huge, 'n', bytes);
            huge[bytes] = '\0';
        }
    }
    ASSERT_NE(huge, nullptr);
    HWND o = object("rect");
    host::HostString name = host::allocString("rect");
    host::HostString clearHuge[] = {huge};
    EXPECT_EQ(plugin->execAction(CLEAR, clearHuge), 0) << "as the name";
    host::HostString createHuge[] = {name, huge};
    EXPECT_EQ(plugin->execAction(CREATE, createHuge), 0) << "as the background colour";
    GlobalFree(huge);
    pumpMessages();
    EXPECT_TRUE(canvasWindowsIn(o).empty());
    EXPECT_TRUE(host.calls.empty());
    host::freeString(name);
    ASSERT_EQ(exec(CREATE, {"rect", ""}), 1);
    EXPECT_EQ(exec(TEXT, {"rect", "Hola", "1", "1", "", "", ""}), 1);
}

//--- Numbers: every conversion edge, the 32-bit limits ---------------------------

// Each row draws one circle on a white canvas, exactly as its class's first row.
TEST_F(Plugged, CircleParametersThatMeanTheSame) {
    canvasObject("a");
    const std::pair<Slots, std::vector<Slots>> classes[] = {
        {{"30", "20", "10", "$0000FF"},
         {
             {"+30", "20", "10", "$0000FF"},
             {" \t30", "20", "10", "$0000FF"},
             {"30px", "20.9", "10e5", "$0000FF"},
             {"$1E", "%10100", "$a", "$0000FF"},
             {"0000030", "20", "10", "$0000FF"},
             {"4294967326", "20", "10", "$0000FF"},           // 2^32 + 30
             {"-4294967266", "20", "10", "$0000FF"},          // -2^32 + 30
             {"18446744073709551646", "20", "10", "$0000FF"}, // 2^64 + 30
             {"30", "20", "4294967306", "$0000FF"},           // 2^32 + 10
             {"30", "20", "10", "255"},
             {"30", "20", "10", "$FF"},
             {"30", "20", "10", " $0000FF"},
             {"30", "20", "10", "$0000ff"},
             {"30", "20", "10", "-4294967041"}, // low 32 bits: 255
             {"30", "20", "10", "4278190335"},  // 0xFF0000FF: the alpha byte does not show
             {"30", "20", "10", "$0G0HFF"},     // pair by pair: 00, 00, FF
         }},
        // Not a number, or a blank after the sign: 0.
        {{"0", "0", "5", ""},
         {
             {"- 30", "abc", "5", ""},
             {"0x1E", "", "5", "#0000FF"},
             {"--30", "$", "5", "%2"},
             {"", "%", "5", "$GG0000"},
         }},
        // Radius 1, also as 2^32 + 1 and with the sign's leading blanks.
        {{"30", "20", "1", "$0000FF"},
         {
             {"30", "20", "4294967297", "$0000FF"},
             {"30", "20", "  +1", "$0000FF"},
             {"30", "20", "-18446744073709551615", "$0000FF"}, // -(2^64 - 1) wraps to 1
         }},
        // Negative radii, and radii that wrap to negative, draw nothing.
        {{"30", "20", "-1", "$0000FF"},
         {
             {"30", "20", "-2147483648", "$0000FF"},
             {"30", "20", "2147483648", "$0000FF"}, // wraps to -2^31
             {"30", "20", "4294967295", "$0000FF"}, // wraps to -1
             {"2147483647", "2147483647", "2147483647", "$0000FF"},
             {"-2147483648", "40", "2147483647", "$0000FF"}, // reaches x = -1 only
             {"-2147483648", "-2147483648", "2147483647", "$0000FF"},
         }},
    };
    for (const auto& [first, same] : classes) {
        const CanvasPixels expected = redrawn("a", CIRCLE, first);
        for (const Slots& s : same) {
            EXPECT_EQ(redrawn("a", CIRCLE, s), expected) << scriptLine(CIRCLE, s);
        }
    }
    EXPECT_EQ(redrawn("a", CIRCLE, {"30", "20", "-1", "$0000FF"}).count(WHITE), 120u * 80u);
}

// Outlines that just reach the canvas: computed without overflow, clipped, straight.
TEST_F(Plugged, CirclesFromTheEndsOfTheRange) {
    canvasObject("a");
    // Each reaches the canvas as the edge column x = at, or row y = at; -1: none.
    const std::tuple<const char*, const char*, const char*, const char*, char, int> rows[] = {
        {"centre far left", "-2147483597", "40", "2147483647", 'x', 50},
        {"centre 2147483648 wraps to the far left", "2147483648", "40", "2147483647", 'x', -1},
        {"centre -2147483649 wraps to the far right", "-2147483649", "40", "2147483647", 'x', 0},
        {"centre 2147483677 wraps to the far top", "60", "2147483677", "2147483647", 'y', 28},
        {"centre far below", "60", "2147483647", "2147483568", 'y', 79},
    };
    for (const auto& [what, x, y, r, edge, at] : rows) {
        SCOPED_TRACE(std::string(what) + ", edge at " + edge + " = " + std::to_string(at));
        const CanvasPixels s = redrawn("a", CIRCLE, {x, y, r, "$0000FF"});
        const bool column = edge == 'x';
        const size_t expectedRed = at < 0 ? 0 : column ? 80 : 120;
        for (int i = 0; i < static_cast<int>(expectedRed); ++i) {
            EXPECT_EQ(column ? s.at(at, i) : s.at(i, at), RED);
        }
        EXPECT_EQ(s.count(RED), expectedRed);
        EXPECT_EQ(s.count(WHITE), s.pixels.size() - expectedRed);
    }
}

TEST_F(Plugged, TextAtTheEndsOfTheRangeDrawsNothing) {
    HWND a = canvasObject("a");
    const char* const coordinates[][2] = {
        {"2147483647", "0"},  {"-2147483648", "0"}, {"0", "2147483647"},
        {"0", "-2147483648"}, {"2147483648", "0"},  {"0", "-2147483649"},
        {"120", "0"},         {"0", "80"},          {"-2147483648", "-2147483648"},
    };
    for (auto& xy : coordinates) {
        EXPECT_EQ(exec(TEXT, {"a", "Hola mundo", xy[0], xy[1], "", "$000000", ""}), 1)
            << xy[0] << "," << xy[1];
        EXPECT_EQ(readCanvas(a).count(WHITE), 120u * 80u) << xy[0] << "," << xy[1];
    }
}

} // namespace

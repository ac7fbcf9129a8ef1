// Everything a host or a script can hand to canvas.nbp, sound or not: null
// and garbage parameter slots, texts of a megabyte, numbers at and beyond
// the 32-bit limits, fonts that cannot be had, host replies that are no
// window, callbacks that answer oddly, exports called in any order, and
// the DLL unloaded under live canvases and loaded again. Each row states
// the result and what is left behind; none may crash, hang or leak.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/gdi_win.h"
#include "canvas/action_table.h"
#include "canvas/actions_win.h"
#include "draw/drawpass_win.h"
#include "draw/font_win.h"
#include "draw/image_win.h"
#include "draw/picture_win.h"
#include "host/host_win.h"
#include "plugin/plugin_win.h"
#include "tests/win/support/canvas_probe.h"
#include "tests/win/support/global_spy.h"
#include "tests/win/support/host_scene.h"
#include "tests/win/support/import_patch.h"
#include "tests/win/support/linked_plugin.h"
#include "tests/win/support/processes.h"
#include "tests/win/support/subclass_spy.h"
#include "tests/win/support/ui_driver.h"
#include "ui/toolkit_win.h"

//--- Allocation failures on demand -----------------------------------------------------
// The plug-in's code linked into this program (not the loaded DLL, which has
// its own runtime) takes its memory through these. When armed, the n-th
// allocation from then on fails as it would when memory runs out.

namespace {
long g_allocations = 0;
long g_failAt = 0; // 0: never
} // namespace

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

constexpr size_t MEGABYTE = 1 << 20;

using Reason = canvas::ActionFailure;

std::string repeat(char c, size_t n) {
    return std::string(n, c);
}

std::string handleText(HWND w) {
    return std::to_string(reinterpret_cast<uintptr_t>(w));
}

// The plug-in loaded and connected to a host with one scene of objects.
class Plugged : public PluggedHost {
  protected:
    HWND object(const std::string& name, int w = 120, int h = 80) {
        HWND o = scene.addObject(host, name, x_, 0, w, h);
        x_ = (x_ + w + 10) % 1400;
        return o;
    }

    // The same call as exec on the linked copy, for the reason of its result.
    Reason reasonOf(int id, const Slots& slots) { return linked.reasonOf(id, slotTexts(slots)); }

    LinkedPlugin linked;

  private:
    int x_ = 0;
};

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

// Every byte value but zero in a name and in the text, the five that code
// page 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) included: the
// name is found again exactly, and one byte more or less finds nothing.
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
    std::string other = name;
    other.back() = 'm';
    EXPECT_EQ(exec(CLEAR, {other}), 0) << "differs in the last character";
    EXPECT_EQ(exec(CLEAR, {name + "n"}), 0) << "one character longer";
}

// Colour texts of a megabyte: the number wraps at 64 bits, the colour
// keeps its low 32 bits, and the alpha byte does not show.
TEST_F(Plugged, MegabyteColourTexts) {
    struct Row {
        const char* what;
        std::string colour;
        uint32_t shown;
    };
    const Row rows[] = {
        {"hexadecimal Fs", "$" + repeat('F', MEGABYTE), WHITE},
        {"binary ones", "%" + repeat('1', MEGABYTE), WHITE},
        {"zeros before 255", repeat('0', MEGABYTE) + "255", RED},
        {"blanks before 255", repeat(' ', MEGABYTE) + "255", RED},
        {"255 and garbage", "255" + repeat('x', MEGABYTE), RED},
        {"garbage", repeat('#', MEGABYTE), BLACK},
    };
    int i = 0;
    for (const Row& row : rows) {
        const std::string name = "c" + std::to_string(i++);
        HWND o = object(name, 40, 30);
        EXPECT_EQ(exec(CREATE, {name, row.colour}), 1) << row.what;
        EXPECT_EQ(readCanvas(o).count(row.shown), 40u * 30u) << row.what;
    }
}

TEST_F(Plugged, MegabyteTextFontAndNumbers) {
    HWND a = object("a", 200, 60);
    HWND b = object("b", 200, 60);
    ASSERT_EQ(exec(CREATE, {"a", ""}), 1);
    ASSERT_EQ(exec(CREATE, {"b", ""}), 1);
    // A megabyte of text: drawn as far as the canvas reaches.
    EXPECT_EQ(exec(TEXT, {"a", repeat('W', MEGABYTE), "0", "0", "", "", ""}), 1);
    EXPECT_EQ(exec(TEXT, {"b", "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", "0", "0", "", "", ""}), 1);
    EXPECT_EQ(readCanvas(a), readCanvas(b));
    EXPECT_GT(readCanvas(a).count(BLACK), 100u);
    // Starting a megabyte-wide text far left shows only its end.
    EXPECT_EQ(exec(TEXT, {"a", repeat('W', MEGABYTE), "-2147483648", "0", "", "", ""}), 1);
    EXPECT_EQ(readCanvas(a), readCanvas(b));

    // Font descriptions and numbers of a megabyte that mean the same as short
    // ones draw the same pixels.
    struct Row {
        const char* what;
        Slots big;
        Slots small;
    };
    const Row rows[] = {
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
    for (const Row& row : rows) {
        ASSERT_EQ(exec(CLEAR, {"a"}), 1);
        ASSERT_EQ(exec(CLEAR, {"b"}), 1);
        Slots big = row.big, small = row.small;
        big.insert(big.begin(), Slot("a"));
        small.insert(small.begin(), Slot("b"));
        EXPECT_EQ(exec(TEXT, big), 1) << row.what;
        EXPECT_EQ(exec(TEXT, small), 1) << row.what;
        const CanvasPixels pa = readCanvas(a);
        EXPECT_EQ(pa, readCanvas(b)) << row.what;
        EXPECT_LT(pa.count(WHITE), pa.pixels.size()) << row.what << ": something was drawn";
    }
}

// A slot larger than the plug-in can hold as UTF-16 text. In the 32-bit
// product the address space runs out first: the host string takes the
// largest block there is, so its UTF-16 copy, twice as large, cannot be had.
// The call ends with 0, nothing else happens, and the plug-in stays usable.
// (No exception may unwind into a host, which could not catch it.)
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

// Each row draws one circle on a fresh white canvas; rows of one class must
// show exactly the same pixels as its first row.
TEST_F(Plugged, CircleParametersThatMeanTheSame) {
    HWND a = object("a", 120, 80);
    ASSERT_EQ(exec(CREATE, {"a", ""}), 1);
    auto draw = [&](const Slots& args) {
        EXPECT_EQ(exec(CLEAR, {"a"}), 1);
        Slots slots = args;
        slots.insert(slots.begin(), Slot("a"));
        EXPECT_EQ(exec(CIRCLE, slots), 1);
        return readCanvas(a);
    };
    struct Class {
        Slots first;
        std::vector<Slots> same;
    };
    const Class classes[] = {
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
    for (const Class& c : classes) {
        const CanvasPixels expected = draw(c.first);
        for (const Slots& s : c.same) {
            EXPECT_EQ(draw(s), expected) << s[0].c_str() << " " << s[1].c_str() << " "
                                         << s[2].c_str() << " " << s[3].c_str();
        }
    }
    const CanvasPixels blank = draw({"30", "20", "-1", "$0000FF"});
    EXPECT_EQ(blank.count(WHITE), 120u * 80u);
}

// Circles from the far ends of the 32-bit range whose outline just reaches
// the canvas: computed without overflow, clipped, and drawn as the almost
// straight edge they are there.
TEST_F(Plugged, CirclesFromTheEndsOfTheRange) {
    HWND a = object("a", 120, 80);
    ASSERT_EQ(exec(CREATE, {"a", ""}), 1);
    struct Row {
        const char* what;
        Slots args;
        bool column; // the edge is a column (else a row)
        int at;
    };
    const Row rows[] = {
        {"centre far left, rightmost point at x = 50",
         {"-2147483597", "40", "2147483647", "$0000FF"},
         true,
         50},
        {"centre 2147483648 wraps to the far left",
         {"2147483648", "40", "2147483647", "$0000FF"},
         true,
         -1},
        {"centre -2147483649 wraps to the far right, leftmost point at x = 0",
         {"-2147483649", "40", "2147483647", "$0000FF"},
         true,
         0},
        {"centre 2147483677 wraps to the far top, lowest point at y = 28",
         {"60", "2147483677", "2147483647", "$0000FF"},
         false,
         28},
        {"centre far below, topmost point at y = 79",
         {"60", "2147483647", "2147483568", "$0000FF"},
         false,
         79},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(exec(CLEAR, {"a"}), 1);
        Slots slots = row.args;
        slots.insert(slots.begin(), Slot("a"));
        EXPECT_EQ(exec(CIRCLE, slots), 1) << row.what;
        const CanvasPixels s = readCanvas(a);
        size_t expectedRed = 0;
        if (row.at >= 0) {
            expectedRed = row.column ? 80 : 120;
            for (int i = 0; i < (row.column ? 80 : 120); ++i) {
                EXPECT_EQ(row.column ? s.at(row.at, i) : s.at(i, row.at), RED) << row.what;
            }
        }
        EXPECT_EQ(s.count(RED), expectedRed) << row.what;
        EXPECT_EQ(s.count(WHITE), s.pixels.size() - expectedRed) << row.what;
    }
}

TEST_F(Plugged, TextAtTheEndsOfTheRangeDrawsNothing) {
    HWND a = object("a", 120, 80);
    ASSERT_EQ(exec(CREATE, {"a", ""}), 1);
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

//--- Fonts ----------------------------------------------------------------------------

TEST_F(Plugged, FontDescriptionsThatMeanTwelvePointArial) {
    HWND a = object("a", 160, 40);
    ASSERT_EQ(exec(CREATE, {"a", ""}), 1);
    auto draw = [&](const std::string& font) {
        EXPECT_EQ(exec(CLEAR, {"a"}), 1);
        EXPECT_EQ(exec(TEXT, {"a", "Hola 12", "4", "4", "", "", font}), 1) << font;
        return readCanvas(a);
    };
    const CanvasPixels expected = draw("Arial,12");
    EXPECT_LT(expected.count(WHITE), expected.pixels.size());
    const char* const same[] = {
        "",
        ",",
        ",,,,",
        "Arial",
        ",12",
        "Arial,0",
        "Arial,-5",
        "Arial,abc",
        "Arial,12,bi",
        "Arial,12,x",
        "Arial, 12",
        "Arial,12,,B",
        "Arial,4294967308",
        "Arial,-2147483648",
        "Arial,2147483648",
    };
    for (const char* font : same) {
        EXPECT_EQ(draw(font), expected) << font;
    }
}

TEST_F(Plugged, FontsThatCannotBeHadStillReturnOne) {
    HWND a = object("a", 160, 60);
    ASSERT_EQ(exec(CREATE, {"a", ""}), 1);
    struct Row {
        const char* font;
        bool drawsSomething;
    };
    const Row rows[] = {
        {"NoSuchFontAnywhere,12", true}, // a substitute face
        {"Arial,1", false},              // below a pixel
        {"Arial,100000", false},         // beyond what the rasteriser renders
        {"Arial,100000,BIU", false},
        {"Arial,2147483647", false}, // its pixel height overflows to 1
        {"Arial,2147483647,I", false},
        {"Arial,-1", true}, // 12 points
        {"Liberation Sans,12,BIU", true},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(exec(CLEAR, {"a"}), 1);
        EXPECT_EQ(exec(TEXT, {"a", "Hola", "2", "2", "", "", row.font}), 1) << row.font;
        if (row.drawsSomething) {
            EXPECT_GT(readCanvas(a).count(BLACK), 10u) << row.font;
        }
    }
}

// Glyphs far larger than the canvas, upright and italic (whose overhang is
// then measured on an "H" thousands of pixels high). The canvas looks onto
// the upper stem of "l": all black upright; slanted, the stem has
// moved to the right at that height.
TEST_F(Plugged, GlyphsFarLargerThanTheCanvas) {
    const int points = sizeof(void*) == 4 ? 800 : 3000;
    const double em = points * 96.0 / 72; // pixels
    const int side = static_cast<int>(0.05 * em);
    // The stem of Arial's "l" runs from about 0.07 to 0.16 em across and
    // from 0.18 em below the top of the text cell down to its baseline; the
    // italic one leans right, by some 0.13 em near its top.
    const std::string x = std::to_string(-static_cast<int>(0.085 * em));
    const std::string y = std::to_string(-static_cast<int>(0.25 * em));
    const std::string size = std::to_string(points);
    HWND upright = object("upright", side, side);
    HWND italic = object("italic", side, side);
    ASSERT_EQ(exec(CREATE, {"upright", ""}), 1);
    ASSERT_EQ(exec(CREATE, {"italic", ""}), 1);
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
    struct Row {
        std::string reply;
        Reason reason;
    };
    const Row rows[] = {
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
    for (const Row& row : rows) {
        const std::string& reply = row.reply;
        host.answer = [&](int, host::HostString* slot) {
            host::freeString(*slot);
            *slot = host::allocString(reply);
            return 1;
        };
        EXPECT_EQ(reasonOf(CREATE, {"rect", "$0000FF"}), row.reason) << reply.substr(0, 20);
        const size_t before = windowQueries(host);
        EXPECT_EQ(exec(CREATE, {"rect", "$0000FF"}), 0) << reply.substr(0, 20);
        // Nothing registered: drawing finds nothing, creating asks again.
        EXPECT_EQ(exec(CLEAR, {"rect"}), 0) << reply.substr(0, 20);
        EXPECT_EQ(exec(CREATE, {"rect", "$0000FF"}), 0) << reply.substr(0, 20);
        EXPECT_EQ(windowQueries(host), before + 2) << reply.substr(0, 20);
        EXPECT_EQ(reasonOf(CLEAR, {"rect"}), Reason::NotACanvas) << reply.substr(0, 20);
    }
    EXPECT_TRUE(canvasWindowsIn(wide).empty()) << "no half-built canvas left behind";
    EXPECT_TRUE(canvasWindowsIn(tall).empty());
}

TEST_F(Plugged, HostRepliesThatNameAWindowInOtherWords) {
    HWND o = scene.addObject(0, 0, 60, 40);
    const uint64_t h = reinterpret_cast<uintptr_t>(o);
    char hex[32];
    std::snprintf(hex, sizeof hex, "$%llX", static_cast<unsigned long long>(h));
    const std::string replies[] = {
        hex,
        "  " + handleText(o),
        handleText(o) + " px",
        "+" + handleText(o),
        std::to_string(h + (uint64_t(1) << 32)), // high bits dropped
        repeat('0', MEGABYTE) + handleText(o),
    };
    int i = 0;
    for (const std::string& reply : replies) {
        host.answer = [&](int, host::HostString* slot) {
            host::freeString(*slot);
            *slot = host::allocString(reply);
            return 1;
        };
        const std::string name = "r" + std::to_string(i++);
        EXPECT_EQ(exec(CREATE, {name, "$0000FF"}), 1) << reply.substr(0, 20);
        EXPECT_EQ(canvasWindowsIn(o).size(), static_cast<size_t>(i)) << reply.substr(0, 20);
    }
    EXPECT_EQ(plugin->message(2, 0), 0);
    pumpMessages();
    EXPECT_TRUE(canvasWindowsIn(o).empty());
}

// The object window must be at most 32767 pixels each way: the largest
// still makes a canvas, which draws up to its far edge.
TEST_F(Plugged, LargestObjectStillMakesACanvas) {
    HWND o = object("long", 32767, 3);
    ASSERT_EQ(exec(CREATE, {"long", ""}), 1);
    EXPECT_EQ(exec(CIRCLE, {"long", "32766", "1", "1", "$0000FF"}), 1);
    const CanvasPixels s = readCanvas(o);
    ASSERT_EQ(s.width, 32767);
    EXPECT_EQ(s.at(32765, 1), RED);
    EXPECT_EQ(s.at(32766, 0), RED);
    EXPECT_EQ(s.at(32766, 2), RED);
    EXPECT_EQ(s.count(RED), 3u) << "(32767, 1) lies outside";
}

// Canvases inside canvases: the host may name any window, also one the
// plug-in made. Releasing closes the outer window first, which takes the
// inner one with it; the inner entry must still be released cleanly.
TEST_F(Plugged, ACanvasInsideAnotherCanvas) {
    HWND o = object("outer", 100, 60);
    ASSERT_EQ(exec(CREATE, {"outer", ""}), 1);
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

// With GDI out of objects (some other part of the host took them all), the
// actions fail or complete as objects come free one by one; none leaves a
// half-made canvas, an open pass or a single GDI object behind.
TEST_F(Plugged, RunningOutOfGdiObjects) {
    HWND o = object("rect", 60, 40);
    HWND d = object("drawn", 60, 40);
    ASSERT_EQ(exec(CREATE, {"drawn", ""}), 1);
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

// Every way the host can leave command 7's slot, and who frees what: the
// plug-in frees whatever the slot holds after the call, once, and never
// the request the host took over.
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
            ASSERT_TRUE(spy.ok());
            host::Params p({"rect", ""});
            EXPECT_EQ(plugin->execAction(CREATE, p.data()), row.created) << row.what;
            ASSERT_EQ(spy.allocated.size(), 1u) << row.what << ": the request only";
            EXPECT_EQ(spy.allocated[0], request) << row.what;
            if (row.slotting == KEEP_REQUEST) {
                EXPECT_EQ(spy.timesFreed(request), 1) << row.what;
                EXPECT_EQ(spy.freed.size(), 1u) << row.what;
            } else if (row.slotting == REPLACE) {
                EXPECT_EQ(spy.timesFreed(request), 0) << row.what << ": the host's to free";
                EXPECT_EQ(spy.timesFreed(reply), 1) << row.what;
                EXPECT_EQ(spy.freed.size(), 1u) << row.what;
            } else {
                EXPECT_TRUE(spy.freed.empty()) << row.what;
            }
        }
        pumpMessages();
        EXPECT_EQ(canvasWindowsIn(o).size(), static_cast<size_t>(row.created)) << row.what;
        plugin->message(2, 0);
        EXPECT_EQ(reasonOf(CREATE, {"rect", ""}),
                  row.created ? Reason::None : Reason::ObjectUnknown)
            << row.what;
        canvas::releaseAllCanvases();
    }
}

//--- Exports in every order -----------------------------------------------------------

TEST(Exports, EveryOrderWorksWithWhatExists) {
    HostScene scene;
    host::Host host;
    HWND o = scene.addObject(host, "rect", 0, 0, 40, 30);
    host::PluginModule plugin(L"canvas.nbp");
    ASSERT_TRUE(plugin.ok());
    // Nothing registered yet: no host to ask, nothing to draw on.
    EXPECT_EQ(plugin.message(2, 0), 0);
    EXPECT_EQ(plugin.message(6, 0), 0);
    EXPECT_EQ(runAction(plugin, CREATE, {"rect", ""}), 0);
    EXPECT_EQ(runAction(plugin, CIRCLE, {"rect", "1", "1", "1", ""}), 0);
    EXPECT_EQ(plugin.registerScriptProcessor(reinterpret_cast<void*>(-1)), 0);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(canvasWindowsIn(o).empty());

    // The callback alone is enough for canvases.
    EXPECT_EQ(plugin.registerInterfaceAccess(&host::Host::interfaceProc), 0);
    EXPECT_EQ(runAction(plugin, CREATE, {"rect", ""}), 1);
    EXPECT_EQ(runAction(plugin, CIRCLE, {"rect", "1", "1", "1", ""}), 1);
    // Switched off again: existing canvases still draw, new ones cannot be made.
    EXPECT_EQ(plugin.registerInterfaceAccess(nullptr), 0);
    EXPECT_EQ(runAction(plugin, CLEAR, {"rect"}), 1);
    scene.addObject(host, "other", 50, 0, 40, 30);
    EXPECT_EQ(runAction(plugin, CREATE, {"other", ""}), 0);
    EXPECT_EQ(plugin.registerInterfaceAccess(&host::Host::interfaceProc), 0);
    EXPECT_EQ(runAction(plugin, CREATE, {"other", ""}), 1);

    // Registration after canvases exist and after a release, twice, with a
    // null callback between.
    EXPECT_EQ(plugin.message(6, 0), 0);
    EXPECT_EQ(runAction(plugin, CREATE, {"rect", ""}), 1);
    EXPECT_EQ(runAction(plugin, CREATE, {"other", ""}), 1);
    EXPECT_EQ(plugin.registerPlugIn(nullptr, 0, 0, 0), 0);
    EXPECT_EQ(plugin.registerPlugIn(&host::Host::addActionProc, 0, 0, 0), 0);
    EXPECT_EQ(plugin.registerPlugIn(&host::Host::addActionProc, 1, 2, 3), 0);
    const size_t actionCount = canvas::ACTION_COUNT;
    EXPECT_EQ(host.actions.size(), 2 * actionCount);
    host::HostString t1 = nullptr, t2 = nullptr;
    EXPECT_EQ(plugin.initPlugIn(0, &t1, nullptr, nullptr), 0);
    EXPECT_EQ(plugin.initPlugIn(0, &t2, nullptr, nullptr), 0);
    EXPECT_NE(t1, t2);
    EXPECT_STREQ(t1, "KivCanvas 2D (Final)") << "an earlier string stays valid";
    EXPECT_EQ(runAction(plugin, CLEAR, {"rect"}), 1) << "canvases survive registration";

    // The latest set is freed at unload, each string once; the earlier set
    // stays with the host.
    std::vector<const void*> latest = {t2};
    for (size_t i = actionCount; i < 2 * actionCount; ++i) {
        latest.push_back(host.actions[i].namePtr);
        latest.push_back(host.actions[i].hintPtr);
    }
    // Author and description of the latest _nbInitPlugIn call, too.
    const std::vector<void*> freed = unloadFreeingEachOnce(plugin, latest);
    EXPECT_EQ(std::count(freed.begin(), freed.end(), t1), 0);
    EXPECT_EQ(std::count(freed.begin(), freed.end(), host.actions[0].namePtr), 0);
    EXPECT_STREQ(t1, "KivCanvas 2D (Final)");
}

TEST(Exports, UnloadWithoutAnyCallFreesNothing) {
    host::PluginModule plugin(L"canvas.nbp");
    ASSERT_TRUE(plugin.ok());
    GlobalSpy spy(plugin.handle());
    ASSERT_TRUE(spy.ok());
    spy.moduleUnloading();
    plugin.unload();
    EXPECT_TRUE(spy.freed.empty());
    EXPECT_TRUE(spy.allocated.empty());
}

//--- Unloading under live canvases, and loading again -----------------------------------

TEST_F(Plugged, UnloadAndReloadUnderLiveAndOrphanedCanvases) {
    // What GDI has free without the plug-in loaded at all.
    plugin.reset();
    const int unloaded = gdiHeadroom();
    // AlphaBlend's library is loaded on first need, never under the loader
    // lock at attach, and kept at the unload: nothing is freed there either.
    const bool hadMsimg32 = GetModuleHandleW(L"msimg32.dll") != nullptr;
    load();
    EXPECT_EQ(GetModuleHandleW(L"msimg32.dll") != nullptr, hadMsimg32) << "not loaded at attach";
    HWND kept = object("kept", 60, 40);
    HWND orphan = object("orphan", 60, 40);
    HWND doomed = object("doomed", 60, 40);
    for (const char* name : {"kept", "orphan", "doomed"}) {
        ASSERT_EQ(exec(CREATE, {name, "$0000FF"}), 1);
    }
    DestroyWindow(orphan);
    pumpMessages();
    EXPECT_EQ(exec(CIRCLE, {"orphan", "5", "5", "5", ""}), 1) << "drawn into its image";

    const HMODULE msimg32 = GetModuleHandleW(L"msimg32.dll");
    EXPECT_NE(msimg32, nullptr) << "loaded by the first picture";
    std::vector<std::wstring> classes;
    for (HWND o : {kept, doomed}) {
        wchar_t name[64] = {};
        GetClassNameW(canvasWindowIn(o), name, 64);
        classes.push_back(name);
    }
    const HMODULE module = plugin->handle();

    unloadFreeingEachOnce(*plugin, registrationStrings(host));
    EXPECT_TRUE(canvasWindowsIn(kept).empty());
    EXPECT_TRUE(canvasWindowsIn(doomed).empty());
    EXPECT_EQ(gdiHeadroom(), unloaded) << "every GDI object the plug-in made is gone";
    for (const std::wstring& name : classes) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        EXPECT_FALSE(GetClassInfoExW(module, name.c_str(), &wc)) << "a class left registered";
    }
    EXPECT_EQ(GetModuleHandleW(L"msimg32.dll"), msimg32) << "kept by the unload";
    // The host goes on: its windows paint, and are destroyed, without the
    // plug-in's code behind any of them.
    RedrawWindow(scene.main(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    DestroyWindow(doomed);
    pumpMessages();

    // Loaded again: it knows no canvas, asks the host anew, and draws.
    load();
    EXPECT_EQ(host.actions.size(), static_cast<size_t>(canvas::ACTION_COUNT));
    const size_t asked = windowQueries(host);
    EXPECT_EQ(exec(CLEAR, {"kept"}), 0);
    EXPECT_EQ(exec(CREATE, {"kept", ""}), 1);
    EXPECT_EQ(windowQueries(host), asked + 1);
    EXPECT_EQ(exec(CIRCLE, {"kept", "30", "20", "10", "$0000FF"}), 1);
    const CanvasPixels s = readCanvas(kept);
    EXPECT_EQ(s.at(40, 20), RED);
    EXPECT_EQ(s.at(30, 20), WHITE);
    scene.addObject(host, "orphan", 0, 300, 30, 20);
    EXPECT_EQ(exec(CREATE, {"orphan", ""}), 1);
    EXPECT_EQ(canvasWindowsIn(host.objects["orphan"]).size(), 1u);
}

// The host destroys its main window, and with it every object and canvas
// window, before telling the plug-in anything.
TEST_F(Plugged, HostWindowGoneBeforeTheRelease) {
    object("a", 40, 30);
    object("b", 40, 30);
    ASSERT_EQ(exec(CREATE, {"a", ""}), 1);
    ASSERT_EQ(exec(CREATE, {"b", ""}), 1);
    DestroyWindow(scene.main());
    pumpMessages();
    EXPECT_EQ(exec(TEXT, {"a", "Hola", "1", "1", "", "", ""}), 1);
    EXPECT_EQ(plugin->message(6, 0), 0);
    EXPECT_EQ(exec(CLEAR, {"a"}), 0);
    EXPECT_EQ(exec(CREATE, {"a", ""}), 0) << "its window is gone for good";
}

//--- The process ending under live canvases --------------------------------------------

// At process exit the system reclaims everything, and other threads and
// DLLs may already be gone: the plug-in releases nothing then, neither from
// its DllMain nor from destructors the C runtime runs at detach. The child
// below ends its process from inside a kiv_DrawText, with canvases on
// screen, the strings handed to the host, the text's font loaded and the
// pass's device contexts open. From then on every watched call (the
// releases the DLL's unload would make, and what its first use makes)
// writes EXIT_CALL_MARK and the function's name to stdout.
constexpr UINT CHILD_EXIT_CODE = 42;
const char EXIT_CALL_MARK[] = "<called by the plug-in at exit>";

// The calls watched in an import table: one row each, in the order of
// WATCHED below. The releases of an unload, then the calls into other DLLs
// that attach leaves to first use.
enum Watched {
    GLOBAL_FREE,
    FREE_LIBRARY,
    DESTROY_WINDOW,
    UNREGISTER_CLASS,
    DESTROY_ICON,
    DESTROY_ACCELERATORS,
    DELETE_OBJECT,
    DELETE_DC,
    GET_DC,
    FIRST_DEFERRED = GET_DC,
    LOAD_IMAGE,
    METRICS,
    CREATE_FONT,
    COMMON_CONTROLS,
    WATCHED_COUNT
};
void* g_real[WATCHED_COUNT]; // the functions the hooks stand in front of
int g_calls[WATCHED_COUNT];  // how often each was called
bool g_exiting = false;      // set once the process has begun to end

const char* watchedName(Watched which);

// The hook of row `Which`: counts the call, reports it once the process is
// ending, and makes it.
template <Watched Which, typename R, typename... A> R WINAPI reportCall(A... args) {
    ++g_calls[Which];
    if (g_exiting) {
        const char* name = watchedName(Which);
        DWORD written = 0;
        const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        WriteFile(out, EXIT_CALL_MARK, sizeof EXIT_CALL_MARK - 1, &written, nullptr);
        WriteFile(out, name, static_cast<DWORD>(std::strlen(name)), &written, nullptr);
        WriteFile(out, "\n", 1, &written, nullptr);
    }
    return reinterpret_cast<R(WINAPI*)(A...)>(g_real[Which])(args...);
}

// The hook of row `Which`, for a function of the type of `real`.
template <Watched Which, typename R, typename... A> void* hookFor(R(WINAPI*)(A...)) {
    return reinterpret_cast<void*>(&reportCall<Which, R, A...>);
}

struct WatchRow {
    const char* dll;
    const char* name;
    void* hook;
};
const WatchRow WATCHED[WATCHED_COUNT] = {
    {"kernel32.dll", "GlobalFree", hookFor<GLOBAL_FREE>(&GlobalFree)},
    {"kernel32.dll", "FreeLibrary", hookFor<FREE_LIBRARY>(&FreeLibrary)},
    {"user32.dll", "DestroyWindow", hookFor<DESTROY_WINDOW>(&DestroyWindow)},
    {"user32.dll", "UnregisterClassW", hookFor<UNREGISTER_CLASS>(&UnregisterClassW)},
    {"user32.dll", "DestroyIcon", hookFor<DESTROY_ICON>(&DestroyIcon)},
    {"user32.dll", "DestroyAcceleratorTable",
     hookFor<DESTROY_ACCELERATORS>(&DestroyAcceleratorTable)},
    {"gdi32.dll", "DeleteObject", hookFor<DELETE_OBJECT>(&DeleteObject)},
    {"gdi32.dll", "DeleteDC", hookFor<DELETE_DC>(&DeleteDC)},
    {"user32.dll", "GetDC", hookFor<GET_DC>(&GetDC)},
    {"user32.dll", "LoadImageW", hookFor<LOAD_IMAGE>(&LoadImageW)},
    {"user32.dll", "SystemParametersInfoW", hookFor<METRICS>(&SystemParametersInfoW)},
    {"gdi32.dll", "CreateFontIndirectW", hookFor<CREATE_FONT>(&CreateFontIndirectW)},
    {"comctl32.dll", "InitCommonControlsEx", hookFor<COMMON_CONTROLS>(&InitCommonControlsEx)},
};

const char* watchedName(Watched which) {
    return WATCHED[which].name;
}

// Stands in for the glyph drawing of kiv_DrawText and ends the process
// there, while the pass is open. (The text's own releases before it, such
// as a measuring context, happen before the end and are not counted.)
BOOL WINAPI exitInsteadOfTextOut(HDC, int, int, LPCWSTR, int) {
    std::fflush(stdout);
    g_exiting = true;
    ExitProcess(CHILD_EXIT_CODE);
}

// Run only by the test below, as a process of its own.
TEST(ProcessEnd, DISABLED_EndsWithEverythingLive) {
    HostScene scene;
    host::Host host;
    auto* dll = new host::PluginModule(L"canvas.nbp"); // the process ends with it loaded
    ASSERT_TRUE(dll->ok());
    host.connect(*dll);
    scene.addObject(host, "a", 0, 0, 60, 40);
    scene.addObject(host, "b", 70, 0, 60, 40);
    ASSERT_EQ(runAction(*dll, CREATE, {"a", "$0000FF"}), 1);
    ASSERT_EQ(runAction(*dll, CREATE, {"b", ""}), 1);
    ASSERT_EQ(runAction(*dll, TEXT, {"b", "Hola", "1", "1", "", "", ""}), 1);
    const HMODULE module = dll->handle();
    for (int i = 0; i < WATCHED_COUNT; ++i) {
        const WatchRow& row = WATCHED[i];
        g_real[i] = patchImport(module, row.dll, row.name, row.hook);
        // The plug-in frees no library (it keeps the system DLLs it loads);
        // only the 32-bit runtime's start-up code may import FreeLibrary.
        // Not imported, it cannot be called at the end either.
        if (i == FREE_LIBRARY && !g_real[i]) {
            continue;
        }
        ASSERT_TRUE(g_real[i]) << row.name << " is imported";
    }
    ASSERT_TRUE(patchImport(module, "gdi32.dll", "TextOutW",
                            reinterpret_cast<void*>(&exitInsteadOfTextOut)));
    runAction(*dll, TEXT, {"a", "Hola", "1", "1", "", "", ""});
    ADD_FAILURE() << "the process outlived its end";
}

TEST(ProcessEnd, EndsCleanlyWithItsOwnExitCodeWithoutTheUnloadsReleases) {
    const Process child = runProgram(thisProgram(), L"--gtest_also_run_disabled_tests "
                                                    L"--gtest_filter=ProcessEnd.DISABLED_*");
    EXPECT_NE(child.out.find("DISABLED_EndsWithEverythingLive"), std::string::npos) << child.out;
    EXPECT_EQ(child.exitCode, CHILD_EXIT_CODE) << child.out << child.err;
    EXPECT_EQ(child.out.find(EXIT_CALL_MARK), std::string::npos) << "called at process exit:\n"
                                                                 << child.out;
}

//--- Attach does the least ------------------------------------------------------------
// DllMain runs under the loader lock, where calls into User32, GDI and the
// common controls do not belong: attach makes none of the deferred rows
// above (counted in this program's import table, the plug-in's code being
// linked in), and the first canvas and its text make each of them.

class Attach : public LinkedPluginTest {};

TEST_F(Attach, LeavesEveryCallIntoOtherDllsToFirstUse) {
    plugin::detach(); // the suite's attach, undone to be watched again
    const HMODULE self = GetModuleHandleW(nullptr);
    for (int i = FIRST_DEFERRED; i < WATCHED_COUNT; ++i) {
        g_real[i] = patchImport(self, WATCHED[i].dll, WATCHED[i].name, WATCHED[i].hook);
        ASSERT_TRUE(g_real[i]) << WATCHED[i].name;
    }
    plugin::attach(self);
    const std::vector<int> atAttach(g_calls + FIRST_DEFERRED, g_calls + WATCHED_COUNT);
    scene.addObject(host, "rect", 0, 0, 80, 40);
    EXPECT_EQ(runAction(CREATE, {"rect", ""}), 1);
    EXPECT_EQ(runAction(TEXT, {"rect", "Hola", "1", "1", "", "", "Arial,12,"}), 1);
    for (int i = FIRST_DEFERRED; i < WATCHED_COUNT; ++i) {
        patchImport(self, WATCHED[i].dll, WATCHED[i].name, g_real[i]);
        EXPECT_EQ(atAttach[i - FIRST_DEFERRED], 0) << WATCHED[i].name << " at attach";
        EXPECT_GT(g_calls[i], 0) << WATCHED[i].name << " by first use";
    }
    EXPECT_EQ(g_calls[COMMON_CONTROLS], 1);
    const ScreenDC screen;
    EXPECT_EQ(ui::screenDpi(), GetDeviceCaps(screen.get(), LOGPIXELSY)) << "the same DPI";
}

//--- Hosts unlike the reference host, each in a process of its own --------------------
// A host built with MinGW holds the toolchain's shared GCC runtime (copied
// beside the 32-bit tests) before it loads the plug-in; one that has used
// up its address space still gets small blocks from its heap, but no block
// of 64 KB or more (the DLL's malloc import, patched); one unloads the
// plug-in from another thread than the one that made its canvases.

const wchar_t PRELOAD_FLAG[] = L" --preload-shared-runtime";
decltype(&std::malloc) g_realMalloc = nullptr;
long g_failedMallocs = 0;
void* failingMalloc(size_t size) {
    return size < 0x10000 ? g_realMalloc(size) : (++g_failedMallocs, nullptr);
}

// The plug-in loaded (after the shared runtime when the parent asks) with
// a canvas on object "a".
struct ChildHost {
    ChildHost() {
        if (std::wstring(GetCommandLineW()).find(PRELOAD_FLAG) != std::wstring::npos) {
            EXPECT_TRUE(
                LoadLibraryExW(besideThisProgram(L"shared-runtime\\libgcc_s_dw2-1.dll").c_str(),
                               nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        }
        dll = std::make_unique<host::PluginModule>(L"canvas.nbp");
        host.connect(*dll);
        object = scene.addObject(host, "a", 0, 0, 60, 40);
        EXPECT_EQ(runAction(*dll, CREATE, {"a", "$0000FF"}), 1);
    }
    // Runs `work` out of memory; then the host goes on.
    void outOfMemory(const std::function<void()>& work) {
        g_realMalloc = reinterpret_cast<decltype(g_realMalloc)>(patchImport(
            dll->handle(), "msvcrt.dll", "malloc", reinterpret_cast<void*>(&failingMalloc)));
        work();
        patchImport(dll->handle(), "msvcrt.dll", "malloc", reinterpret_cast<void*>(g_realMalloc));
        EXPECT_GT(g_failedMallocs, 0) << "ran out of memory";
        EXPECT_EQ(runAction(*dll, CIRCLE, {"a", "30", "20", "10", "$FFFFFF"}), 1);
    }
    HostScene scene;
    host::Host host;
    std::unique_ptr<host::PluginModule> dll;
    HWND object = nullptr;
};

// Run only by the test below, each as a process of its own.
TEST(ChildProcess, DISABLED_ExportRunsOutOfMemory) {
    ChildHost child;
    child.outOfMemory([&] {
        EXPECT_EQ(runAction(*child.dll, CREATE, {repeat('n', MEGABYTE), ""}), 0);
    });
}

TEST(ChildProcess, DISABLED_MessageRunsOutOfMemory) {
    ChildHost child;
    // A bitmap of the screen's format: only its pixels tell whether it has
    // alpha, and reading them takes a block too large to be had.
    const ScreenDC screen;
    const GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), 256, 128));
    HWND picture = FindWindowExW(canvasWindowIn(child.object), nullptr, L"Static", nullptr);
    child.outOfMemory([&] {
        SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.get()));
    });
}

// The windows the unload could not destroy stay in the host, with no
// procedure (nor class procedure) in the unloaded DLL: each picture has the
// one it displaced back, the Static's or a host's that subclassed it. The
// host repaints, clicks and destroys them, and loads the plug-in again,
// whose canvas windows get its own procedure, never a class left behind.
TEST(ChildProcess, DISABLED_UnloadFromAnotherThread) {
    ChildHost child;
    HWND canvas = canvasWindowIn(child.object);
    HWND picture = FindWindowExW(canvas, nullptr, L"Static", nullptr);
    child.scene.addObject(child.host, "c", 140, 0, 60, 40);
    const auto spied = subclassWhile(L"Static", [&] {
        EXPECT_EQ(runAction(*child.dll, CREATE, {"c", ""}), 1);
    });
    ASSERT_EQ(spied.size(), 1u);
    const std::pair<HWND, LONG_PTR> displaced[] = {
        {picture, GetClassLongPtrW(picture, GCLP_WNDPROC)},
        {spied[0]->hwnd, reinterpret_cast<LONG_PTR>(spied[0]->own)},
    };
    const LONG_PTR toolkitProc = GetWindowLongPtrW(canvas, GWLP_WNDPROC);
    const HMODULE loadedAt = child.dll->handle();
    const auto base = reinterpret_cast<uintptr_t>(child.dll->handle());
    const uintptr_t end =
        base + reinterpret_cast<const IMAGE_NT_HEADERS*>(
                   base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew)
                   ->OptionalHeader.SizeOfImage;
    std::thread([&] { child.dll->unload(); }).join();
    ASSERT_EQ(GetModuleHandleW(L"canvas.nbp"), nullptr);
    for (HWND w : {canvas, picture}) {
        for (uintptr_t proc : {uintptr_t(GetWindowLongPtrW(w, GWLP_WNDPROC)),
                               uintptr_t(GetClassLongPtrW(w, GCLP_WNDPROC))}) {
            EXPECT_FALSE(IsWindow(w) && proc >= base && proc < end) << "a procedure in the DLL";
        }
    }
    for (const auto& [w, proc] : displaced) {
        EXPECT_EQ(GetWindowLongPtrW(w, GWLP_WNDPROC), proc) << "not the procedure it displaced";
    }
    RedrawWindow(child.scene.main(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    SendMessageW(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(picture, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    pumpMessages();
    child.dll = std::make_unique<host::PluginModule>(L"canvas.nbp");
    child.host.connect(*child.dll);
    HWND b = child.scene.addObject(child.host, "b", 70, 0, 60, 40);
    ASSERT_EQ(runAction(*child.dll, CREATE, {"b", ""}), 1) << "its class name still taken";
    ASSERT_EQ(child.dll->handle(), loadedAt) << "where the classes left behind are its own";
    EXPECT_EQ(GetWindowLongPtrW(canvasWindowIn(b), GWLP_WNDPROC), toolkitProc);
    ASSERT_EQ(runAction(*child.dll, CIRCLE, {"b", "30", "20", "10", "$0000FF"}), 1);
    EXPECT_EQ(readCanvas(b).at(40, 20), RED);
    DestroyWindow(child.object);
    pumpMessages();
}

// Every row ends with exit code 0: each call that ran out of memory
// returned 0 or handled its message, and the host went on.
TEST(HostileHosts, EveryRowEndsNormally) {
    const std::pair<const wchar_t*, bool> rows[] = {
        {L"ExportRunsOutOfMemory", false},   {L"ExportRunsOutOfMemory", true},
        {L"MessageRunsOutOfMemory", false},  {L"MessageRunsOutOfMemory", true},
        {L"UnloadFromAnotherThread", false},
    };
    for (const auto& [test, preload] : rows) {
        // The 64-bit runtime unwinds through the system's tables instead.
        if (preload && sizeof(void*) != 4) {
            continue;
        }
        const Process child =
            runProgram(thisProgram(),
                       L"--gtest_also_run_disabled_tests --gtest_filter=ChildProcess.DISABLED_" +
                           std::wstring(test) + (preload ? PRELOAD_FLAG : L""));
        EXPECT_EQ(child.exitCode, 0u) << preload << child.out << child.err;
        EXPECT_NE(child.out.find("[  PASSED  ] 1 test"), std::string::npos) << child.out;
    }
}

//--- Running out of memory -------------------------------------------------------------
// The plug-in's own code, linked in, with its n-th allocation failing, for
// every n until the action no longer allocates that often. Whatever the
// action then returns, it leaves no half-built canvas, no drawing pass open
// and no font behind. (An exception that leaves the action is ended by the
// exports with result 0; that is checked above on the real DLL.)

class OutOfMemory : public LinkedPluginTest {
  protected:
    void SetUp() override {
        object_ = scene.addObject(0, 0, 60, 40);
        std::snprintf(reply_, sizeof reply_, "%llu",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(object_)));
        plugin::state().hostInterface = &answer;
    }

    // The action's result with its n-th allocation failing; -1 when the
    // failure left it as an exception.
    static int failing(long n, const std::function<int()>& action) {
        g_allocations = 0;
        g_failAt = n;
        int result = -1;
        try {
            result = action();
        } catch (const std::bad_alloc&) {
        }
        g_failAt = 0;
        pumpMessages();
        return result;
    }
    static bool allocationFailed(long n) { return g_allocations >= n; }

    // A failed allocation ends the call with 0 and one of `reasons`, or
    // is done without: 1 and no reason. No exception leaves the call.
    static void expectReason(int result, std::initializer_list<Reason> reasons, long n) {
        const Reason reason = canvas::lastFailure();
        if (result == 1) {
            EXPECT_EQ(reason, Reason::None) << n;
            return;
        }
        EXPECT_EQ(result, 0) << n;
        EXPECT_NE(std::find(reasons.begin(), reasons.end(), reason), reasons.end())
            << n << ": reason " << static_cast<int>(reason);
    }

    // Nothing of a drawing action outlives it.
    static void expectNoPassOrFont(long n) {
        EXPECT_EQ(draw::currentRaster(), nullptr) << n;
        EXPECT_EQ(FontHandle(100), 0) << n;
    }

    // The host's answer to command 7, made without C++ allocations so that
    // only the plug-in's own ones fail.
    static int __stdcall answer(int, HostString* slot) {
        const size_t length = std::strlen(reply_) + 1;
        auto* reply = static_cast<HostString>(GlobalAlloc(0, length));
        std::memcpy(reply, reply_, length);
        GlobalFree(*slot);
        *slot = reply;
        return 1;
    }

    HWND object_ = nullptr;
    static char reply_[32];
};

char OutOfMemory::reply_[32];

TEST_F(OutOfMemory, ACreateThatRunsOutLeavesNothing) {
    host::Params params({"rect", "$0000FF"});
    for (long n = 1;; ++n) {
        ASSERT_LT(n, 100000);
        const int result = failing(n, [&] { return plugin::execAction(CREATE, params.data()); });
        expectNoPassOrFont(n);
        expectReason(result,
                     {Reason::OutOfMemory, Reason::NoEntry, Reason::NoWindow, Reason::ParentRefused,
                      Reason::NoImage, Reason::NoPicture, Reason::NoPass},
                     n);
        if (result == 1) {
            // Complete: every failure on the way was one it could do without.
            EXPECT_EQ(canvas::registry().size(), 1u) << n;
            ASSERT_EQ(canvasWindowsIn(object_).size(), 1u) << n;
            EXPECT_EQ(readCanvas(object_).count(RED), 60u * 40u) << n;
            canvas::releaseAllCanvases();
            pumpMessages();
        } else {
            EXPECT_TRUE(canvas::registry().empty()) << n << ": no half-built canvas";
            EXPECT_TRUE(canvasWindowsIn(object_).empty()) << n;
        }
        if (!allocationFailed(n)) {
            EXPECT_EQ(result, 1);
            break;
        }
    }
}

TEST_F(OutOfMemory, DrawingThatRunsOutLeavesTheCanvasWhole) {
    host::Params create({"rect", ""});
    ASSERT_EQ(plugin::execAction(CREATE, create.data()), 1);
    host::Params text({"rect", "Hola", "2", "2", "$0000FF", "", "Liberation Serif,14,BI"});
    host::Params opaque({"rect", "xy", "2", "20", "", "$00FF00", ""});
    host::Params circle({"rect", "30", "20", "10", "$0000FF"});
    host::Params clear({"rect"});
    struct Row {
        const char* what;
        int id;
        host::Params* params;
    };
    const Row rows[] = {{"text", TEXT, &text},
                        {"opaque text", TEXT, &opaque},
                        {"circle", CIRCLE, &circle},
                        {"clear", CLEAR, &clear}};
    for (const Row& row : rows) {
        for (long n = 1;; ++n) {
            ASSERT_LT(n, 100000);
            const int result =
                failing(n, [&] { return plugin::execAction(row.id, row.params->data()); });
            expectNoPassOrFont(n);
            expectReason(result, {Reason::OutOfMemory, Reason::NoPass, Reason::NoFont}, n);
            EXPECT_EQ(canvas::registry().size(), 1u) << row.what << " " << n;
            EXPECT_EQ(canvasWindowsIn(object_).size(), 1u) << row.what << " " << n;
            if (!allocationFailed(n)) {
                EXPECT_EQ(result, 1) << row.what;
                break;
            }
        }
    }
    // Still a working canvas.
    ASSERT_EQ(plugin::execAction(CLEAR, clear.data()), 1);
    ASSERT_EQ(plugin::execAction(CIRCLE, circle.data()), 1);
    EXPECT_EQ(readCanvas(object_).at(40, 20), RED);
}

// A release cut short by a failed allocation leaves entries whose windows
// and images may be gone; the next release finishes the job without
// touching anything twice.
TEST_F(OutOfMemory, AReleaseThatRunsOutIsFinishedByTheNext) {
    HWND second = scene.addObject(100, 0, 50, 30);
    for (long n = 1;; ++n) {
        ASSERT_LT(n, 100000);
        host::Params a({"rect", ""});
        ASSERT_EQ(plugin::execAction(CREATE, a.data()), 1);
        std::snprintf(reply_, sizeof reply_, "%llu",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(second)));
        host::Params b({"second", ""});
        ASSERT_EQ(plugin::execAction(CREATE, b.data()), 1);
        std::snprintf(reply_, sizeof reply_, "%llu",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(object_)));
        failing(n, [] { return plugin::message(2); });
        EXPECT_EQ(plugin::message(2), 0);
        pumpMessages();
        EXPECT_TRUE(canvas::registry().empty()) << n;
        EXPECT_TRUE(canvasWindowsIn(object_).empty()) << n;
        EXPECT_TRUE(canvasWindowsIn(second).empty()) << n;
        if (!allocationFailed(n)) {
            break;
        }
    }
}

// The entries Windows calls (the toolkit's window and control procedures,
// the picture control's) with memory running out in the middle of a
// message: the message ends there, nothing unwinds into the system's
// frames (which the 32-bit build cannot pass), and the host goes on.
TEST_F(OutOfMemory, MessagesThatRunOutEndThereAndTheHostGoesOn) {
    host::Params create({"rect", "$0000FF"});
    ASSERT_EQ(plugin::execAction(CREATE, create.data()), 1);
    HWND canvas = canvasWindowIn(object_);
    HWND picture = FindWindowExW(canvas, nullptr, L"Static", nullptr);
    ASSERT_NE(picture, nullptr);
    const int window =
        static_cast<int>(UiOpenWindow(UI_ANY, 0, 0, 200, 100, u"", UI_FLAGS_DIALOG, nullptr));
    ASSERT_TRUE(window);
    HWND dialog = UiWindowHandle(window);
    HWND first = UiControlHandle(static_cast<int>(UiAddEdit(UI_ANY, 5, 5, 80, 20, u"a")));
    HWND second = UiControlHandle(static_cast<int>(UiAddEdit(UI_ANY, 5, 30, 80, 20, u"b")));
    UiAddButton(UI_ANY, 5, 60, 80, 20, u"OK");
    ASSERT_TRUE(first && second);

    struct Row {
        const char* what;
        std::function<void()> deliver;
    };
    const auto bitmap = [&] { return SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0); };
    const Row rows[] = {
        {"Tab", [&] { SendMessageW(dialog, WM_COMMAND, UI_COMMAND_NEXT_FOCUS, 0); }},
        {"Shift+Tab", [&] { SendMessageW(dialog, WM_COMMAND, UI_COMMAND_PREVIOUS_FOCUS, 0); }},
        {"fields gaining and losing the focus",
         [&] {
             SetFocus(first);
             SetFocus(second);
         }},
        {"Ctrl+A in a field", [&] { SendMessageW(first, WM_CHAR, 0x01, 0); }},
        {"the close box", [&] { SendMessageW(dialog, WM_CLOSE, 0, 0); }},
        {"a paint of the canvas",
         [&] {
             RedrawWindow(canvas, nullptr, nullptr,
                          RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
         }},
        {"the canvas resized and moved",
         [&] {
             SetWindowPos(canvas, nullptr, 1, 1, 50, 30, SWP_NOZORDER | SWP_NOACTIVATE);
             SetWindowPos(canvas, nullptr, 0, 0, 60, 40, SWP_NOZORDER | SWP_NOACTIVATE);
         }},
        {"the image assigned again",
         [&] { SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, bitmap()); }},
        {"clicks and a drag on the picture",
         [&] {
             SendMessageW(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
             SendMessageW(picture, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30, 30));
             SendMessageW(picture, WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
             SendMessageW(picture, WM_RBUTTONDBLCLK, 0, MAKELPARAM(5, 5));
             SendMessageW(picture, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
         }},
    };
    for (const Row& row : rows) {
        for (long n = 1;; ++n) {
            ASSERT_LT(n, 100000);
            const int result = failing(n, [&] {
                row.deliver();
                return 1;
            });
            EXPECT_EQ(result, 1) << row.what << " " << n << ": an exception left a message";
            EXPECT_EQ(UiWindowHandle(window), dialog) << row.what << " " << n;
            if (!allocationFailed(n)) {
                break;
            }
        }
    }
    takeEvents();
    UiCloseWindow(window);
    // The host goes on: the canvas still draws and shows what it draws.
    host::Params circle({"rect", "30", "20", "10", "$FFFFFF"});
    ASSERT_EQ(plugin::execAction(CIRCLE, circle.data()), 1);
    const CanvasPixels s = readCanvas(object_);
    EXPECT_EQ(s.at(40, 20), WHITE);
    EXPECT_EQ(s.at(30, 20), RED);
}

//--- The whole matrix again: nothing accumulates -----------------------------------------

TEST_F(Plugged, RepeatedBadInputDoesNotGrowTheProcess) {
    HWND o = object("rect", 100, 60);
    const std::string big = repeat('7', MEGABYTE);
    auto round = [&]() {
        EXPECT_EQ(exec(CREATE, {"rect", big}), 1);
        EXPECT_EQ(exec(TEXT, {"rect", big, big, "3", big, big, big}), 1);
        EXPECT_EQ(exec(TEXT, {"rect", "Hola", "3", "3", "", "", "NoSuchFont,-3,BIU"}), 1);
        EXPECT_EQ(exec(CIRCLE, {"rect", "-2147483597", "40", "2147483647", big}), 1);
        EXPECT_EQ(exec(CREATE, {"missing", ""}), 0);
        EXPECT_EQ(exec(CREATE, {big, ""}), 0);
        EXPECT_EQ(plugin->execAction(CIRCLE, nullptr), 0);
        EXPECT_EQ(plugin->message(6, 0), 0);
        pumpMessages();
        // The host's record of the megabyte requests is no part of the plug-in.
        host.calls = {};
    };
    round();
    round();
    const ProcessReading before = readProcess();
    for (int i = 0; i < 8; ++i) {
        round();
    }
    const ProcessReading after = readProcess();
    EXPECT_LT(after.committed, before.committed + 1024 * 1024)
        << before.committed / 1024 << " KB, then " << after.committed / 1024;
    EXPECT_EQ(after.gdiHeadroom, before.gdiHeadroom);
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_TRUE(canvasWindowsIn(o).empty());
}

} // namespace

// What a canvas shows, against what its image held when it was last
// assigned, after every step of random scripts: the actions on
// canvases of several sizes, passes that draw without assigning, the
// object window covered, uncovered, moved and resized. The picture control
// copies and repaints only what changed; nothing of that may ever show.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "canvas/actions_win.h"
#include "draw/drawpass_win.h"
#include "draw/image_win.h"
#include "host/host_win.h"
#include "plugin/host_exchange_win.h"
#include "plugin/plugin_state_win.h"
#include "plugin/plugin_win.h"
#include "tests/win/support/canvas_probe.h"
#include "tests/win/support/host_scene.h"
#include "tests/win/support/ui_driver.h"

// Where two pictures differ first, for the failure messages.
void PrintTo(const CanvasPixels& p, std::ostream* os) {
    *os << p.width << "x" << p.height;
    for (size_t i = 0; i < p.pixels.size() && i < 4; ++i) {
        *os << " " << std::hex << p.pixels[i] << std::dec;
    }
}

namespace {

HWND g_object = nullptr; // the object the host names "rect"

int __stdcall answerObject(int command, HostString* slot) {
    if (command != 7 || !g_object) {
        return 0;
    }
    char reply[32];
    std::snprintf(reply, sizeof reply, "%llu",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(g_object)));
    GlobalFree(*slot);
    *slot = toHostString(Text(reply, reply + std::strlen(reply)));
    return 1;
}

// The canvas image's pixels as the plug-in holds them, in readCanvas's form.
CanvasPixels imagePixels(const CanvasEntry& entry) {
    CanvasPixels out;
    DIBSECTION ds{};
    const HBITMAP bitmap = reinterpret_cast<HBITMAP>(ImgHandle(entry.image));
    if (GetObjectW(bitmap, sizeof ds, &ds) != static_cast<int>(sizeof ds)) {
        return out;
    }
    GdiFlush();
    out.width = ds.dsBm.bmWidth;
    out.height = ds.dsBm.bmHeight;
    const auto* bits = static_cast<const uint32_t*>(ds.dsBm.bmBits);
    for (int y = out.height - 1; y >= 0; --y) { // bottom-up rows
        const uint32_t* row = bits + static_cast<size_t>(y) * out.width;
        std::transform(row, row + out.width, std::back_inserter(out.pixels), &colourOfPixel);
    }
    return out;
}

class Refresh : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { plugin::attach(GetModuleHandleW(nullptr)); }
    static void TearDownTestSuite() { plugin::detach(); }
    void SetUp() override { plugin::state().hostInterface = &answerObject; }
    void TearDown() override {
        canvas::releaseAllCanvases();
        plugin::state().hostInterface = nullptr;
        g_object = nullptr;
        pumpMessages();
    }

    int exec(int id, const std::vector<std::string>& texts) {
        std::vector<const char*> p;
        for (const std::string& t : texts) {
            p.push_back(t.c_str());
        }
        host::Params params(p);
        return plugin::execAction(id, params.data());
    }
    static HWND controlOf(const CanvasEntry& entry) {
        return UiControlHandle(entry.pictureControl);
    }
};

// Random scripts on canvases of several sizes; after every step the control
// shows, through WM_PRINTCLIENT and on its own surface when nothing covers
// it, exactly the image as it was at its last assignment.
TEST_F(Refresh, WhatIsShownIsTheImageAtItsLastAssignment) {
    struct Size {
        int w, h;
    };
    const Size sizes[] = {{1, 1}, {37, 23}, {160, 120}, {333, 201}};
    HostScene scene(900, 700);
    TestRandom random(20261208);
    for (const Size& size : sizes) {
        g_object = scene.addObject(10, 10, size.w, size.h);
        ASSERT_EQ(exec(1, {"rect", "$C0FFFF"}), 1) << size.w;
        pumpMessages();
        const CanvasEntry* entry = canvas::registry().findCanvas(u"rect");
        ASSERT_TRUE(entry);
        CanvasPixels assigned = imagePixels(*entry);
        HWND cover = nullptr;
        for (int step = 0; step < 60; ++step) {
            std::string what = std::to_string(size.w) + "x" + std::to_string(size.h) + " step " +
                               std::to_string(step);
            const int x = random.range(-20, size.w + 20), y = random.range(-20, size.h + 20);
            const std::string colour = std::to_string(random.range(0, 0xFFFFFF));
            const int op = random.range(0, 7);
            what += " op " + std::to_string(op);
            switch (op) {
            case 0:
            case 1:
                ASSERT_EQ(exec(2, {"rect", std::to_string(x), std::to_string(y),
                                   std::to_string(random.range(0, 2 * size.w)), colour}),
                          1);
                assigned = imagePixels(*entry);
                break;
            case 2:
                ASSERT_EQ(exec(4, {"rect", random.chance(20) ? "" : "Hg, lienzo", std::to_string(x),
                                   std::to_string(y), colour, random.chance(50) ? "" : "$00FF00",
                                   "Arial,11,B"}),
                          1);
                assigned = imagePixels(*entry);
                break;
            case 3:
                if (random.chance(30)) {
                    ASSERT_EQ(exec(3, {"rect"}), 1);
                    assigned = imagePixels(*entry);
                }
                break;
            case 4: { // a pass that draws without assigning: nothing of it shows yet
                ASSERT_TRUE(DrawStart(ImgOutput(entry->image)));
                DrawBox(x, y, random.range(1, 30), random.range(1, 30), 0x000000FFu);
                DrawStop();
                break;
            }
            case 5: // covered by a window of another program's kind, or uncovered
                if (cover) {
                    DestroyWindow(cover);
                    cover = nullptr;
                } else {
                    POINT at{x, y};
                    ClientToScreen(g_object, &at);
                    cover = CreateWindowExW(WS_EX_TOPMOST, L"Static", L"", WS_POPUP | WS_VISIBLE,
                                            at.x, at.y, 50, 40, nullptr, nullptr, nullptr, nullptr);
                }
                break;
            case 6: // the object moves
                // Without SWP_NOCOPYBITS Wine moves the pixels the X server
                // holds, which may still be those of a cover just gone; the
                // canvas is then never asked to paint them again.
                SetWindowPos(g_object, nullptr, random.range(0, 300), random.range(0, 200), 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
                break;
            case 7: // the object is resized; the canvas keeps its size
                SetWindowPos(g_object, nullptr, 0, 0, random.range(1, size.w + 40),
                             random.range(1, size.h + 40),
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
                break;
            }
            pumpMessages();
            ASSERT_EQ(readCanvas(g_object), assigned) << what;
            RECT object{};
            GetClientRect(g_object, &object);
            if (!cover && object.right >= size.w && object.bottom >= size.h) {
                ASSERT_EQ(readCanvasSurface(g_object), assigned) << what;
            }
        }
        if (cover) {
            DestroyWindow(cover);
        }
        canvas::releaseAllCanvases();
        DestroyWindow(g_object);
    }
}

// A pass that changes nothing (a circle wholly outside, empty text) copies
// nothing and leaves nothing to repaint: pixels written straight into the
// image memory stay unseen, and the control has no update region.
TEST_F(Refresh, APassThatChangesNothingCopiesAndRepaintsNothing) {
    HostScene scene(300, 200);
    g_object = scene.addObject(0, 0, 40, 30);
    ASSERT_EQ(exec(1, {"rect", "$FFFFFF"}), 1);
    pumpMessages();
    const CanvasEntry* entry = canvas::registry().findCanvas(u"rect");
    ASSERT_TRUE(entry);
    const CanvasPixels before = readCanvas(g_object);
    DIBSECTION ds{};
    ASSERT_TRUE(GetObjectW(reinterpret_cast<HBITMAP>(ImgHandle(entry->image)), sizeof ds, &ds));
    static_cast<uint32_t*>(ds.dsBm.bmBits)[0] = 0xFF0000FFu; // not through a pass
    struct Row {
        const char* what;
        int id;
        std::vector<std::string> params;
    } const rows[] = {
        {"circle wholly outside", 2, {"rect", "500", "500", "10", "$000000"}},
        {"circle containing the canvas", 2, {"rect", "20", "15", "1000", "$000000"}},
        {"empty text", 4, {"rect", "", "5", "5", "$000000", "$00FF00", "Arial,12,"}},
        {"text far outside", 4, {"rect", "Hola", "9000", "9000", "$000000", "", "Arial,12,"}},
        {"second create", 1, {"rect", "$0000FF"}},
    };
    HWND control = controlOf(*entry);
    for (const Row& row : rows) {
        ASSERT_EQ(exec(row.id, row.params), 1) << row.what;
        RECT update{};
        EXPECT_FALSE(GetUpdateRect(control, &update, FALSE)) << row.what;
        pumpMessages();
        EXPECT_EQ(readCanvas(g_object), before) << row.what;
    }
}

} // namespace

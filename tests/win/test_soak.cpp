// canvas.nbp driven through its exports by a long, varied script, as a host does
// for hours on its UI thread. Then it must still draw exactly what it drew at
// the start, the process must not have grown, and GDI must still hand out objects.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "draw/raster.h"
#include "host/host_win.h"
#include "base/gdi_win.h"
#include "tests/native/raster_support.h"
#include "tests/win/support/canvas_probe.h"
#include "tests/win/support/host_scene.h"
#include "tests/win/support/ui_driver.h"

namespace {

const bool g_gdiSpy = watchGdiAroundAllTests();

// The 32-bit build runs emulated, three times slower: 30% takes as long.
constexpr int FULL_ACTIONS = 100000;
const int ACTIONS = sizeof(void*) == 4 ? FULL_ACTIONS * 3 / 10 : FULL_ACTIONS;
// Every canvas is released this often, then made again under its old name.
constexpr int RELEASE_EVERY = 300;
// This often the host shows one object in a new window, its canvas orphaned.
constexpr int REBUILD_OBJECT_EVERY = 1000;
constexpr int PUMP_EVERY = 8; // the host's message loop, between script steps
constexpr size_t ALLOWED_GROWTH = 2 * 1024 * 1024;
// GDI objects more at the end than after the warm-up (Wine's caches); a leak
// of one per action or canvas would be thousands.
constexpr int GDI_SLACK = 50;

constexpr int OBJECTS = 8;

const char* const FACES[] = {"Arial",           "Liberation Serif",   "Courier New",
                             "Times New Roman", "NoSuchFaceAnywhere", ""};
// Text in the host's code page 1252, accents and symbols included.
const char CHARSET[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:!?-+()"
                       "\xE1\xE9\xED\xF3\xFA\xF1\xD1\xFC\xBF\xA1\x80";

// One object of the host and what the plug-in should hold for it.
struct Object {
    enum State { NONE, LIVE, ORPHANED };
    std::string name;
    int x, y, width, height; // of its window in the host's
    HWND window = nullptr;
    State state = NONE;
};

class Soak {
  public:
    Soak() : random_(0x5EED1234ABCDull) {
        for (int i = 0; i < OBJECTS; ++i) {
            const int column = i % 4, row = i / 4;
            objects_.push_back({"Objeto " + std::to_string(i), 10 + column * 220, 10 + row * 200,
                                120 + 20 * column, 90 + 15 * row});
            showObject(objects_.back());
        }
        host.connect(plugin);
    }

    // Messages are pumped every PUMP_EVERY steps.
    int exec(int id, const Slots& slots) { return runAction(plugin, id, slots, false); }

    // One step of the script; false when its result was not the expected.
    bool step(int index, std::string* what) {
        if (index % RELEASE_EVERY == RELEASE_EVERY - 1) {
            // Before the release: a live canvas shows in its object's window, no
            // object shows more than one, and an orphaned one's new window none.
            bool shownAsExpected = true;
            for (const Object& o : objects_) {
                const size_t expectedWindows = o.state == Object::LIVE ? 1 : 0;
                if (canvasWindowsIn(o.window).size() != expectedWindows) {
                    shownAsExpected = false;
                    *what = "canvas windows of " + o.name;
                }
            }
            plugin.message(index / RELEASE_EVERY % 2 ? 6 : 2, 0);
            for (Object& o : objects_) {
                o.state = Object::NONE;
            }
            return shownAsExpected;
        }
        if (index % REBUILD_OBJECT_EVERY == REBUILD_OBJECT_EVERY / 2) {
            rebuildAnObject();
        }
        const int pick = random_.range(0, 99);
        // Now and then a name the host has no canvas for.
        Object* o = random_.chance(3) ? nullptr : &anyObject();
        const std::string name = o ? o->name : "Objeto " + std::to_string(random_.range(8, 12));
        int expected = 0, got = 0;
        if (pick < 8) {
            got = exec(CREATE, {name, colour()});
            expected = o ? 1 : 0;
            if (o && o->state == Object::NONE) {
                o->state = Object::LIVE;
            }
            *what = "create " + name;
        } else {
            expected = o && o->state != Object::NONE ? 1 : 0;
            if (pick < 48) {
                const std::string x = number(-60, 300), y = number(-60, 250), r = number(-5, 160);
                got = exec(CIRCLE, {name, x, y, r, colour()});
                *what = "circle " + name + " " + x + " " + y + " " + r;
            } else if (pick < 88) {
                std::string text;
                for (int n = random_.range(0, 30); n > 0; --n) {
                    text += CHARSET[random_.range(0, static_cast<int>(sizeof CHARSET) - 2)];
                }
                const std::string x = number(-80, 260), y = number(-40, 220);
                const std::string back = random_.chance(50) ? std::string() : colour();
                const std::string font = fontSpec();
                got = exec(TEXT, {name, text, x, y, colour(), back, font});
                *what = "text " + name + " [" + font + "]";
            } else {
                got = exec(CLEAR, {name});
                *what = "clear " + name;
            }
        }
        if (index % PUMP_EVERY == 0) {
            pumpMessages();
        }
        return got == expected;
    }

    // A canvas on every object again, as after a release: the same state each time.
    void settle() {
        plugin.message(2, 0);
        for (Object& o : objects_) {
            exec(CREATE, {o.name, ""});
            o.state = Object::LIVE;
        }
        pumpMessages();
    }

    HostScene scene;
    host::PluginModule plugin{L"canvas.nbp"};
    host::Host host;

  private:
    Object& anyObject() { return objects_[static_cast<size_t>(random_.range(0, OBJECTS - 1))]; }
    std::string number(int low, int high) { return std::to_string(random_.range(low, high)); }

    std::string colour() {
        const int kind = random_.range(0, 3);
        if (kind == 0) {
            char text[8];
            std::snprintf(text, sizeof text, "$%06X", random_.range(0, 0xFFFFFF));
            return text;
        }
        return kind == 1 ? number(0, 0xFFFFFF) : kind == 2 ? "" : "$0000FF";
    }

    std::string fontSpec() {
        const char* const styles[] = {"", "B", "I", "U", "BI", "BU", "IU", "BIU", "biu"};
        std::string spec = FACES[random_.range(0, 5)];
        spec += "," + number(-2, 40) + ",";
        return spec + styles[random_.range(0, 8)];
    }

    void showObject(Object& o) {
        o.window = scene.addObject(host, o.name, o.x, o.y, o.width, o.height);
    }

    // The plug-in is not told: its canvas window goes with the object's.
    void rebuildAnObject() {
        Object& o = anyObject();
        DestroyWindow(o.window);
        showObject(o);
        if (o.state == Object::LIVE) {
            o.state = Object::ORPHANED;
        }
    }

    std::vector<Object> objects_;
    TestRandom random_;
};

constexpr int REF_W = 200, REF_H = 120;

// A fixed little scene drawn through the exports on a canvas of REF_W x REF_H.
void drawReference(Soak& soak, const char* name) {
    EXPECT_EQ(soak.exec(CLEAR, {name}), 1);
    EXPECT_EQ(soak.exec(CIRCLE, {name, "60", "45", "30", "$0000FF"}), 1);
    EXPECT_EQ(soak.exec(CIRCLE, {name, "190", "-5", "40", "$00FF00"}), 1);
    // Octal escapes end after three digits: an N with a tilde, "and", an acute u.
    EXPECT_EQ(soak.exec(TEXT, {name, "\321and\372 42", "8", "8", "", "", "Arial,14,B"}), 1);
    EXPECT_EQ(
        soak.exec(TEXT, {name, "xyz", "100", "60", "$FFFFFF", "$FF0000", "Liberation Serif,12,I"}),
        1);
    pumpMessages();
}

// The two circles of the reference scene as the raster core draws them.
CanvasPixels referenceCircles() {
    TestImage image(REF_W, REF_H);
    draw::Raster raster(image.surface());
    raster.box(0, 0, REF_W, REF_H, 0xFFFFFF);
    raster.setMode(DRAW_MODE_OUTLINED);
    raster.circle(60, 45, 30, 0x0000FF);
    raster.circle(190, -5, 40, 0x00FF00);
    CanvasPixels out{REF_W, REF_H, {}};
    for (int y = 0; y < REF_H; ++y) {
        for (int x = 0; x < REF_W; ++x) {
            out.pixels.push_back(colourOfPixel(image.get(x, y)));
        }
    }
    return out;
}

TEST(Soak, LongSessionStaysCorrectAndDoesNotGrow) {
    Soak soak;
    ASSERT_TRUE(soak.plugin.ok() && soak.scene.main());

    // The reference scene on a fresh canvas, before anything else ran.
    HWND first = soak.scene.addObject(soak.host, "ref", 10, 420, REF_W, REF_H);
    ASSERT_EQ(soak.exec(CREATE, {"ref", ""}), 1);
    // Circles alone first, against the raster core's own drawing.
    ASSERT_EQ(soak.exec(CIRCLE, {"ref", "60", "45", "30", "$0000FF"}), 1);
    ASSERT_EQ(soak.exec(CIRCLE, {"ref", "190", "-5", "40", "$00FF00"}), 1);
    pumpMessages();
    EXPECT_TRUE(readCanvas(first) == referenceCircles());
    drawReference(soak, "ref");
    const CanvasPixels before = readCanvas(first);
    ASSERT_FALSE(before.empty());
    EXPECT_GT(before.count(BLACK), 20u) << "black glyphs";
    EXPECT_GT(before.count(BLUE), 20u) << "blue text cell";
    soak.plugin.message(6, 0);

    const int warmUp = ACTIONS / 10;
    ProcessReading warm;
    int mismatches = 0;
    std::string firstMismatch;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < ACTIONS; ++i) {
        if (i == warmUp) {
            soak.settle();
            warm = readProcess();
        }
        std::string what;
        if (!soak.step(i, &what) && mismatches++ == 0) {
            firstMismatch = "step " + std::to_string(i) + ": " + what;
        }
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    soak.settle();
    const ProcessReading end = readProcess();
    EXPECT_EQ(mismatches, 0) << "first: " << firstMismatch;

    const double growth =
        (static_cast<double>(end.committed) - static_cast<double>(warm.committed)) / 1024;
    std::printf("soak: %d actions in %.1f s (%.2f ms each); committed %zu KB after warm-up, "
                "%zu KB at the end (%+.0f KB)\n",
                ACTIONS, elapsed, 1000 * elapsed / ACTIONS, warm.committed / 1024,
                end.committed / 1024, growth);
    EXPECT_NE(warm.committed, 0u);
    EXPECT_LT(end.committed, warm.committed + ALLOWED_GROWTH);
    // The same canvases are alive at both points, so the same GDI objects.
    std::printf("soak: GDI headroom %d, then %d; windows %d, then %d\n", warm.gdiHeadroom,
                end.gdiHeadroom, warm.windows, end.windows);
    EXPECT_GT(warm.gdiHeadroom, 1000);
    EXPECT_GE(end.gdiHeadroom, warm.gdiHeadroom - GDI_SLACK);
    EXPECT_EQ(end.windows, warm.windows);

    // Still exactly the first drawing: on a new object's canvas and the first made again.
    HWND fresh = soak.scene.addObject(soak.host, "fresh", 240, 420, REF_W, REF_H);
    ASSERT_EQ(soak.exec(CREATE, {"fresh", ""}), 1);
    drawReference(soak, "fresh");
    EXPECT_TRUE(readCanvas(fresh) == before);
    ASSERT_EQ(soak.exec(CREATE, {"ref", "$00FF00"}), 1);
    drawReference(soak, "ref");
    EXPECT_TRUE(readCanvas(first) == before);

    // And GDI still hands out a thousand bitmaps of the screen's kind.
    ScreenDC screen;
    std::vector<HBITMAP> bitmaps;
    for (HBITMAP b; bitmaps.size() < 1000 && (b = CreateCompatibleBitmap(screen.get(), 16, 16));) {
        bitmaps.push_back(b);
    }
    EXPECT_EQ(bitmaps.size(), 1000u);
    for (HBITMAP b : bitmaps) {
        DeleteObject(b);
    }
}

// The readings must see leaks of the size they guard against: 100 fonts
// exactly, and 200 bitmaps of 40 KB in the memory.
TEST(Soak, ReadingsSeeLeaks) {
    auto leak = [](int fontCount, int bitmapCount, std::vector<HGDIOBJ>* objects) {
        for (int i = 0; i < fontCount; ++i) {
            objects->push_back(CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                           0, 0, L"Arial"));
        }
        ScreenDC screen;
        for (int i = 0; i < bitmapCount; ++i) {
            objects->push_back(CreateCompatibleBitmap(screen.get(), 100, 100)); // 40 KB
        }
    };
    auto release = [](std::vector<HGDIOBJ>* objects) {
        for (HGDIOBJ o : *objects) {
            DeleteObject(o);
        }
        objects->clear();
    };
    // Once first, for what GDI sets up on first use.
    std::vector<HGDIOBJ> objects;
    leak(1, 1, &objects);
    release(&objects);
    const ProcessReading before = readProcess();
    leak(100, 200, &objects);
    const ProcessReading leaked = readProcess();
    release(&objects);
    EXPECT_EQ(leaked.gdiHeadroom, before.gdiHeadroom - 300);
    EXPECT_GT(leaked.committed, before.committed + ALLOWED_GROWTH);
    EXPECT_EQ(gdiHeadroom(), before.gdiHeadroom);
}

} // namespace

// What a canvas shows against what its image held when last assigned, after
// every step of scripts: the actions on canvases of several sizes, passes
// that draw without assigning, the object window covered, moved and resized;
// below the actions, the primitives on two images shown by two controls. The
// picture control copies and repaints only what changed: that never shows.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "canvas/actions_win.h"
#include "draw/drawpass_win.h"
#include "draw/image_win.h"
#include "draw/picture_win.h"
#include "tests/win/support/canvas_probe.h"
#include "tests/win/support/host_scene.h"
#include "tests/win/support/ui_driver.h"

// A picture's size and first pixels, for the failure messages.
void PrintTo(const CanvasPixels& p, std::ostream* os) {
    *os << p.width << "x" << p.height;
    for (size_t i = 0; i < p.pixels.size() && i < 4; ++i) {
        *os << " " << std::hex << p.pixels[i] << std::dec;
    }
}

namespace {

const bool g_gdiSpy = watchGdiAroundAllTests();

// What a picture shows of a pixel of its image (0xAARRGGBB in memory) over
// a background `under` (a colour of readCanvas's form): the pixel itself
// where it is opaque, the background where it is transparent, as GDI's own
// drawing leaves it, and the two blended in between.
uint32_t shownOver(uint32_t memory, uint32_t under) {
    const uint32_t alpha = memory >> 24;
    const uint32_t pixel = colourOfPixel(memory);
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t p = pixel >> shift & 0xFF, u = under >> shift & 0xFF;
        out |= (p * alpha + u * (255 - alpha) + 127) / 255 << shift;
    }
    return out;
}

// An image's pixels as the plug-in holds them, shown over `under`, in
// readCanvas's form.
CanvasPixels imagePixels(int image, uint32_t under = 0) {
    const ImagePixels memory(image);
    CanvasPixels out{memory.width(), memory.height(), memory.all()};
    for (uint32_t& pixel : out.pixels) {
        pixel = shownOver(pixel, under);
    }
    return out;
}

class Refresh : public LinkedPluginTest {};

// A pass that changes nothing (a circle wholly outside, empty text) copies
// nothing and leaves nothing to repaint: pixels written straight into the
// image memory stay unseen, and the control has no update region.
TEST_F(Refresh, APassThatChangesNothingCopiesAndRepaintsNothing) {
    const HWND object = scene.addObject(host, "rect", 0, 0, 40, 30);
    ASSERT_EQ(runAction(1, {"rect", "$FFFFFF"}), 1);
    const CanvasEntry* entry = canvas::registry().findCanvas(u"rect");
    ASSERT_TRUE(entry);
    const CanvasPixels before = readCanvas(object);
    const ImagePixels memory(entry->image);
    ASSERT_TRUE(memory.ds.dsBm.bmBits);
    static_cast<uint32_t*>(memory.ds.dsBm.bmBits)[0] = 0xFF0000FFu; // not through a pass
    struct Row {
        const char* what;
        int id;
        Slots params;
    } const rows[] = {
        {"circle wholly outside", 2, {"rect", "500", "500", "10", "$000000"}},
        {"circle containing the canvas", 2, {"rect", "20", "15", "1000", "$000000"}},
        {"empty text", 4, {"rect", "", "5", "5", "$000000", "$00FF00", "Arial,12,"}},
        {"text far outside", 4, {"rect", "Hola", "9000", "9000", "$000000", "", "Arial,12,"}},
        {"second create", 1, {"rect", "$0000FF"}},
    };
    const HWND control = UiControlHandle(entry->pictureControl);
    for (const Row& row : rows) {
        ASSERT_EQ(runAction(row.id, row.params, false), 1) << row.what;
        RECT update{};
        EXPECT_FALSE(GetUpdateRect(control, &update, FALSE)) << row.what;
        pumpMessages();
        EXPECT_EQ(readCanvas(object), before) << row.what;
    }
}

// Below the actions: images A and B of one size, two picture controls side by
// side, and steps that draw boxes and circles, filled or outlined, clipped or
// not, the pass ended or left open, into either image, or assign either image
// to either control: first the cases that each turn on one piece of the
// bookkeeping, then random ones. Each control shows, through WM_PRINTCLIENT
// and on its own surface, the image it was last assigned as it was then.
TEST_F(Refresh, EachControlShowsItsImageAtItsLastAssignment) {
    constexpr int W = 61, H = 47, A = 0, B = 1, DRAW = -1;
    // FILL: all of it, then a disc of w if any; FILL_TEXT: all of it, then
    // GDI's own text at x, y in the pass's device context
    enum Shape { DISC, CIRCLE, BOX, FRAME, FILL, FILL_TEXT };
    struct Step {
        const char* what;
        int image;
        int control;        // DRAW: a pass on the image, else the control assigned it
        Shape shape = DISC; // of a pass
        int x = 0, y = 0;   // a circle's centre
        int w = 0, h = 0;   // a circle's diameter in w
        bool stop = true;   // the pass ends (else it stays open until the next)
    };
    const Step cases[] = {
        {"A to 0", A, 0},
        {"A to 1", A, 1},
        {"disc on A", A, DRAW, DISC, 30, 20, 30},
        {"A to 1: a partial copy, the disc's caps too", A, 1},
        {"frame on A, its top and bottom cut off", A, DRAW, FRAME, 5, -10, 20, 80},
        {"A to 1: the frame's sides", A, 1},
        {"box on A", A, DRAW, BOX, 40, 30, 10, 10},
        {"A to 0", A, 0},
        {"disc on A", A, DRAW, DISC, 10, 10, 16},
        {"A to 1: 0 took the last copy, so 1 copies all", A, 1},
        {"A to 0", A, 0},
        {"B to 0", B, 0},
        {"box on A", A, DRAW, BOX, 2, 2, 5, 5},
        {"A to 0: its copy holds B, so it copies all", A, 0},
        {"box on A", A, DRAW, BOX, 20, 20, 6, 6, false},
        {"A to 0: a partial copy, the pass still open", A, 0},
        {"B to 0: a whole copy right after a partial one", B, 0},
        {"fill on A", A, DRAW, FILL},
        {"A to 0: its copy holds B, and fills itself", A, 0},
        {"disc on A", A, DRAW, DISC, 12, 30, 14},
        {"A to 0: a partial copy after the fill", A, 0},
        {"fill on A", A, DRAW, FILL},
        {"A to 1: 0 took the last copy, and 1 fills itself", A, 1},
        {"fill on A, a disc after it, the pass still open", A, DRAW, FILL, 50, 5, 20, 0, false},
        {"A to 0: the fill, then the disc", A, 0},
        {"A to 1", A, 1},
        {"fill on A, then GDI's text", A, DRAW, FILL_TEXT, 5, 5},
        {"A to 0: the fill, then the text, whose alpha GDI wrote", A, 0},
    };
    const int window = static_cast<int>(
        UiOpenWindow(UI_ANY, 20, 20, 2 * W + 10, H, Text(), UI_FLAGS_CANVAS, nullptr));
    ASSERT_TRUE(window);
    const ScopedImage images[] = {ScopedImage(ImgCreate(UI_ANY, W, H, 32, 0xC0FFFF)),
                                  ScopedImage(ImgCreate(UI_ANY, W, H, 32, 0xFFC0C0))};
    ASSERT_TRUE(images[A] && images[B]);
    auto bitmap = [](int image) { return reinterpret_cast<HBITMAP>(ImgHandle(image)); };
    const int controls[] = {
        static_cast<int>(UiAddPicture(UI_ANY, 0, 0, W, H, bitmap(images[A]))),
        static_cast<int>(UiAddPicture(UI_ANY, W + 10, 0, W, H, bitmap(images[A])))};
    ASSERT_TRUE(controls[0] && controls[1]);
    // Where GDI's text left alpha 0 the background shows through: the
    // colour readPicture's capture starts in, and on the control's surface
    // the canvas window's own background.
    const uint32_t printedUnder = colourOfPixel(0xFF123456u);
    const uint32_t surfaceUnder = GetSysColor(COLOR_BTNFACE);
    CanvasPixels printed[] = {imagePixels(images[A], printedUnder),
                              imagePixels(images[A], printedUnder)};
    CanvasPixels onSurface[] = {imagePixels(images[A], surfaceUnder),
                                imagePixels(images[A], surfaceUnder)};
    TestRandom random(20261209);
    const size_t count = std::size(cases) + 300;
    for (size_t n = 0; n < count; ++n) {
        Step step = n < std::size(cases) ? cases[n] : Step{"random", random.range(A, B), DRAW};
        if (n >= std::size(cases)) {
            step.control = random.range(DRAW, 1);
            step.shape = static_cast<Shape>(random.range(DISC, FRAME));
            step.x = random.range(-20, W + 20);
            step.y = random.range(-20, H + 20);
            step.w = random.range(-80, 80);
            step.h = random.range(-80, 80);
            step.stop = random.chance(70);
        }
        if (step.control == DRAW) {
            const HDC dc = reinterpret_cast<HDC>(DrawStart(ImgOutput(images[step.image])));
            ASSERT_TRUE(dc);
            const uint32_t colour = 0x2F1F0Fu * static_cast<uint32_t>(n + 1) & 0xFFFFFFu;
            DrawSetMode(step.shape == CIRCLE || step.shape == FRAME ? DRAW_MODE_OUTLINED
                                                                    : DRAW_MODE_DEFAULT);
            if (step.shape == FILL || step.shape == FILL_TEXT) {
                DrawBox(W + 3, -2, -W - 5, H + 4, colour);
                if (step.w) {
                    DrawCircle(step.x, step.y, step.w / 2, colour ^ 0xFFFFFFu);
                }
                if (step.shape == FILL_TEXT) {
                    SetTextColor(dc, colour ^ 0xFFFFFFu);
                    TextOutW(dc, step.x, step.y, L"Hg", 2);
                }
            } else if (step.shape == DISC || step.shape == CIRCLE) {
                DrawCircle(step.x, step.y, std::abs(step.w) / 2, colour);
            } else {
                DrawBox(step.x, step.y, step.w, step.h, colour);
            }
            if (step.stop) {
                DrawStop();
            }
        } else {
            UiSetState(controls[step.control], static_cast<int64_t>(ImgHandle(images[step.image])));
            printed[step.control] = imagePixels(images[step.image], printedUnder);
            onSurface[step.control] = imagePixels(images[step.image], surfaceUnder);
        }
        pumpMessages();
        for (int c = 0; c < 2; ++c) {
            const HWND hwnd = UiControlHandle(controls[c]);
            ASSERT_EQ(readPicture(hwnd), printed[c]) << n << ": " << step.what << "; control " << c;
            ASSERT_EQ(readPictureSurface(hwnd), onSurface[c])
                << n << ": " << step.what << "; control " << c << "'s surface";
        }
    }
    DrawStop();
    UiCloseWindow(window);
}

// Random scripts on canvases of several sizes; the surface is read too when
// nothing covers it.
TEST_F(Refresh, WhatIsShownIsTheImageAtItsLastAssignment) {
    const int sizes[][2] = {{1, 1}, {37, 23}, {160, 120}, {333, 201}};
    TestRandom random(20261208);
    for (const auto& [w, h] : sizes) {
        const HWND object = scene.addObject(host, "rect", 10, 10, w, h);
        ASSERT_EQ(runAction(1, {"rect", "$C0FFFF"}), 1) << w;
        const CanvasEntry* entry = canvas::registry().findCanvas(u"rect");
        ASSERT_TRUE(entry);
        CanvasPixels assigned = imagePixels(entry->image);
        HWND cover = nullptr;
        for (int step = 0; step < 60; ++step) {
            const int x = random.range(-20, w + 20), y = random.range(-20, h + 20);
            const std::string colour = std::to_string(random.range(0, 0xFFFFFF));
            const int op = random.range(0, 7);
            const std::string what = std::to_string(w) + "x" + std::to_string(h) + " step " +
                                     std::to_string(step) + " op " + std::to_string(op);
            switch (op) {
            case 0:
            case 1:
                ASSERT_EQ(runAction(2, {"rect", std::to_string(x), std::to_string(y),
                                        std::to_string(random.range(0, 2 * w)), colour}),
                          1);
                assigned = imagePixels(entry->image);
                break;
            case 2:
                ASSERT_EQ(runAction(4, {"rect", random.chance(20) ? "" : "Hg, lienzo",
                                        std::to_string(x), std::to_string(y), colour,
                                        random.chance(50) ? "" : "$00FF00", "Arial,11,B"}),
                          1);
                assigned = imagePixels(entry->image);
                break;
            case 3:
                if (random.chance(30)) {
                    ASSERT_EQ(runAction(3, {"rect"}), 1);
                    assigned = imagePixels(entry->image);
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
                    ClientToScreen(object, &at);
                    cover = CreateWindowExW(WS_EX_TOPMOST, L"Static", L"", WS_POPUP | WS_VISIBLE,
                                            at.x, at.y, 50, 40, nullptr, nullptr, nullptr, nullptr);
                }
                break;
            case 6: // the object moves
                // Without SWP_NOCOPYBITS Wine moves the pixels the X server
                // holds, which may still be those of a cover just gone; the
                // canvas is then never asked to paint them again.
                SetWindowPos(object, nullptr, random.range(0, 300), random.range(0, 200), 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
                break;
            case 7: // the object is resized; the canvas keeps its size
                SetWindowPos(object, nullptr, 0, 0, random.range(1, w + 40),
                             random.range(1, h + 40), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
                break;
            }
            pumpMessages();
            ASSERT_EQ(readCanvas(object), assigned) << what;
            RECT client{};
            GetClientRect(object, &client);
            if (!cover && client.right >= w && client.bottom >= h) {
                ASSERT_EQ(readCanvasSurface(object), assigned) << what;
            }
        }
        if (cover) {
            DestroyWindow(cover);
        }
        canvas::releaseAllCanvases();
        DestroyWindow(object);
    }
}

} // namespace

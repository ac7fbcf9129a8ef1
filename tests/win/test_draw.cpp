// Images, drawing passes, text and fonts on real DIB sections and real
// GDI text under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "draw/drawpass_win.h"
#include "draw/font_win.h"
#include "draw/image_win.h"
#include "draw/pixel_kernels.h"
#include "draw/premultiply.h"
#include "base/dib_win.h"
#include "base/gdi_win.h"
#include "base/object_table.h"
#include "tests/win/support/canvas_probe.h"
#include "tests/win/support/ui_driver.h"
#include "ui/toolkit_win.h"

namespace {

// The drawing pieces the plug-in starts at attach and stops at detach, in
// its order.
void startDrawing() {
    draw::imageStartup();
}
void stopDrawing() {
    draw::imageShutdown();
    draw::fontShutdown();
}

const bool g_drawing = aroundAllTests(&startDrawing, &stopDrawing);

// A pass on an image; ends it on scope exit.
struct Pass {
    intptr_t dc = 0;
    explicit Pass(int image) { dc = DrawStart(ImgOutput(image)); }
    ~Pass() { DrawStop(); }
};

int whiteCanvas(int w, int h) {
    const int n = static_cast<int>(ImgCreate(UI_ANY, w, h, 32, 0));
    Pass pass(n);
    DrawBox(0, 0, w, h, 0x00FFFFFF);
    return n;
}

SIZE measure(HFONT font, const wchar_t* text) {
    MemoryDC dc;
    ScopedSelect select(dc.get(), font);
    SIZE s{};
    GetTextExtentPoint32W(dc.get(), text, static_cast<int>(wcslen(text)), &s);
    return s;
}

struct Cell {
    int x0, y0, x1, y1; // changed pixels' bounds, x1/y1 exclusive
    int count = 0;
};

Cell changedCell(int n, uint32_t background) {
    const ImagePixels px(n);
    Cell c{px.width(), px.height(), 0, 0};
    for (int y = 0; y < px.height(); ++y) {
        for (int x = 0; x < px.width(); ++x) {
            if (px.at(x, y) != background) {
                c.x0 = std::min(c.x0, x);
                c.y0 = std::min(c.y0, y);
                c.x1 = std::max(c.x1, x + 1);
                c.y1 = std::max(c.y1, y + 1);
                ++c.count;
            }
        }
    }
    return c;
}

//--- Owners ---------------------------------------------------------------------

// Each row leaves its scope with the DC's bitmap as it expects: selection
// owners put back what they displaced, once, and only while they own it.
TEST(Owners, SelectionsComeBackOnScopeExitFromTheOwnerHoldingThem) {
    MemoryDC dc;
    ASSERT_TRUE(dc);
    const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_BITMAP);
    const DibSection a(nullptr, 2, 2, 32, RowOrder::BottomUp);
    const DibSection b(nullptr, 2, 2, 32, RowOrder::BottomUp);
    ASSERT_TRUE(a && b);
    struct Row {
        const char* what;
        HGDIOBJ (*run)(HDC, HBITMAP, HBITMAP); // the bitmap the DC must hold after
    };
    const Row rows[] = {
        {"selected, then restored",
         [](HDC dc, HBITMAP a, HBITMAP) {
             const HGDIOBJ before = GetCurrentObject(dc, OBJ_BITMAP);
             ScopedSelect select(dc, a);
             EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), a);
             return before;
         }},
        {"kept, then selected twice by hand",
         [](HDC dc, HBITMAP a, HBITMAP b) {
             const HGDIOBJ before = GetCurrentObject(dc, OBJ_BITMAP);
             ScopedSelect keep = ScopedSelect::keepCurrent(dc, OBJ_BITMAP);
             SelectObject(dc, a);
             SelectObject(dc, b);
             return before;
         }},
        {"default-constructed, then assigned",
         [](HDC dc, HBITMAP a, HBITMAP) {
             const HGDIOBJ before = GetCurrentObject(dc, OBJ_BITMAP);
             ScopedSelect select;
             select = ScopedSelect(dc, a);
             EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), a);
             return before;
         }},
        {"moved-from restores nothing",
         [](HDC dc, HBITMAP a, HBITMAP b) {
             ScopedSelect select(dc, a);
             { const ScopedSelect moved(std::move(select)); } // puts the original back
             SelectObject(dc, b);
             return static_cast<HGDIOBJ>(b);
         }},
    };
    for (const Row& row : rows) {
        const HGDIOBJ expected = row.run(dc.get(), a.get(), b.get());
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), expected) << row.what;
        SelectObject(dc.get(), original);
    }
}

// Owners release their object once: a moved-from one holds and frees
// nothing, a move assignment frees what it held before.
TEST(Owners, MovedOwnersReleaseOnce) {
    const auto alive = [](HGDIOBJ h) { return GetObjectType(h) != 0; };
    DibSection first(nullptr, 3, 2, 24, RowOrder::TopDown);
    const HBITMAP firstBitmap = first.get();
    {
        const DibSection taken(std::move(first));
        EXPECT_TRUE(!first && !first.get() && !first.bits());
        EXPECT_EQ(taken.get(), firstBitmap);
    }
    EXPECT_FALSE(alive(firstBitmap));
    DibSection kept(nullptr, 1, 1, 32, RowOrder::BottomUp);
    const HBITMAP replaced = kept.get();
    kept = DibSection(nullptr, 1, 1, 32, RowOrder::BottomUp);
    EXPECT_FALSE(alive(replaced));
    EXPECT_TRUE(alive(kept.get()));
    EXPECT_FALSE(DibSection(nullptr, 0, 5, 32, RowOrder::BottomUp)) << "no empty sections";

    MemoryDC dc;
    const HDC made = dc.get();
    {
        const MemoryDC taken(std::move(dc));
        EXPECT_FALSE(dc);
        EXPECT_EQ(GetObjectType(made), DWORD(OBJ_MEMDC));
    }
    EXPECT_FALSE(alive(made));
}

//--- Images ---------------------------------------------------------------------

TEST(Images, CanvasImageIsABottomUp32BitSectionOfOpaqueBlack) {
    const ScopedImage n(ImgCreate(UI_ANY, 7, 5, 32, 0));
    ASSERT_GE(n, FIRST_ALLOCATED_NUMBER);
    EXPECT_TRUE(ImgExists(static_cast<int>(n)));
    EXPECT_EQ(ImgWidth(static_cast<int>(n)), 7);
    EXPECT_EQ(ImgHeight(static_cast<int>(n)), 5);
    const ImagePixels px(static_cast<int>(n));
    EXPECT_GT(px.ds.dsBmih.biHeight, 0);
    EXPECT_EQ(px.ds.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(px.ds.dsBm.bmWidthBytes, 28);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(px.at(x, y), 0xFF000000u);
}

TEST(Images, FillValuesByDepthAndColour) {
    const ScopedImage none(ImgCreate(UI_ANY, 3, 2, 32, 0xFFFFFFFFu));
    const ScopedImage red(ImgCreate(UI_ANY, 3, 2, 32, 0x00332211));
    const ImagePixels a(none), b(red);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(a.at(x, y), 0u);
            EXPECT_EQ(b.at(x, y), 0xFF112233u); // bytes 33 22 11 FF: blue first
        }
    }
    // Any other depth is 24 bits, filled through GDI, rows padded to 4 bytes.
    for (int depth : {24, 8, 16}) {
        const ScopedImage n(ImgCreate(UI_ANY, 5, 3, depth, 0x00332211));
        ASSERT_NE(n, 0);
        const ImagePixels p(n);
        EXPECT_EQ(p.ds.dsBm.bmBitsPixel, 24);
        EXPECT_EQ(p.ds.dsBm.bmWidthBytes, 16);
        const uint8_t* first = static_cast<const uint8_t*>(p.ds.dsBm.bmBits);
        EXPECT_EQ(first[12], 0x33);
        EXPECT_EQ(first[13], 0x22);
        EXPECT_EQ(first[14], 0x11);
    }
}

TEST(Images, RowZeroIsTheLastRowInMemory) {
    const ScopedImage n(ImgCreate(UI_ANY, 4, 3, 32, 0));
    {
        Pass pass(n);
        ASSERT_NE(pass.dc, 0);
        DrawBox(0, 0, 4, 1, 0x000000FF);
    }
    const ImagePixels px(n);
    const auto* memory = static_cast<const uint32_t*>(px.ds.dsBm.bmBits);
    EXPECT_EQ(memory[2 * 4], 0xFFFF0000u); // red, in the last memory row
    EXPECT_EQ(memory[0], 0xFF000000u);
}

TEST(Images, ExistsOnlyForLiveNumbers) {
    const int n = static_cast<int>(ImgCreate(UI_ANY, 2, 2, 32, 0));
    ASSERT_TRUE(ImgExists(n));
    ImgFree(n);
    EXPECT_FALSE(ImgExists(n));
    EXPECT_EQ(ImgHandle(n), 0);
    EXPECT_EQ(ImgWidth(n), 0);
    EXPECT_EQ(ImgOutput(n), 0);
    int local = 0;
    for (intptr_t garbage : {intptr_t(-5), intptr_t(12345), intptr_t(0x7FFFFFFF), intptr_t(n + 1),
                             reinterpret_cast<intptr_t>(&local)}) {
        EXPECT_FALSE(ImgExists(static_cast<int>(garbage))) << garbage;
        ImgFree(static_cast<int>(garbage)); // nothing happens
    }
}

TEST(Images, ReusingAFixedNumberFreesTheOldBitmap) {
    const HBITMAP first = reinterpret_cast<HBITMAP>(ImgCreate(3, 4, 4, 32, 0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(reinterpret_cast<HBITMAP>(ImgHandle(3)), first);
    const HBITMAP second = reinterpret_cast<HBITMAP>(ImgCreate(3, 6, 2, 32, 0));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(ImgWidth(3), 6);
    if (second != first) {
        BITMAP bm{};
        EXPECT_EQ(GetObjectW(first, sizeof(bm), &bm), 0) << "the first bitmap is still alive";
    }
    ImgFree(3);
    EXPECT_FALSE(ImgExists(3));
    BITMAP bm{};
    EXPECT_EQ(GetObjectW(second, sizeof(bm), &bm), 0);
}

TEST(Images, SizesOutsideOneTo32767AreRefused) {
    const int big = static_cast<int>(ImgCreate(UI_ANY, 32767, 1, 32, 0));
    ASSERT_NE(big, 0);
    EXPECT_EQ(ImgWidth(big), 32767);
    ImgFree(big);
    for (auto size : std::vector<std::pair<int, int>>{
             {32768, 1}, {1, 40000}, {0, 5}, {5, 0}, {-3, 4}, {4, -3}}) {
        EXPECT_EQ(ImgCreate(UI_ANY, size.first, size.second, 32, 0), 0)
            << size.first << "x" << size.second;
        EXPECT_EQ(ImgCreate(9, size.first, size.second, 32, 0), 0);
        EXPECT_FALSE(ImgExists(9));
    }
}

TEST(Images, FreeingAllReleasesEveryImage) {
    const int a = static_cast<int>(ImgCreate(UI_ANY, 2, 2, 32, 0));
    const intptr_t b = ImgCreate(40, 2, 2, 24, 0);
    ASSERT_TRUE(a && b);
    ImgFree(-1);
    EXPECT_FALSE(ImgExists(a));
    EXPECT_FALSE(ImgExists(40));
}

//--- Passes ---------------------------------------------------------------------

TEST(Passes, StartOnNoOutputFailsAndPrimitivesWithoutAPassDoNothing) {
    EXPECT_EQ(DrawStart(0), 0);
    DrawStop();
    DrawSetMode(DRAW_MODE_OUTLINED);
    DrawBox(0, 0, 10, 10, 0);
    DrawCircle(5, 5, 3, 0);
    DrawSetFont(-1);
    EXPECT_EQ(DrawString(12.5, 3, u"abc", 0), 12.5);
    EXPECT_EQ(draw::currentRaster(), nullptr);
}

TEST(Passes, StopRestoresTheBatchLimitAndFreesTheContext) {
    const ScopedImage n(ImgCreate(UI_ANY, 8, 8, 32, 0));
    GdiSetBatchLimit(7);
    const DWORD before = GdiGetBatchLimit();
    const intptr_t output = ImgOutput(n);
    ASSERT_NE(output, 0);
    EXPECT_EQ(GdiGetBatchLimit(), 1u);
    const intptr_t dc = DrawStart(output);
    ASSERT_NE(dc, 0);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HDC>(dc)), DWORD(OBJ_MEMDC));
    EXPECT_EQ(reinterpret_cast<HBITMAP>(GetCurrentObject(reinterpret_cast<HDC>(dc), OBJ_BITMAP)),
              reinterpret_cast<HBITMAP>(ImgHandle(n)));
    DrawStop();
    EXPECT_EQ(GdiGetBatchLimit(), before);
    EXPECT_EQ(draw::currentRaster(), nullptr);
    EXPECT_EQ(DrawStart(output), 0); // that output's pass is over
    GdiSetBatchLimit(0);
}

TEST(Passes, EveryPassStartsInModeZeroWithBlackColours) {
    const ScopedImage n(ImgCreate(UI_ANY, 8, 8, 32, 0));
    {
        Pass pass(n);
        DrawSetMode(DRAW_MODE_OUTLINED | DRAW_MODE_XOR);
        DrawBox(0, 0, 2, 2, 0x00123456);
    }
    Pass pass(n);
    ASSERT_NE(draw::currentRaster(), nullptr);
    EXPECT_EQ(draw::currentRaster()->mode(), DRAW_MODE_DEFAULT);
    EXPECT_EQ(draw::currentRaster()->front(), 0u);
    EXPECT_EQ(draw::currentRaster()->back(), 0u);
    EXPECT_EQ(draw::currentRaster()->defaultBack(), 0xFF000000u);
}

TEST(Passes, BoxAndCircleDrawIntoTheImageKeepingAlpha) {
    const int n = whiteCanvas(21, 15);
    {
        Pass pass(n);
        DrawSetMode(DRAW_MODE_OUTLINED);
        DrawCircle(10, 7, 5, 0x000000FF);
        DrawCircle(10, 7, 2000000000, 0x000000FF); // contains the image: nothing
        DrawCircle(INT32_MIN, INT32_MAX, INT32_MAX, 0x000000FF);
    }
    const ImagePixels px(n);
    EXPECT_EQ(px.at(15, 7), 0xFFFF0000u);
    EXPECT_EQ(px.at(5, 7), 0xFFFF0000u);
    EXPECT_EQ(px.at(10, 2), 0xFFFF0000u);
    EXPECT_EQ(px.at(10, 12), 0xFFFF0000u);
    EXPECT_EQ(px.at(10, 7), 0xFFFFFFFFu);
    EXPECT_EQ(px.at(16, 7), 0xFFFFFFFFu);
    EXPECT_EQ(px.at(0, 0), 0xFFFFFFFFu);
    ImgFree(n);

    // A box over the whole image is a fill of whole pixels only on an image
    // opaque everywhere and in the default mode. It keeps alpha too where it
    // may not be 255 everywhere: an image made without a colour (alpha 0),
    // or one GDI drew into in the same pass; and it keeps its mode: an
    // exclusive-or, or an outline whose inside stays.
    struct Row {
        const char* what;
        uint32_t fill; // ImgCreate's
        int mode;
        bool gdi;     // GDI draws pixel (1, 1) first
        bool exactly; // the box is the image's own rectangle, else wider, its height running up
        uint32_t corner, inside; // pixels (0, 0) and (1, 1) after; GDI's alpha stays at (1, 1)
    };
    const Row rows[] = {
        {"made without a colour", 0xFFFFFFFF, DRAW_MODE_DEFAULT, false, false, 0x0000FF00,
         0x0000FF00},
        {"GDI drew into it", 0x00FFFFFF, DRAW_MODE_DEFAULT, true, false, 0xFF00FF00, 0x0000FF00},
        {"exclusive-or", 0x00FFFFFF, DRAW_MODE_XOR, false, false, 0xFFFF00FF, 0xFFFF00FF},
        {"outlined", 0x00FFFFFF, DRAW_MODE_OUTLINED, false, true, 0xFF00FF00, 0xFFFFFFFF},
    };
    for (const Row& row : rows) {
        const ScopedImage m(ImgCreate(UI_ANY, 4, 3, 32, row.fill));
        uint32_t drawnByGdi = 0;
        {
            Pass pass(m);
            if (row.gdi) {
                SetPixelV(reinterpret_cast<HDC>(pass.dc), 1, 1, RGB(0, 0, 255));
                drawnByGdi = ImagePixels(m).at(1, 1);
                ASSERT_NE(drawnByGdi >> 24, 0xFFu) << "GDI left alpha 255";
            }
            DrawSetMode(row.mode);
            if (row.exactly) {
                DrawBox(0, 0, 4, 3, 0x0000FF00);
            } else {
                DrawBox(-1, 5, 6, -8, 0x0000FF00); // all of it, the height running up
            }
        }
        const ImagePixels after(m);
        EXPECT_EQ(after.at(0, 0), row.corner) << row.what;
        EXPECT_EQ(after.at(1, 1), (drawnByGdi & 0xFF000000u) | row.inside) << row.what;
    }
}

// Boxes of every width from 0 to 67, each on rows of its own and starting
// anywhere within a vector of four pixels, then one large box.
void boxesOfEveryWidth(int image, int mode) {
    Pass pass(image);
    DrawSetMode(mode);
    for (int w = 0; w <= 67; ++w) {
        DrawBox(w % 5, w * 3, w, 2, (0x123457u * uint32_t(w + 1)) & 0xFFFFFF);
    }
    DrawBox(3, 210, 630, 600, 0x00A5C3E1);
}

// The SSE2 kernels this build picks at run time against its plain ones:
// each row changes an image of random pixels (alpha 0, 1, 254 and 255 among
// them) once with each, and the two images must match byte for byte.
TEST(Passes, SseAndPlainKernelsLeaveTheSamePixels) {
    if (draw::bestPixelKernels() != draw::PixelKernels::Sse2) {
        GTEST_SKIP() << "this processor has no SSE2";
    }
    // Half the image is over 1 MB: a copy of one half onto the other streams.
    constexpr int W = 640, H = 860;
    struct Row {
        const char* what;
        void (*change)(int image, uint8_t* bits, ptrdiff_t pitch);
    };
    const Row rows[] = {
        {"box fills",
         [](int image, uint8_t*, ptrdiff_t) { boxesOfEveryWidth(image, DRAW_MODE_DEFAULT); }},
        {"exclusive-or box fills",
         [](int image, uint8_t*, ptrdiff_t) { boxesOfEveryWidth(image, DRAW_MODE_XOR); }},
        {"premultiplied copies of short rows",
         [](int, uint8_t* bits, ptrdiff_t pitch) {
             for (int k = 0; k <= 67; ++k) {
                 draw::premultiplyPixels(bits + (k + 100) * pitch + k % 5 * 4,
                                         bits + k * pitch + k % 3 * 4, size_t(k));
             }
         }},
        {"short rows premultiplied in place",
         [](int, uint8_t* bits, ptrdiff_t pitch) {
             for (int k = 0; k <= 67; ++k) {
                 uint8_t* row = bits + k * pitch + k % 5 * 4;
                 draw::premultiplyPixels(row, row, size_t(k));
             }
         }},
        {"premultiplied copy of half the image",
         [](int, uint8_t* bits, ptrdiff_t pitch) {
             draw::premultiplyPixels(bits + pitch * (H / 2), bits, size_t(W) * (H / 2));
         }},
    };
    std::vector<uint8_t> noise(size_t(W) * H * 4);
    std::minstd_rand random(42);
    const uint8_t alphas[] = {0, 1, 254, 255, 255, 255, 255, 255};
    for (size_t k = 0; k < noise.size(); k += 4) {
        const uint32_t r = static_cast<uint32_t>(random());
        std::memcpy(&noise[k], &r, 3);
        noise[k + 3] = alphas[(r >> 24) % sizeof(alphas)];
    }
    for (const Row& row : rows) {
        std::vector<uint8_t> after[2];
        for (auto kernels : {draw::PixelKernels::Plain, draw::PixelKernels::Sse2}) {
            const draw::ScopedPixelKernels use(kernels);
            ASSERT_EQ(use.inUse(), kernels);
            const ScopedImage n(ImgCreate(UI_ANY, W, H, 32, 0));
            ASSERT_NE(n, 0);
            const ImagePixels px(n);
            auto* bits = static_cast<uint8_t*>(px.ds.dsBm.bmBits);
            const size_t bytes = size_t(px.ds.dsBm.bmWidthBytes) * H;
            std::memcpy(bits, noise.data(), bytes);
            row.change(n, bits, px.ds.dsBm.bmWidthBytes);
            GdiFlush();
            after[int(kernels)].assign(bits, bits + bytes);
        }
        EXPECT_FALSE(std::equal(after[0].begin(), after[0].end(), noise.begin())) << row.what;
        const auto diff = std::mismatch(after[0].begin(), after[0].end(), after[1].begin());
        EXPECT_TRUE(diff.first == after[0].end())
            << row.what << ": first different byte at " << (diff.first - after[0].begin());
    }
}

// An output number outlives its pass only as a number that finds nothing:
// DrawStart on it opens no pass and draws nothing, whatever context is
// current now (a new one may well sit where the old one was).
TEST(Passes, AStaleOutputFindsNothing) {
    const ScopedImage n(whiteCanvas(40, 20)), other(whiteCanvas(40, 20));
    struct Row {
        const char* what;
        void (*after)(int n, int other); // what follows taking the output
    };
    const Row rows[] = {
        {"pass stopped", [](int, int) { DrawStop(); }},
        {"another output on the same image", [](int n, int) { ImgOutput(n); }},
        {"an output on another image", [](int, int other) { ImgOutput(other); }},
    };
    for (const Row& row : rows) {
        const intptr_t stale = ImgOutput(n);
        ASSERT_NE(stale, 0) << row.what;
        row.after(n, other);
        EXPECT_EQ(DrawStart(stale), 0) << row.what;
        // The context current now, if any, stays unopened: no text.
        EXPECT_EQ(DrawString(1, 1, u"Hg", 0x000000FF), 1.0) << row.what;
        DrawStop();
        EXPECT_EQ(changedCell(n, 0xFFFFFFFF).count, 0) << row.what;
        EXPECT_EQ(changedCell(other, 0xFFFFFFFF).count, 0) << row.what;
    }
}

//--- Text ------------------------------------------------------------------------

// Scripts name faces by their Windows names. Every Wine prefix that ./run
// makes serves them with the installed faces that stand in for them, so
// such text comes out as the stand-in's, pixel for pixel, and not in some
// fallback face.
TEST(Text, WindowsFaceNamesDrawAsTheirStandIns) {
    const auto drawn = [](const char16_t* face, int style) {
        const ScopedImage n(whiteCanvas(320, 40));
        const ScopedFont font(100);
        EXPECT_NE(FontLoad(100, face, 16, style), 0);
        {
            Pass pass(n);
            DrawSetMode(DRAW_MODE_TRANSPARENT);
            DrawSetFont(FontHandle(100));
            DrawString(2, 2, u"Hamburgefonstiv 0123", 0x00000000);
        }
        const ImagePixels px(n);
        std::vector<uint32_t> all;
        for (int y = 0; y < px.height(); ++y) {
            for (int x = 0; x < px.width(); ++x) {
                all.push_back(px.at(x, y));
            }
        }
        return all;
    };
    EXPECT_NE(drawn(u"Liberation Serif", 0), drawn(u"Liberation Sans", 0)) << "faces show apart";
    const struct {
        const char16_t* windows;
        const char16_t* standIn;
        int style;
    } cases[] = {
        {u"Arial", u"Liberation Sans", FONT_BOLD},
        {u"Times New Roman", u"Liberation Serif", FONT_ITALIC},
        {u"Courier New", u"Liberation Mono", 0},
        {u"Verdana", u"DejaVu Sans", FONT_BOLD | FONT_ITALIC},
        {u"Tahoma", u"Liberation Sans", FONT_BOLD},
        {u"Segoe UI", u"Liberation Sans", 0},
        {u"MS Sans Serif", u"Liberation Sans", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(drawn(c.windows, c.style), drawn(c.standIn, c.style))
            << std::string(c.windows, c.windows + std::char_traits<char16_t>::length(c.windows));
    }
}

TEST(Text, TransparentWhiteOnWhiteChangesNothing) {
    const ScopedImage n(whiteCanvas(120, 40));
    const ScopedFont font(100);
    ASSERT_NE(FontLoad(100, u"Arial", 12, 0), 0);
    double after = 0;
    {
        Pass pass(n);
        DrawSetMode(DRAW_MODE_TRANSPARENT);
        DrawSetFont(FontHandle(100));
        after = DrawString(4, 3, u"Hola mundo", 0x00FFFFFF);
    }
    const SIZE s = measure(reinterpret_cast<HFONT>(FontHandle(100)), L"Hola mundo");
    EXPECT_EQ(after, 4.0 + s.cx);
    EXPECT_EQ(changedCell(n, 0xFFFFFFFF).count, 0);
}

TEST(Text, OpaqueTextPaintsItsWholeCellWithTheBackColour) {
    const ScopedImage n(whiteCanvas(120, 40));
    const ScopedFont font(100);
    ASSERT_NE(FontLoad(100, u"Arial", 12, 0), 0);
    double after = 0;
    {
        Pass pass(n);
        DrawSetFont(FontHandle(100));
        after = DrawString(5, 6, u"Hg", 0x00000000); // black on the default back, black
    }
    const SIZE s = measure(reinterpret_cast<HFONT>(FontHandle(100)), L"Hg");
    EXPECT_EQ(after, 5.0 + s.cx);
    const Cell c = changedCell(n, 0xFFFFFFFF);
    EXPECT_EQ(c.x0, 5);
    EXPECT_EQ(c.y0, 6);
    EXPECT_EQ(c.x1, 5 + s.cx);
    EXPECT_EQ(c.y1, 6 + s.cy);
    EXPECT_EQ(c.count, s.cx * s.cy); // every pixel of the cell, each now opaque black
    const ImagePixels px(n);
    EXPECT_EQ(px.at(5, 6), 0xFF000000u);
}

TEST(Text, RedTextStaysRed) {
    const ScopedImage n(whiteCanvas(80, 30));
    {
        Pass pass(n);
        DrawSetFont(-1);
        DrawString(2, 2, u"MMM", 0x000000FF, 0x00000000);
    }
    const ImagePixels px(n);
    int red = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 80; ++x) {
            const uint32_t v = px.at(x, y);
            if (v == 0xFFFFFFFFu)
                continue;
            EXPECT_EQ(v & 0xFF, 0u); // no blue anywhere in the cell
            EXPECT_EQ(v >> 24, 0xFFu);
            red += ((v >> 16) & 0xFF) > 0x80;
        }
    }
    EXPECT_GT(red, 10);
}

TEST(Text, ItalicWidensTheResultByItsOverhang) {
    const ScopedImage n(whiteCanvas(200, 60));
    ASSERT_NE(FontLoad(100, u"Arial", 20, FONT_ITALIC), 0);
    const HFONT italic = reinterpret_cast<HFONT>(FontHandle(100));
    const int overhang = draw::italicOverhang(italic);
    EXPECT_GT(overhang, 0);
    double after = 0;
    {
        Pass pass(n);
        DrawSetFont(FontHandle(100));
        after = DrawString(10, 5, u"Wolf", 0x00FFFFFF, 0x00000000);
    }
    EXPECT_EQ(after, 10.0 + measure(italic, L"Wolf").cx + overhang);
    const Cell c = changedCell(n, 0xFFFFFFFF);
    EXPECT_EQ(c.x1, int(after));
    ASSERT_NE(FontLoad(101, u"Arial", 20, 0), 0);
    EXPECT_EQ(draw::italicOverhang(reinterpret_cast<HFONT>(FontHandle(101))), 0);
    FontFree(-1);
}

// The overhang read pixel by pixel with GetPixel, straight from its
// definition: the last column reached by "H" drawn white on black.
int overhangByGetPixel(HFONT font) {
    MemoryDC dc;
    ScopedSelect withFont(dc.get(), font);
    SIZE h{};
    GetTextExtentPoint32W(dc.get(), L"H", 1, &h);
    GdiObject<HBITMAP> canvas(CreateCompatibleBitmap(dc.get(), 2 * h.cx, 2 * h.cy));
    ScopedSelect withCanvas(dc.get(), canvas.get());
    const RECT all{0, 0, 2 * h.cx, 2 * h.cy};
    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetBkMode(dc.get(), OPAQUE);
    SetBkColor(dc.get(), RGB(0, 0, 0));
    SetTextColor(dc.get(), RGB(255, 255, 255));
    TextOutW(dc.get(), 0, 0, L"H", 1);
    for (int n = 2 * h.cx - 1; n >= 0; --n) {
        for (int row = 0; row < h.cy; ++row) {
            const COLORREF c = GetPixel(dc.get(), n, row);
            if (c != 0 && c != CLR_INVALID) {
                return n - h.cx + 2;
            }
        }
    }
    return 0;
}

TEST(Text, ItalicOverhangIsTheLastColumnHReaches) {
    struct Case {
        const char16_t* face;
        int size;
        int style;
    };
    const Case cases[] = {
        {u"Arial", 8, FONT_ITALIC},
        {u"Arial", 20, FONT_ITALIC},
        {u"Arial", 33, FONT_ITALIC | FONT_BOLD},
        {u"Liberation Serif", 72, FONT_ITALIC},
        {u"Courier New", 15, FONT_ITALIC | FONT_UNDERLINE},
        {u"NoSuchFaceAnywhere", 27, FONT_ITALIC},
        // Rows of "H" too many to read at once (and GetPixel too slow for
        // the emulated 32-bit tier).
        {u"Arial", sizeof(void*) == 8 ? 2000 : 0, FONT_ITALIC},
    };
    for (const Case& c : cases) {
        if (!c.size) {
            continue;
        }
        ASSERT_NE(FontLoad(100, c.face, c.size, c.style), 0);
        const HFONT font = reinterpret_cast<HFONT>(FontHandle(100));
        const int expected = overhangByGetPixel(font);
        EXPECT_GT(expected, 0) << c.size;
        EXPECT_EQ(draw::italicOverhang(font), expected) << c.size;
    }
    FontFree(-1);
}

TEST(Text, NegativeXDrawsTheVisibleRightPartFromColumnZero) {
    const ScopedFont font(100);
    ASSERT_NE(FontLoad(100, u"Arial", 14, 0), 0);
    const ScopedImage whole(whiteCanvas(150, 30)), cut(whiteCanvas(150, 30));
    const int shift = 13;
    double afterCut = 0;
    {
        Pass pass(whole);
        DrawSetFont(FontHandle(100));
        DrawString(0, 4, u"WAVE wave", 0x00FFFFFF, 0x00800000);
    }
    {
        Pass pass(cut);
        DrawSetFont(FontHandle(100));
        afterCut = DrawString(-shift, 4, u"WAVE wave", 0x00FFFFFF, 0x00800000);
    }
    const int cx = measure(reinterpret_cast<HFONT>(FontHandle(100)), L"WAVE wave").cx;
    EXPECT_EQ(afterCut, double(cx - shift));
    const ImagePixels a(whole), b(cut);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x + shift < 150; ++x) {
            ASSERT_EQ(b.at(x, y), a.at(x + shift, y)) << x << "," << y;
        }
    }
}

TEST(Text, TallFontsGrowTheGlyphBuffer) {
    const ScopedFont font(100);
    ASSERT_NE(FontLoad(100, u"Arial", 60, 0), 0);
    const SIZE s = measure(reinterpret_cast<HFONT>(FontHandle(100)), L"Hg");
    ASSERT_GT(s.cy, 50);
    // Set before any text, or after text in a smaller font: either way the
    // whole cell is drawn, not cut at the 50 rows the system font needs.
    for (bool textBefore : {false, true}) {
        const ScopedImage n(whiteCanvas(200, 120));
        {
            Pass pass(n);
            if (textBefore) {
                DrawString(150, 100, u"x", 0x00FFFFFF, 0x00FFFFFF); // white on white
            }
            DrawSetFont(FontHandle(100));
            DrawString(0, 0, u"Hg", 0x00000000, 0x00000000);
        }
        const Cell c = changedCell(n, 0xFFFFFFFF);
        EXPECT_EQ(c.y1, s.cy) << textBefore;
    }
}

TEST(Text, AFontThatCannotBeSelectedLeavesTheLastGoodOneInUse) {
    const ScopedFont font(100);
    ASSERT_NE(FontLoad(100, u"Arial", 40, 0), 0);
    ASSERT_NE(FontLoad(101, u"Arial", 8, 0), 0);
    const HFONT big = reinterpret_cast<HFONT>(FontHandle(100));
    const ScopedImage n(whiteCanvas(300, 100));
    const intptr_t gone = FontHandle(101);
    FontFree(101); // a stale handle, nothing made after it
    double after = 0;
    {
        Pass pass(n);
        DrawSetFont(FontHandle(100));
        DrawSetFont(gone);
        after = DrawString(0, 0, u"Hg", 0x00000000, 0x00000000);
    }
    const SIZE s = measure(big, L"Hg");
    EXPECT_EQ(after, static_cast<double>(s.cx));
    EXPECT_EQ(changedCell(n, 0xFFFFFFFF).y1, s.cy);
}

TEST(Text, EmptyTextAndFarAwayPositionsDrawNothing) {
    const ScopedImage n(whiteCanvas(40, 20));
    {
        Pass pass(n);
        EXPECT_EQ(DrawString(3, 3, u"", 0), 3.0);
        const double inf = std::numeric_limits<double>::infinity();
        for (double x : {-1e300, -3e9, 1e12, inf, -inf}) {
            DrawString(x, 2, u"far", 0x000000FF, 0x0000FF00);
        }
        for (double y : {-1e300, -3e9, 3e9, inf}) {
            DrawString(2, y, u"far", 0x000000FF, 0x0000FF00);
        }
        const double nan = std::numeric_limits<double>::quiet_NaN();
        EXPECT_TRUE(std::isnan(DrawString(nan, 2, u"far", 0x000000FF)));
        DrawString(2, nan, u"far", 0x000000FF);
        EXPECT_EQ(DrawString(-1e12, 2, u"x", 0),
                  -1e12 + measure(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)), L"x").cx);
    }
    EXPECT_EQ(changedCell(n, 0xFFFFFFFF).count, 0);
}

//--- Fonts -----------------------------------------------------------------------

TEST(Fonts, LoadAsksForThePointSizeAtScreenDpiAndTheStyles) {
    EXPECT_EQ(ui::screenDpi(), 96);
    struct Case {
        int size, style;
        LONG height, weight;
        BYTE italic, underline, strike, quality;
    };
    const Case cases[] = {
        {12, 0, -16, 400, 0, 0, 0, 0},
        {12, FONT_BOLD | FONT_ITALIC, -16, 700, 1, 0, 0, 0},
        {9, FONT_UNDERLINE | FONT_STRIKEOUT | FONT_PROOF_QUALITY, -12, 400, 0, 1, 1, PROOF_QUALITY},
        {72, 0, -96, 400, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const intptr_t number = FontLoad(UI_ANY, u"Liberation Serif", c.size, c.style);
        ASSERT_GE(number, FIRST_ALLOCATED_NUMBER);
        LOGFONTW lf{};
        ASSERT_EQ(GetObjectW(reinterpret_cast<HFONT>(FontHandle(static_cast<int>(number))),
                             sizeof(lf), &lf),
                  int(sizeof(lf)));
        EXPECT_EQ(lf.lfHeight, c.height);
        EXPECT_EQ(lf.lfWeight, c.weight);
        EXPECT_EQ(lf.lfItalic, c.italic);
        EXPECT_EQ(lf.lfUnderline, c.underline);
        EXPECT_EQ(lf.lfStrikeOut, c.strike);
        EXPECT_EQ(lf.lfQuality, c.quality);
        EXPECT_EQ(lf.lfOutPrecision, OUT_TT_PRECIS);
        EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
        EXPECT_STREQ(lf.lfFaceName, L"Liberation Serif");
        FontFree(static_cast<int>(number));
        EXPECT_EQ(FontHandle(static_cast<int>(number)), 0);
    }
}

TEST(Fonts, FixedNumbersReturnTheHandleAndReuseFreesTheOldFont) {
    const HFONT first = reinterpret_cast<HFONT>(FontLoad(100, u"Arial", 10, 0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(reinterpret_cast<HFONT>(FontHandle(100)), first);
    const HFONT second = reinterpret_cast<HFONT>(FontLoad(100, u"Arial", 11, 0));
    ASSERT_NE(second, nullptr);
    if (second != first) {
        LOGFONTW lf{};
        EXPECT_EQ(GetObjectW(first, sizeof(lf), &lf), 0);
    }
    FontFree(100);
    EXPECT_EQ(FontHandle(100), 0);
    FontFree(100);                                  // already gone: nothing
    EXPECT_EQ(FontLoad(70000, u"Arial", 10, 0), 0); // beyond the fixed range
}

TEST(Lifecycle, ShutdownFreesImagesFontsAndAnOpenPass) {
    const int n = static_cast<int>(ImgCreate(UI_ANY, 4, 4, 32, 0));
    const intptr_t f = FontLoad(UI_ANY, u"Arial", 10, 0);
    const HBITMAP bitmap = reinterpret_cast<HBITMAP>(ImgHandle(n));
    ASSERT_NE(DrawStart(ImgOutput(n)), 0);
    stopDrawing();
    EXPECT_EQ(draw::currentRaster(), nullptr);
    EXPECT_FALSE(ImgExists(n));
    EXPECT_EQ(FontHandle(static_cast<int>(f)), 0);
    BITMAP bm{};
    EXPECT_EQ(GetObjectW(bitmap, sizeof(bm), &bm), 0);
    startDrawing();
}

} // namespace

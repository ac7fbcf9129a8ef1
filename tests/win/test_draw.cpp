// Images, drawing passes, text and fonts on real DIB sections and real
// GDI text under Wine.
#include "tests/win/test_draw/draw_tests.h"

using namespace drawtests;

namespace {

const bool g_gdiSpy = watchGdiAroundAllTests();
const bool g_drawing = aroundAllTests(&startDrawing, &stopDrawing);

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
        void (*run)(HDC, HBITMAP, HBITMAP);
        bool endsOnB = false; // the DC holds b after, else the original again
    };
    const Row rows[] = {
        {"selected, then restored",
         [](HDC dc, HBITMAP a, HBITMAP) {
             ScopedSelect select(dc, a);
             EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), a);
         }},
        {"kept, then selected twice by hand",
         [](HDC dc, HBITMAP a, HBITMAP b) {
             ScopedSelect keep = ScopedSelect::keepCurrent(dc, OBJ_BITMAP);
             SelectObject(dc, a);
             SelectObject(dc, b);
         }},
        {"default-constructed, then assigned",
         [](HDC dc, HBITMAP a, HBITMAP) {
             ScopedSelect select;
             select = ScopedSelect(dc, a);
             EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), a);
         }},
        {"moved-from restores nothing",
         [](HDC dc, HBITMAP a, HBITMAP b) {
             ScopedSelect select(dc, a);
             { const ScopedSelect moved(std::move(select)); } // puts the original back
             SelectObject(dc, b);
         },
         true},
    };
    for (const Row& row : rows) {
        row.run(dc.get(), a.get(), b.get());
        const HGDIOBJ expected = row.endsOnB ? b.get() : original;
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), expected) << row.what;
        SelectObject(dc.get(), original);
    }
}

// Owners release their object once: a moved-from one holds and frees
// nothing, a move assignment frees what it held before.
TEST(Owners, MovedOwnersReleaseOnce) {
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
    EXPECT_TRUE(ImgExists(n));
    EXPECT_EQ(ImgWidth(n), 7);
    EXPECT_EQ(ImgHeight(n), 5);
    const ImagePixels px(n);
    EXPECT_GT(px.ds.dsBmih.biHeight, 0);
    EXPECT_EQ(px.ds.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(px.ds.dsBm.bmWidthBytes, 28);
    EXPECT_EQ(px.all(), std::vector<uint32_t>(7 * 5, 0xFF000000u));
}

TEST(Images, FillValuesByDepthAndColour) {
    const ScopedImage none(ImgCreate(UI_ANY, 3, 2, 32, 0xFFFFFFFFu));
    const ScopedImage red(ImgCreate(UI_ANY, 3, 2, 32, 0x00332211));
    EXPECT_EQ(ImagePixels(none).all(), std::vector<uint32_t>(3 * 2, 0u));
    // Bytes 33 22 11 FF: blue first.
    EXPECT_EQ(ImagePixels(red).all(), std::vector<uint32_t>(3 * 2, 0xFF112233u));
    // Any other depth is 24 bits, filled through GDI, rows padded to 4 bytes.
    for (int depth : {24, 8, 16}) {
        const ScopedImage n(ImgCreate(UI_ANY, 5, 3, depth, 0x00332211));
        ASSERT_NE(n, 0);
        const ImagePixels p(n);
        EXPECT_EQ(p.ds.dsBm.bmBitsPixel, 24);
        EXPECT_EQ(p.ds.dsBm.bmWidthBytes, 16);
        const uint8_t* first = static_cast<const uint8_t*>(p.ds.dsBm.bmBits);
        EXPECT_EQ(std::vector<uint8_t>(first + 12, first + 15),
                  (std::vector<uint8_t>{0x33, 0x22, 0x11}));
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
        EXPECT_FALSE(alive(first)) << "the first bitmap is still alive";
    }
    ImgFree(3);
    EXPECT_FALSE(ImgExists(3));
    EXPECT_FALSE(alive(second));
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
    const HDC dc = reinterpret_cast<HDC>(DrawStart(output));
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetObjectType(dc), DWORD(OBJ_MEMDC));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), reinterpret_cast<HGDIOBJ>(ImgHandle(n)));
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
    const struct {
        int x, y;
        uint32_t memory;
    } pixels[] = {{15, 7, PIXEL_RED},  {5, 7, PIXEL_RED},    {10, 2, PIXEL_RED},
                  {10, 12, PIXEL_RED}, {10, 7, 0xFFFFFFFFu}, {16, 7, 0xFFFFFFFFu},
                  {0, 0, 0xFFFFFFFFu}};
    for (const auto& p : pixels) {
        EXPECT_EQ(px.at(p.x, p.y), p.memory) << p.x << "," << p.y;
    }
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

} // namespace

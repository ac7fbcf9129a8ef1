// Pixel writes, spans and boxes of the rasteriser, on tiny asymmetric
// images so that a flipped row order or a red/blue swap shows.
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "draw/pixel_kernels.h"
#include "draw/raster.h"
#include "tests/native/raster_support.h"

namespace {

TEST(Colour, SplitsRedLowAndAlphaHigh) {
    const draw::ColourParts p = draw::splitColour(0x80332211);
    EXPECT_EQ(p.red, 0x11);
    EXPECT_EQ(p.green, 0x22);
    EXPECT_EQ(p.blue, 0x33);
    EXPECT_EQ(p.alpha, 0x80);
    EXPECT_EQ(p.inverseAlpha, 0x7F);
}

TEST(Raster, RowPitchPadsRowsToFourBytes) {
    struct Case {
        int64_t width;
        int bits;
        int64_t pitch;
    };
    const Case cases[] = {{1, 1, 4},   {33, 1, 8},  {7, 4, 4},         {9, 4, 8},   {5, 8, 8},
                          {2, 16, 4},  {3, 15, 8},  {1, 24, 4},        {5, 24, 16}, {4, 24, 12},
                          {5, 32, 20}, {5, 12, 20}, {32767, 24, 98304}};
    for (const Case& c : cases) {
        EXPECT_EQ(draw::rowPitch(c.width, c.bits), c.pitch) << c.width << " x " << c.bits;
    }
}

TEST(Raster, WritesBlueGreenRedInMemoryOrderAndKeepsAlpha) {
    for (bool bottomUp : {true, false}) {
        TestImage img(3, 2, 4, bottomUp);
        img.raster(DRAW_MODE_DEFAULT, 0x00332211).plot(0, 0); // red 0x11, green 0x22, blue 0x33
        // Picture row 0 is the last memory row of a bottom-up image.
        const uint8_t* p = img.memory.data() + (bottomUp ? img.pitch : 0);
        EXPECT_EQ(p[0], 0x33);
        EXPECT_EQ(p[1], 0x22);
        EXPECT_EQ(p[2], 0x11);
        EXPECT_EQ(p[3], 0xA5);
        EXPECT_EQ(img.changedPixels(), Pixels({{0, 0}}));
    }
}

TEST(Raster, XorTogglesColourBytesOnlyAndTransparentDrawsShapesPlainly) {
    TestImage img(4, 3);
    draw::Raster r = img.raster(DRAW_MODE_XOR, 0xFF0F0F0F);
    r.plot(1, 1);
    EXPECT_EQ(img.get(1, 1), TestImage::background(1, 1) ^ 0x000F0F0Fu);
    r.plot(1, 1);
    EXPECT_EQ(img.get(1, 1), TestImage::background(1, 1));
    r.setMode(DRAW_MODE_TRANSPARENT);
    r.box(0, 0, 4, 3, 0x00ABCDEF);
    EXPECT_EQ(img.pixelsOtherThan(0xA5EFCDABu), Pixels{});
}

TEST(Raster, PlotClipsAtAllFourEdges) {
    TestImage img(5, 4);
    draw::Raster r = img.raster(DRAW_MODE_DEFAULT, 0x00FFFFFF);
    for (auto p : std::vector<std::pair<int64_t, int64_t>>{
             {-1, 0}, {5, 0}, {0, -1}, {0, 4}, {INT64_MIN / 4, 2}, {2, INT64_MAX / 4}}) {
        r.plot(p.first, p.second);
    }
    EXPECT_TRUE(img.changedPixels().empty());
    r.plot(0, 0);
    r.plot(4, 3);
    EXPECT_EQ(img.changedPixels(), Pixels({{0, 0}, {4, 3}}));
}

TEST(Raster, SpansClipAtAllFourEdges) {
    struct Case {
        bool horizontal;
        int64_t x, y, n;
        Pixels expected;
    };
    const std::vector<Case> cases = {
        {true, -3, 1, 5, rect(0, 1, 1, 1)},
        {true, 4, 2, 5, rect(4, 2, 6, 2)},
        {true, -10, 0, 30, rect(0, 0, 6, 0)},
        {true, 0, -1, 7, {}},
        {true, 0, 4, 7, {}},
        {true, 2, 3, 0, {}},
        {true, 2, 3, -4, {}},
        {true, 7, 0, 3, {}},
        {false, 3, -2, 4, rect(3, 0, 3, 1)},
        {false, 6, 2, 9, rect(6, 2, 6, 3)},
        {false, -1, 0, 4, {}},
        {false, 7, 0, 4, {}},
        {false, 0, 4, 2, {}},
        {false, 5, -100, 200, rect(5, 0, 5, 3)},
    };
    for (const Case& c : cases) {
        TestImage img(7, 4);
        draw::Raster r = img.raster(DRAW_MODE_DEFAULT, 0x00FFFFFF);
        if (c.horizontal) {
            r.horizontalSpan(c.x, c.y, c.n);
        } else {
            r.verticalSpan(c.x, c.y, c.n);
        }
        EXPECT_EQ(img.changedPixels(), c.expected)
            << (c.horizontal ? "h " : "v ") << c.x << "," << c.y << " n " << c.n;
    }
}

TEST(Raster, FilledBoxesClipAndAcceptNegativeSizes) {
    struct Case {
        int32_t x, y, w, h;
        Pixels expected;
    };
    const std::vector<Case> cases = {
        {0, 0, 7, 5, rect(0, 0, 6, 4)},
        {5, 3, -2, -2, rect(3, 1, 4, 2)}, // covers x + w .. x - 1
        {-2, -1, 4, 3, rect(0, 0, 1, 1)},
        {5, 3, 10, 10, rect(5, 3, 6, 4)},
        {7, 0, 3, 3, {}},
        {0, -3, 3, 3, {}},
        {2, 2, 0, 3, {}},
        {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, {}},
        {INT32_MIN, 0, -1, 2, {}},
        {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, rect(0, 0, 6, 4)},
        {-5, 1, INT32_MAX, 1, rect(0, 1, 6, 1)},
    };
    for (int bpp : {4, 3}) {
        for (const Case& c : cases) {
            TestImage img(7, 5, bpp);
            img.raster().box(c.x, c.y, c.w, c.h, 0x00FFFFFF);
            EXPECT_EQ(img.changedPixels(), c.expected)
                << c.x << "," << c.y << " " << c.w << "x" << c.h;
            EXPECT_TRUE(img.keptBytesIntact());
        }
    }
}

TEST(Raster, OutlinedBoxesDrawFourEdges) {
    TestImage img(8, 6);
    img.raster(DRAW_MODE_OUTLINED).box(1, 1, 5, 4, 0x00FFFFFF);
    Pixels expected = rect(1, 1, 5, 4);
    for (auto p : rect(2, 2, 4, 3)) {
        expected.erase(p); // the inside
    }
    EXPECT_EQ(img.changedPixels(), expected);

    // Negative sizes and clipping at the edges: columns -1 .. 8, rows 3 .. 12.
    TestImage clipped(8, 6);
    clipped.raster(DRAW_MODE_OUTLINED).box(9, 3, -10, 10, 0x00FFFFFF);
    EXPECT_EQ(clipped.changedPixels(), rect(0, 3, 7, 3));
}

TEST(Raster, XorOutlineOfAOnePixelBoxCancelsWhereEdgesMeet) {
    // The four edges of a 1 x 1 box write its pixel twice: the top and
    // bottom spans coincide. XOR shows that.
    TestImage img(4, 4);
    draw::Raster r = img.raster(DRAW_MODE_OUTLINED | DRAW_MODE_XOR);
    r.box(1, 1, 1, 1, 0x00FFFFFF);
    EXPECT_TRUE(img.changedPixels().empty());
    r.box(1, 1, 2, 3, 0x00FFFFFF);
    EXPECT_EQ(img.changedPixels(), rect(1, 1, 2, 3));
}

TEST(Raster, FullBoxOnAFreshCanvasTurnsItOpaqueWhite) {
    TestImage img(6, 5);
    for (auto [x, y] : rect(0, 0, 5, 4)) {
        img.set(x, y, 0xFF000000);
    }
    draw::Raster r = img.raster();
    r.box(0, 0, 6, 5, 0x00FFFFFF);
    EXPECT_EQ(img.pixelsOtherThan(0xFFFFFFFFu), Pixels{});
    EXPECT_FALSE(r.changes().filled);

    // The fill of a whole opaque image writes whole pixels and says so; a
    // plot after it is the rectangle on top of the fill.
    r.plot(1, 1);
    r.fillOpaque(0x00123456);
    EXPECT_EQ(img.get(5, 4), 0xFF563412u) << "red and blue in memory order, alpha written";
    EXPECT_EQ(r.front(), 0x00123456u);
    ASSERT_TRUE(r.changes().filled);
    EXPECT_EQ(*r.changes().filled, 0xFF563412u);
    EXPECT_TRUE(r.changes().rect.empty()) << "the plot before the fill is hidden by it";
    r.plot(4, 2);
    EXPECT_EQ(r.changes().rect.left, 4);
    EXPECT_EQ(r.changes().rect.bottom, 3);

    // Changes in turn: a later fill hides what came before, a later
    // rectangle adds to the fill.
    const draw::Changes before{std::nullopt, draw::PixelRect{0, 0, 2, 2}};
    const draw::Changes fillLast = before.then(r.changes());
    EXPECT_TRUE(fillLast.filled);
    EXPECT_EQ(fillLast.rect.left, 4);
    const draw::Changes after = r.changes().then(before);
    EXPECT_EQ(after.filled, r.changes().filled);
    EXPECT_EQ(after.rect.left, 0);
    EXPECT_EQ(after.rect.right, 5);

    // Whole images on either side of the length at which whole pixels go
    // to the string store, and runs written into a guarded buffer at
    // aligned and odd addresses: every pixel written, nothing past the end.
    for (auto [w, h] : {std::pair{1023, 1}, {1024, 1}, {32, 33}, {7, 300}}) {
        TestImage big(w, h);
        big.raster().fillOpaque(0x00ABCDEF);
        ASSERT_EQ(big.pixelsOtherThan(0xFFEFCDABu), Pixels{}) << w << "x" << h;
    }
    for (size_t count : {size_t{1023}, size_t{1024}, size_t{1025}, size_t{4099}}) {
        for (size_t at : {size_t{0}, size_t{1}, size_t{4}}) {
            std::vector<uint8_t> buffer(count * 4 + 16, 0x5A);
            draw::writePixels32(buffer.data() + at, count, 0x11223344u);
            for (size_t i = 0; i < buffer.size(); ++i) {
                const bool inside = i >= at && i < at + count * 4;
                const uint8_t expected =
                    inside ? static_cast<uint8_t>(0x11223344u >> (8 * ((i - at) % 4))) : 0x5A;
                ASSERT_EQ(buffer[i], expected) << count << " pixels at " << at << ", byte " << i;
            }
        }
    }
}

TEST(Raster, TwentyFourBitRowsKeepTheirPadding) {
    TestImage img(5, 3, 3, true); // pitch 16 for 15 bytes of pixels
    ASSERT_EQ(img.pitch, 16);
    draw::Raster r = img.raster(DRAW_MODE_DEFAULT, 0x00010203);
    r.plot(4, 0);
    EXPECT_EQ(img.get(4, 0), 0x030201u); // blue 1, green 2, red 3 in memory
    r.box(-1, -1, 10, 10, 0x00112233);
    r.setMode(DRAW_MODE_XOR);
    r.box(0, 0, 5, 3, 0x00FFFFFF);
    EXPECT_EQ(img.get(0, 2), 0x332211u ^ 0xFFFFFFu);
    EXPECT_TRUE(img.keptBytesIntact());
}

// The SSE2 box fill against the plain one on the same random pixels (any
// alpha): every width up to 67 from starts anywhere within a vector, rows
// off the pixel grid, exclusive-or, and 24-bit images, which neither kernel
// touches differently.
TEST(Raster, BoxFillKernelsGiveTheSamePixels) {
    if (draw::bestPixelKernels() != draw::PixelKernels::Sse2) {
        GTEST_SKIP() << "this processor has no SSE2";
    }
    constexpr int W = 72, H = 2;
    std::mt19937 random(5);
    for (int bpp : {4, 3}) {
        for (size_t shift : {0, 1}) { // 1: the first row at an odd address
            const ptrdiff_t pitch = bpp == 4 ? W * 4 : draw::rowPitch(W, 24);
            std::vector<uint8_t> start(size_t(pitch * H) + 16);
            for (uint8_t& b : start) {
                b = static_cast<uint8_t>(random());
            }
            for (int mode : {DRAW_MODE_DEFAULT, DRAW_MODE_XOR}) {
                for (int x = 0; x < 5; ++x) {
                    for (int w = 0; w <= 67; ++w) {
                        const uint32_t colour = random() & 0xFFFFFFFFu;
                        std::vector<uint8_t> out[2] = {start, start};
                        for (auto kernels : {draw::PixelKernels::Plain, draw::PixelKernels::Sse2}) {
                            const draw::ScopedPixelKernels use(kernels);
                            std::vector<uint8_t>& o = out[int(kernels)];
                            uint8_t* first = o.data() + (16 - uintptr_t(o.data()) % 16) % 16;
                            draw::Raster r(surfaceOver(first + shift, pitch, bpp, false, W, H));
                            r.setMode(mode);
                            r.box(x, 0, w, H, colour);
                        }
                        ASSERT_EQ(out[0], out[1]) << bpp << " bytes, shift " << shift << ", mode "
                                                  << mode << ", x " << x << ", w " << w;
                    }
                }
            }
        }
    }
}

} // namespace

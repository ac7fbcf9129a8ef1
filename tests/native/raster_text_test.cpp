// Glyph blending, how text lands on an image: each channel mixed by its own
// coverage, the back colour under opaque text, exclusive-or by the mean
// coverage, and clipping that never reads past the glyph buffer.
#include <gtest/gtest.h>

#include <vector>

#include "draw/raster.h"
#include "tests/native/raster_support.h"

namespace {

// A hand-made 24-bit glyph buffer; pixel (x, y) holds coverage bytes
// blue, green, red.
struct Glyphs {
    int width, height;
    ptrdiff_t pitch;
    std::vector<uint8_t> bits;
    Glyphs(int w, int h, uint8_t cover = 0)
        : width(w), height(h), pitch(((3 * w + 3) / 4) * 4), bits(size_t(pitch * h), cover) {}
    void set(int x, int y, uint8_t b, uint8_t g, uint8_t r) {
        uint8_t* p = bits.data() + y * pitch + x * 3;
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }
    draw::GlyphBuffer buffer() const { return {bits.data(), pitch, width, height}; }
};

uint8_t mix(int fore, int cover, int under) {
    return static_cast<uint8_t>((fore * cover + under * (255 - cover)) / 255);
}

// The front colour 0x00C08040 (red 0x40, green 0x80, blue 0xC0) blended by
// coverage bytes blue, green, red over `under`; the alpha byte kept.
uint32_t blended(const uint8_t* cover, uint32_t under) {
    return 0xA5000000u | uint32_t(mix(0x40, cover[2], (under >> 16) & 0xFF)) << 16 |
           uint32_t(mix(0x80, cover[1], (under >> 8) & 0xFF)) << 8 |
           mix(0xC0, cover[0], under & 0xFF);
}

TEST(Glyphs, TransparentBlendMixesEachChannelWithThePixelBelow) {
    Glyphs gl(4, 2);
    gl.set(0, 0, 255, 255, 255);
    gl.set(1, 0, 0, 128, 255); // red fully, green half, blue none
    gl.set(2, 1, 10, 20, 30);
    TestImage img(6, 4);
    img.raster(DRAW_MODE_TRANSPARENT, 0x00C08040).blendGlyphs(gl.buffer(), 1, 2, 4, 2);
    const uint8_t half[] = {0, 128, 255}, faint[] = {10, 20, 30};
    EXPECT_EQ(img.get(2, 2), blended(half, TestImage::background(2, 2)));
    EXPECT_EQ((img.get(2, 2) >> 16) & 0xFF, 0x40u) << "full red coverage is the front's red";
    EXPECT_EQ(img.get(1, 2), 0xA54080C0u);
    EXPECT_EQ(img.get(3, 3), blended(faint, TestImage::background(3, 3)));
    // Zero coverage leaves the pixel as it was.
    EXPECT_FALSE(img.changed(4, 2));
    EXPECT_FALSE(img.changed(0, 2));
}

TEST(Glyphs, OpaqueBlendPaintsTheWholeCellWithTheBackColour) {
    Glyphs gl(3, 2);
    gl.set(1, 1, 255, 255, 255);
    TestImage img(5, 4);
    img.raster(DRAW_MODE_DEFAULT, 0x00FFFFFF, 0x00000080).blendGlyphs(gl.buffer(), 2, 1, 3, 2);
    EXPECT_EQ(img.changedPixels(), rect(2, 1, 4, 2));
    EXPECT_EQ(img.get(2, 1), 0xA5800000u);
    EXPECT_EQ(img.get(3, 2), 0xA5FFFFFFu);
}

// Every coverage value in every channel, alone and mixed with bare (0) and
// solid (255) channels, in both modes: each byte is the blend formula's.
TEST(Glyphs, EveryCoverageBlendsByTheFormula) {
    Glyphs gl(256, 4);
    for (int x = 0; x < 256; ++x) {
        const auto v = static_cast<uint8_t>(x);
        gl.set(x, 0, v, v, v);
        gl.set(x, 1, v, static_cast<uint8_t>(255 - x), static_cast<uint8_t>(x ^ 0x5A));
        gl.set(x, 2, 0, 0, v);
        gl.set(x, 3, 255, v, 255);
    }
    for (bool transparent : {true, false}) {
        TestImage img(256, 4);
        // Back red 0x90, green 0x60, blue 0x30.
        img.raster(transparent ? DRAW_MODE_TRANSPARENT : DRAW_MODE_DEFAULT, 0x00C08040, 0x00306090)
            .blendGlyphs(gl.buffer(), 0, 0, 256, 4);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 256; ++x) {
                const uint8_t* g = gl.bits.data() + y * gl.pitch + x * 3;
                const uint32_t under = transparent ? TestImage::background(x, y) : 0x906030u;
                ASSERT_EQ(img.get(x, y), blended(g, under)) << transparent << " " << x << "," << y;
            }
        }
    }
}

TEST(Glyphs, XorUsesTheMeanCoverage) {
    Glyphs gl(3, 1);
    gl.set(0, 0, 128, 128, 128); // mean just above one half
    gl.set(1, 0, 127, 128, 127); // just below
    for (bool transparent : {true, false}) {
        TestImage img(3, 1);
        img.raster(DRAW_MODE_XOR | (transparent ? DRAW_MODE_TRANSPARENT : 0), 0x000000FF,
                   0x00FF0000)
            .blendGlyphs(gl.buffer(), 0, 0, 3, 1);
        EXPECT_EQ(img.get(0, 0), TestImage::background(0, 0) ^ 0x00FF0000u);
        EXPECT_EQ(img.get(1, 0),
                  transparent ? TestImage::background(1, 0) : TestImage::background(1, 0) ^ 0xFFu);
    }
}

TEST(Glyphs, ClipAtEveryEdgeAndNeverReadPastTheBuffer) {
    const Glyphs gl(4, 3, 255);
    struct Case {
        int64_t left, top, w, h;
        Pixels expected;
    };
    const std::vector<Case> cases = {
        {-2, 0, 4, 3, rect(0, 0, 1, 2)},
        {0, -2, 4, 3, rect(0, 0, 3, 0)},
        {4, 1, 4, 3, rect(4, 1, 5, 3)},
        {3, 2, 4, 3, rect(3, 2, 5, 3)},
        {-4, 0, 4, 3, {}},
        {0, -3, 4, 3, {}},
        {6, 0, 4, 3, {}},
        {0, 4, 4, 3, {}},
        {1, 1, 0, 3, {}},
        {-1, -1, 100, 100, rect(0, 0, 2, 1)},
        {INT64_MIN / 4, 0, 4, 3, {}},
        {0, INT64_MAX / 4, 4, 3, {}},
    };
    for (const Case& c : cases) {
        TestImage img(6, 4);
        img.raster(DRAW_MODE_TRANSPARENT, 0x00FFFFFF)
            .blendGlyphs(gl.buffer(), c.left, c.top, c.w, c.h);
        EXPECT_EQ(img.changedPixels(), c.expected)
            << c.left << "," << c.top << " " << c.w << "x" << c.h;
    }
}

TEST(Glyphs, BlendIntoTwentyFourBitImages) {
    Glyphs gl(2, 2);
    gl.set(0, 0, 255, 255, 255);
    TestImage img(3, 2, 3, false);
    img.raster(DRAW_MODE_DEFAULT, 0x000000FF, 0x00FF0000).blendGlyphs(gl.buffer(), 1, 0, 2, 2);
    EXPECT_EQ(img.get(1, 0), 0xFF0000u); // red
    EXPECT_EQ(img.get(2, 1), 0x0000FFu); // blue back colour
    EXPECT_TRUE(img.keptBytesIntact());
}

} // namespace

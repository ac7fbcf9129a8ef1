// Ellipses at the limits: circles far larger than the image around it,
// extreme centres and radii, radius zero and negative ones, and the four
// extremes of an outline.
#include <gtest/gtest.h>

#include <cstdlib>

#include "draw/raster.h"
#include "tests/native/raster_support.h"

namespace {

TEST(Ellipse, HugeCircleContainingTheImageFillsItOrLeavesItAlone) {
    for (bool outlined : {true, false}) {
        TestImage img(40, 30);
        img.raster(outlined ? DRAW_MODE_OUTLINED : DRAW_MODE_DEFAULT)
            .circle(20, 15, 2000000000, 0x00ABCDEF);
        EXPECT_EQ(img.changedPixels(), outlined ? Pixels{} : rect(0, 0, 39, 29));
    }
}

TEST(Ellipse, ExtremeCentresAndRadiiStayInsideTheImage) {
    const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -2000000000, -1, 0,
                                5,         2000000000,    INT32_MAX};
    for (int32_t x : extremes) {
        for (int32_t y : extremes) {
            for (int32_t r : {0, 1, 1000, 2000000000, INT32_MAX}) {
                for (int mode : {DRAW_MODE_OUTLINED, DRAW_MODE_DEFAULT}) {
                    TestImage img(9, 7, 3, false);
                    img.raster(mode).circle(x, y, r, 0x00112233);
                    ASSERT_TRUE(img.keptBytesIntact());
                }
            }
        }
    }
}

TEST(Ellipse, RadiusZeroWritesTheCentreAndNegativeRadiiNothing) {
    for (int mode : {DRAW_MODE_OUTLINED, DRAW_MODE_DEFAULT}) {
        TestImage img(5, 4);
        draw::Raster raster = img.raster(mode);
        raster.circle(3, 1, 0, 0x000000FF);
        raster.circle(1, 1, -1, 0x000000FF);
        raster.circle(1, 2, INT32_MIN, 0x000000FF);
        EXPECT_EQ(img.changedPixels(), (Pixels{{3, 1}}));
        EXPECT_EQ(img.get(3, 1), 0xA5FF0000u); // red in memory byte 2, alpha kept
    }
}

TEST(Ellipse, OutlineReachesExactlyItsFourExtremes) {
    for (int r : {1, 2, 3, 7, 20, 33}) {
        const int size = 2 * r + 5, c = r + 2;
        TestImage img(size, size);
        img.raster(DRAW_MODE_OUTLINED).circle(c, c, r, 0x00FFFFFF);
        EXPECT_TRUE(img.changed(c + r, c) && img.changed(c - r, c) && img.changed(c, c + r) &&
                    img.changed(c, c - r))
            << r;
        for (auto [x, y] : img.changedPixels()) {
            EXPECT_LE(std::abs(x - c), r);
            EXPECT_LE(std::abs(y - c), r);
        }
    }
}

} // namespace

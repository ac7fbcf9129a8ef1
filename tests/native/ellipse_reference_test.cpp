// The midpoint ellipse against a plain reference: the two-region stepping
// written out once more, in the compiler's own 128-bit integers, walking
// every step. The rasteriser must write exactly the same pixels, also when
// it jumps over the invisible parts of a huge ellipse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "draw/ellipse_path.h"
#include "draw/raster.h"
#include "tests/native/raster_support.h"

namespace {

using i128 = __int128;

struct Step {
    int64_t n, i;
    bool operator==(const Step& o) const { return n == o.n && i == o.i; }
};

// Counts how often each pixel of a w x h picture is written.
struct Writes {
    int w, h;
    std::vector<int> count;
    Writes(int width, int height) : w(width), h(height), count(size_t(width) * height, 0) {}
    int& at(int64_t x, int64_t y) { return count[size_t(y) * w + size_t(x)]; }
    void plot(int64_t x, int64_t y) {
        if (x >= 0 && x < w && y >= 0 && y < h) {
            ++at(x, y);
        }
    }
    // n pixels from (x, y) rightwards or downwards, clipped first: spans of
    // huge ellipses are far longer than the picture.
    void span(int64_t x, int64_t y, int64_t n, bool across) {
        int64_t& along = across ? x : y;
        const int64_t end = std::min(along + n, int64_t(across ? w : h));
        for (along = std::max(along, int64_t(0)); along < end; ++along)
            plot(x, y);
    }
    void hspan(int64_t x, int64_t y, int64_t n) { span(x, y, n, true); }
    void vspan(int64_t x, int64_t y, int64_t n) { span(x, y, n, false); }
};

// The reference: steps of both regions, and the writes they make.
void reference(int64_t rx, int64_t ry, std::vector<Step>* region1, std::vector<Step>* region2,
               Writes* out = nullptr, int64_t cx = 0, int64_t cy = 0, bool outlined = true) {
    if (rx < 0 || ry < 0)
        return;
    const i128 A2 = 2 * i128(rx) * rx, A4 = 4 * i128(rx) * rx;
    const i128 B2 = 2 * i128(ry) * ry, B4 = 4 * i128(ry) * ry;
    i128 f = 4 * i128(ry) * ry * rx;
    i128 g = ((i128(rx) * rx) >> 1) + B2 - f;
    i128 l = ((i128(ry) * ry) >> 1) + A2 - 2 * i128(ry) * ry * rx;
    i128 s = 0;
    int64_t n = rx, i = 0;
    // The outline's pixel in each quadrant; one on an axis is written once
    // or twice, as each region's stepping writes it (XOR shows which).
    auto plot = [&](bool mirrorX, bool mirrorY) {
        for (int64_t sx = 1; sx >= (mirrorX ? -1 : 1); sx -= 2)
            for (int64_t sy = 1; sy >= (mirrorY ? -1 : 1); sy -= 2)
                out->plot(cx + sx * n, cy + sy * i);
    };
    while (g < 0) {
        if (region1)
            region1->push_back({n, i});
        if (out && outlined) {
            plot(true, i != 0);
        } else if (out) {
            out->hspan(cx - n, cy + i, 2 * n + 1);
            if (i != 0)
                out->hspan(cx - n, cy - i, 2 * n + 1);
        }
        s += A4;
        i += 1;
        if (l < 0) {
            g += s;
        } else {
            f -= B4;
            n -= 1;
            g += s - f + B2;
            l -= f;
        }
        l += s + A2;
    }
    const int64_t u = cy + i;
    int64_t t = cy - i, k = 1;
    do {
        if (region2)
            region2->push_back({n, i});
        if (out && outlined) {
            plot(n != 0, true);
        } else if (out) {
            out->vspan(cx + n, u, k);
            out->vspan(cx + n, t, k);
            if (n != 0) {
                out->vspan(cx - n, u, k);
                out->vspan(cx - n, t, k);
            }
        }
        f -= B4;
        n -= 1;
        if (g < 0) {
            i += 1;
            s += A4;
            g += s;
            k += 1;
            t -= 1;
        }
        g += B2 - f;
    } while (n >= 0);
}

::testing::AssertionResult samePath(int64_t rx, int64_t ry) {
    std::vector<Step> r1, r2;
    reference(rx, ry, &r1, &r2);
    const draw::EllipsePath path(rx, ry);
    auto failure = [&] { return ::testing::AssertionFailure() << "rx " << rx << " ry " << ry; };
    if (path.region1Rows() != int64_t(r1.size())) {
        return failure() << ": region 1 has " << r1.size() << " rows, path says "
                         << path.region1Rows();
    }
    // Long paths are checked at a sample of steps, always including both
    // ends of each region.
    auto sampled = [](const std::vector<Step>& steps, size_t k) {
        return k % (steps.size() > 3000 ? steps.size() / 1500 : 1) == 0 || k + 1 == steps.size();
    };
    for (size_t k = 0; k < r1.size(); ++k) {
        const Step& st = r1[k];
        if (sampled(r1, k) && path.columnAtRow(st.i) != st.n) {
            return failure() << ": row " << st.i << " at " << path.columnAtRow(st.i)
                             << ", expected " << st.n;
        }
    }
    if (path.region2Columns() != r2.front().n) {
        return failure() << ": region 2 starts at column " << path.region2Columns() << ", expected "
                         << r2.front().n;
    }
    for (size_t k = 0; k < r2.size(); ++k) {
        const Step& st = r2[k];
        if (sampled(r2, k) && path.rowAtColumn(st.n) != st.i) {
            return failure() << ": column " << st.n << " at " << path.rowAtColumn(st.n)
                             << ", expected " << st.i;
        }
    }
    return ::testing::AssertionSuccess();
}

const EllipseWalk walkChosen = &draw::Raster::ellipse, walkAll = &draw::Raster::ellipseWalkingAll,
                  walkVisible = &draw::Raster::ellipseWalkingVisible;

// Draws with the rasteriser twice (XOR shows the parity of the writes,
// a plain colour shows which pixels were written) and compares with the
// reference's write counts.
::testing::AssertionResult samePixels(int w, int h, int64_t cx, int64_t cy, int64_t rx, int64_t ry,
                                      bool outlined, EllipseWalk walk) {
    Writes expected(w, h);
    if (rx >= 0 && ry >= 0) {
        reference(rx, ry, nullptr, nullptr, &expected, cx, cy, outlined);
    }
    const int base = outlined ? DRAW_MODE_OUTLINED : DRAW_MODE_DEFAULT;
    for (int xorPass = 0; xorPass < 2; ++xorPass) {
        TestImage img(w, h);
        (img.raster(base | (xorPass ? DRAW_MODE_XOR : 0), 0x00FFFFFF).*walk)(cx, cy, rx, ry);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int c = expected.at(x, y);
                const bool shouldChange = xorPass ? (c % 2 == 1) : (c > 0);
                if (img.changed(x, y) != shouldChange) {
                    return ::testing::AssertionFailure()
                           << (xorPass ? "xor" : "plain") << (outlined ? " outline" : " filled")
                           << " rx " << rx << " ry " << ry << " centre (" << cx << ", " << cy
                           << ") pixel (" << x << ", " << y << ") written " << c
                           << " times by the reference";
                }
                if ((img.get(x, y) >> 24) != (TestImage::background(x, y) >> 24)) {
                    return ::testing::AssertionFailure()
                           << "alpha byte changed at (" << x << ", " << y << ")";
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// From low to high, both included.
int64_t between(std::mt19937_64& rng, int64_t low, int64_t high) {
    return std::uniform_int_distribution<int64_t>(low, high)(rng);
}

TEST(EllipsePath, MatchesSteppingForEverySmallEllipse) {
    for (int64_t rx = 0; rx <= 64; ++rx) {
        for (int64_t ry = 0; ry <= 64; ++ry) {
            ASSERT_TRUE(samePath(rx, ry));
        }
    }
}

TEST(EllipsePath, MatchesSteppingForCirclesUpTo1500) {
    for (int64_t r = 0; r <= 1500; ++r) {
        ASSERT_TRUE(samePath(r, r));
    }
}

TEST(EllipsePath, MatchesSteppingForThinAndLargeShapes) {
    std::mt19937_64 rng(7);
    for (int k = 0; k < 60; ++k) {
        const int64_t a = between(rng, 0, 12);
        const int64_t b = between(rng, 13, 20000);
        ASSERT_TRUE(samePath(a, b));
        ASSERT_TRUE(samePath(b, a));
    }
    // Across the 64-bit stepping limit and the old overflow point (1.3e6).
    for (int64_t r : {524287, 524288, 1300000, 1518500, 2097153}) {
        ASSERT_TRUE(samePath(r, r));
    }
    for (int k = 0; k < 6; ++k) {
        const int64_t a = between(rng, 1000, 1500000);
        const int64_t b = between(rng, 1000, 1500000);
        ASSERT_TRUE(samePath(a, b));
    }
}

TEST(EllipsePath, ChecksAlmostNoRowOneByOne) {
    for (int64_t r : std::vector<int64_t>{10, 1000, 123456789, 2000000000, INT32_MAX}) {
        const draw::EllipsePath path(r, r);
        EXPECT_LE(path.checkedRows(), 4) << r;
        // Region 1 ends a little past 45 degrees, region 2 begins there.
        EXPECT_GT(path.region1Rows(), r * 7 / 10);
        EXPECT_LT(path.region1Rows(), r * 8 / 10 + 2);
    }
}

TEST(Ellipse, EveryCircleUpTo1500MatchesTheReferenceOnATinyImage) {
    // 23 x 17 image; the centre moves so that the outline crosses it at
    // different angles, and sometimes lies inside.
    for (int64_t r = 0; r <= 1500; ++r) {
        const int64_t cx = (r % 3 == 0) ? 11 : (r % 3 == 1) ? r / 2 + 5 : -r + 9;
        const int64_t cy = (r % 5 == 0) ? 8 : (r % 5 < 3) ? r - 4 : -(r * 2) / 3;
        for (bool outlined : {true, false}) {
            ASSERT_TRUE(samePixels(23, 17, cx, cy, r, r, outlined, walkVisible));
            ASSERT_TRUE(samePixels(23, 17, cx, cy, r, r, outlined, walkAll));
        }
    }
}

TEST(Ellipse, SmallEllipsesMatchTheReferenceBothWays) {
    for (int64_t rx = 0; rx <= 24; ++rx) {
        for (int64_t ry = 0; ry <= 24; ry += 3) {
            for (bool outlined : {true, false}) {
                ASSERT_TRUE(samePixels(31, 19, 13, 9, rx, ry, outlined, walkVisible));
                ASSERT_TRUE(samePixels(31, 19, 2, 17, rx, ry, outlined, walkVisible));
                ASSERT_TRUE(samePixels(31, 19, 13, 9, rx, ry, outlined, walkChosen));
            }
        }
    }
}

// A centre placed so that the outline passes through a point of the image:
// the centre lies r away from it in a random direction, far outside.
std::pair<int64_t, int64_t> centreThrough(std::mt19937_64& rng, int w, int h, int64_t r) {
    const double angle = std::uniform_real_distribution<double>(0, 2 * M_PI)(rng);
    const int px = std::uniform_int_distribution<int>(0, w - 1)(rng);
    const int py = std::uniform_int_distribution<int>(0, h - 1)(rng);
    return {px - std::llround(double(r) * std::cos(angle)),
            py - std::llround(double(r) * std::sin(angle))};
}

TEST(Ellipse, LargeRandomCirclesAndEllipsesCrossingTheImageMatchTheReference) {
    std::mt19937_64 rng(2024);
    for (int k = 0; k < 24; ++k) {
        const int64_t r = between(rng, 1501, k < 16 ? 200000 : 3000000);
        const auto c = centreThrough(rng, 29, 21, r);
        for (bool outlined : {true, false}) {
            ASSERT_TRUE(samePixels(29, 21, c.first, c.second, r, r, outlined, walkChosen));
        }
    }
    for (int k = 0; k < 8; ++k) {
        const int64_t rx = between(rng, 1, 400000);
        const int64_t ry = between(rng, 1, 400000);
        const auto c = centreThrough(rng, 29, 21, std::min(rx, ry));
        ASSERT_TRUE(samePixels(29, 21, c.first, c.second, rx, ry, true, walkVisible));
        ASSERT_TRUE(samePixels(29, 21, c.first, c.second, rx, ry, false, walkVisible));
    }
}

// Beyond what the reference can walk: every written pixel lies on the true
// circle to within a pixel, and the outline runs unbroken across the image.
TEST(Ellipse, HugeRadiusCrossingTheImageDrawsTheTrueCircle) {
    std::mt19937_64 rng(99);
    const int w = 64, h = 48;
    for (int64_t r : {int64_t(2000000000), int64_t(INT32_MAX), int64_t(987654321)}) {
        for (int k = 0; k < 4; ++k) {
            const auto c = centreThrough(rng, w, h, r);
            TestImage img(w, h);
            img.raster(DRAW_MODE_OUTLINED | DRAW_MODE_XOR, 0x00FFFFFF)
                .ellipse(c.first, c.second, r, r);
            const Pixels written = img.changedPixels();
            for (auto [x, y] : written) {
                const i128 dx = x - c.first, dy = y - c.second;
                const i128 d2 = dx * dx + dy * dy;
                EXPECT_LE(d2, i128(r + 1) * (r + 1)) << "(" << x << ", " << y << ") outside";
                EXPECT_GE(d2, i128(r - 1) * (r - 1)) << "(" << x << ", " << y << ") inside";
            }
            EXPECT_GT(written.size(), size_t(std::min(w, h) / 2));
        }
    }
}

// What lets an outline that surrounds the image be skipped: no pixel of
// the path lies more than a pixel inside the true ellipse.
TEST(Ellipse, NoPixelOfThePathLiesMoreThanAPixelInside) {
    std::mt19937_64 rng(5);
    std::vector<std::pair<int64_t, int64_t>> radii;
    for (int64_t rx = 1; rx <= 40; ++rx)
        for (int64_t ry = 1; ry <= 40; ++ry)
            radii.push_back({rx, ry});
    for (int k = 0; k < 40; ++k)
        radii.push_back({between(rng, 1, 30000), between(rng, 1, 30000)});
    for (const auto& [rx, ry] : radii) {
        std::vector<Step> r1, r2;
        reference(rx, ry, &r1, &r2);
        r1.insert(r1.end(), r2.begin(), r2.end());
        const i128 rx2 = i128(rx) * rx, ry2 = i128(ry) * ry;
        for (const Step& st : r1) {
            ASSERT_GT(ry2 * (st.n + 1) * (st.n + 1) + rx2 * (st.i + 1) * (st.i + 1), rx2 * ry2)
                << "rx " << rx << " ry " << ry << " at (" << st.n << ", " << st.i << ")";
        }
    }
}

// A small image whose corner farthest from the centre lies on, just
// inside or just outside the path, in every quadrant: the outline skips
// the walk only when it cannot touch the image.
TEST(Ellipse, OutlineCloseAroundTheImageMatchesTheReference) {
    std::mt19937_64 rng(11);
    const int w = 6, h = 5;
    for (int k = 0; k < 48; ++k) {
        const int64_t rx = between(rng, 8, k < 40 ? 400 : 4000);
        const int64_t ry = k % 3 ? rx : between(rng, 8, 400);
        const double angle = std::uniform_real_distribution<double>(0.05, M_PI / 2 - 0.05)(rng);
        for (int64_t inside = -1; inside <= 4; ++inside) {
            const int64_t x = std::llround(double(rx) * std::cos(angle)) - inside;
            const int64_t y = std::llround(double(ry) * std::sin(angle)) - inside;
            for (int sx : {-1, 1}) {
                for (int sy : {-1, 1}) {
                    const int64_t cx = (sx > 0 ? w - 1 : 0) - sx * x;
                    const int64_t cy = (sy > 0 ? h - 1 : 0) - sy * y;
                    ASSERT_TRUE(samePixels(w, h, cx, cy, rx, ry, true, walkChosen));
                }
            }
        }
    }
}

} // namespace

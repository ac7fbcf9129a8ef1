// The rasteriser's midpoint ellipse: the walk along the whole path, and the
// walk along only the rows and columns of it that can show.
#include "draw/raster.h"

#include <algorithm>
#include <cstdlib>

#include "draw/ellipse_path.h"
#include "draw/wide_int.h"

namespace draw {

namespace {

//--- Stepping

// Stepping with 64-bit decision values is exact while both radii stay
// below this: along the path f = 4ry²n, s = 4rx²i and g, l stay within a
// small multiple of r³ < 2^60.
constexpr int64_t ELLIPSE_RADIUS_64BIT_LIMIT = int64_t(1) << 19;

// What finding the visible part of the path costs before the walk, in
// steps of the plain walk.
constexpr int64_t ELLIPSE_VISIBLE_WALK_SETUP_STEPS = 256;

inline bool isNegative(int64_t v) {
    return v < 0;
}
inline bool isNegative(const Int192& v) {
    return v.isNegative();
}

template <typename Int> Int fromWide(const Int192& v);
template <> int64_t fromWide<int64_t>(const Int192& v) {
    return v.low64();
}
template <> Int192 fromWide<Int192>(const Int192& v) {
    return v;
}

// The stepping state of the midpoint ellipse with its update rules exactly
// as the algorithm states them.
template <typename Int> struct Stepper {
    Int a2, a4, b2, b4;
    Int f, g, l, s;
    int64_t n, i;

    Stepper(int64_t rx, int64_t ry) {
        const Int192 rx2 = Int192(rx) * rx, ry2 = Int192(ry) * ry;
        a2 = fromWide<Int>(Int192(2) * rx2);
        a4 = fromWide<Int>(Int192(4) * rx2);
        b2 = fromWide<Int>(Int192(2) * ry2);
        b4 = fromWide<Int>(Int192(4) * ry2);
    }
    // Places the state at (n, i) with the decision values it has there.
    void placeAt(const EllipsePath& path, int64_t atN, int64_t atI, int64_t rx, int64_t ry) {
        n = atN;
        i = atI;
        f = fromWide<Int>(Int192(4) * Int192(ry) * ry * atN);
        s = fromWide<Int>(Int192(4) * Int192(rx) * rx * atI);
        g = fromWide<Int>(path.g(atN, atI));
        l = fromWide<Int>(path.l(atN, atI));
    }
    // Starts at (rx, 0) without any closed form.
    void start(int64_t rx, int64_t ry) {
        const Int192 rx2 = Int192(rx) * rx, ry2 = Int192(ry) * ry;
        n = rx;
        i = 0;
        f = fromWide<Int>(Int192(4) * ry2 * rx);
        g = fromWide<Int>(Int192(rx2.low64() >> 1) + Int192(2) * ry2 - Int192(4) * ry2 * rx);
        l = fromWide<Int>(Int192(ry2.low64() >> 1) + Int192(2) * rx2 - Int192(2) * ry2 * rx);
        s = Int(0);
    }
    void region1Step() {
        s += a4;
        ++i;
        if (isNegative(l)) {
            g += s;
        } else {
            f -= b4;
            --n;
            g += s - f + b2;
            l -= f;
        }
        l += s + a2;
    }
    // True when i was raised.
    bool region2Step() {
        f -= b4;
        --n;
        bool raised = false;
        if (isNegative(g)) {
            ++i;
            s += a4;
            g += s;
            raised = true;
        }
        g += b2 - f;
        return raised;
    }
};

//--- Walks

inline int64_t clampLow(int64_t v, int64_t lo) {
    return v < lo ? lo : v;
}

// Whether the outline of the ellipse (centre cx, cy; radii rx, ry >= 1)
// runs wholly outside a w x h image that it surrounds. Every pixel (n, i)
// of the midpoint path, taken from the centre, has
// ry²(n + 1)² + rx²(i + 1)² > rx²ry²: the path never lies more than a
// pixel inside the true ellipse. The image pixel farthest from the centre
// in x and the one farthest in y make a corner of the image; when that
// corner lies deeper inside than the path can reach (with one more pixel to
// spare), so does every other image pixel, and the outline misses them all.
bool outlineSurrounds(int64_t cx, int64_t cy, int64_t rx, int64_t ry, int64_t w, int64_t h) {
    const int64_t x = std::max(std::abs(cx), std::abs(w - 1 - cx)) + 2;
    const int64_t y = std::max(std::abs(cy), std::abs(h - 1 - cy)) + 2;
    if (rx < 1 || ry < 1 || x > rx || y > ry) {
        return false;
    }
    const Int192 rx2 = Int192(rx) * rx, ry2 = Int192(ry) * ry;
    return ry2 * (Int192(x) * x) + rx2 * (Int192(y) * y) <= rx2 * ry2;
}

template <typename Int> void walkAll(Raster& r, int64_t cx, int64_t cy, int64_t rx, int64_t ry) {
    Stepper<Int> st(rx, ry);
    st.start(rx, ry);
    const bool outlined = (r.mode() & DRAW_MODE_OUTLINED) != 0;
    while (isNegative(st.g)) {
        const int64_t n = st.n, i = st.i;
        if (outlined) {
            r.plot(cx + n, cy + i);
            r.plot(cx - n, cy + i);
            if (i != 0) {
                r.plot(cx + n, cy - i);
                r.plot(cx - n, cy - i);
            }
        } else {
            r.horizontalSpan(cx - n, cy + i, 2 * n + 1);
            if (i != 0) {
                r.horizontalSpan(cx - n, cy - i, 2 * n + 1);
            }
        }
        st.region1Step();
    }
    const int64_t u = cy + st.i;
    int64_t t = cy - st.i, k = 1;
    do {
        const int64_t n = st.n, i = st.i;
        if (outlined) {
            r.plot(cx + n, cy + i);
            r.plot(cx + n, cy - i);
            if (n != 0) {
                r.plot(cx - n, cy + i);
                r.plot(cx - n, cy - i);
            }
        } else {
            r.verticalSpan(cx + n, u, k);
            r.verticalSpan(cx + n, t, k);
            if (n != 0) {
                r.verticalSpan(cx - n, u, k);
                r.verticalSpan(cx - n, t, k);
            }
        }
        if (st.region2Step()) {
            ++k;
            --t;
        }
    } while (st.n >= 0);
}

// Region 1 rows [first, last] on one side (sign +1 below the centre, -1
// above, where row 0 is skipped as the algorithm does).
template <typename Int>
void walkRows(Raster& r, const EllipsePath& path, int64_t cx, int64_t cy, int64_t rx, int64_t ry,
              int64_t first, int64_t last, int sign) {
    if (first > last) {
        return;
    }
    const bool outlined = (r.mode() & DRAW_MODE_OUTLINED) != 0;
    Stepper<Int> st(rx, ry);
    st.placeAt(path, path.columnAtRow(first), first, rx, ry);
    for (;;) {
        const int64_t n = st.n, y = cy + sign * st.i;
        if (outlined) {
            r.plot(cx + n, y);
            r.plot(cx - n, y);
        } else {
            r.horizontalSpan(cx - n, y, 2 * n + 1);
        }
        if (st.i == last) {
            break;
        }
        st.region1Step();
    }
}

// Region 2 columns from `high` down to `low` on one side (sign +1 right of
// the centre, -1 left, where column 0 is skipped as the algorithm does).
template <typename Int>
void walkColumns(Raster& r, const EllipsePath& path, int64_t cx, int64_t cy, int64_t rx, int64_t ry,
                 int64_t high, int64_t low, int sign) {
    if (low > high) {
        return;
    }
    const bool outlined = (r.mode() & DRAW_MODE_OUTLINED) != 0;
    const int64_t i1 = path.region1Rows();
    Stepper<Int> st(rx, ry);
    st.placeAt(path, high, path.rowAtColumn(high), rx, ry);
    for (;;) {
        const int64_t x = cx + sign * st.n, i = st.i;
        if (outlined) {
            r.plot(x, cy + i);
            r.plot(x, cy - i);
        } else {
            const int64_t k = 1 + i - i1;
            r.verticalSpan(x, cy + i1, k);
            r.verticalSpan(x, cy - i, k);
        }
        if (st.n == low) {
            break;
        }
        st.region2Step();
    }
}

template <typename Int>
void walkVisible(Raster& r, int64_t cx, int64_t cy, int64_t rx, int64_t ry) {
    const EllipsePath path(rx, ry);
    const int64_t w = r.width(), h = r.height();
    const int64_t lastRow = path.region1Rows() - 1;
    // Rows below the centre: cy + i in [0, h); above: cy - i in [0, h), i >= 1.
    walkRows<Int>(r, path, cx, cy, rx, ry, clampLow(-cy, 0), std::min(lastRow, h - 1 - cy), 1);
    walkRows<Int>(r, path, cx, cy, rx, ry, clampLow(cy - (h - 1), 1), std::min(lastRow, cy), -1);
    const int64_t n2 = path.region2Columns();
    // Columns right of the centre: cx + n in [0, w); left: cx - n in [0, w), n >= 1.
    walkColumns<Int>(r, path, cx, cy, rx, ry, std::min(n2, w - 1 - cx), clampLow(-cx, 0), 1);
    walkColumns<Int>(r, path, cx, cy, rx, ry, std::min(n2, cx), clampLow(cx - (w - 1), 1), -1);
}

} // namespace

//--- Raster members
void Raster::circle(int32_t x, int32_t y, int32_t radius, uint32_t colour) {
    setFront(colour);
    ellipse(x, y, radius, radius);
}

void Raster::ellipse(int64_t cx, int64_t cy, int64_t rx, int64_t ry) {
    if (rx < 0 || ry < 0) {
        return;
    }
    // Every pixel lies within rx columns and ry rows of the centre.
    if (cx + rx < 0 || cx - rx >= width_ || cy + ry < 0 || cy - ry >= height_) {
        return;
    }
    // An outline around the whole image: nothing to walk, however huge.
    if ((mode_ & DRAW_MODE_OUTLINED) && outlineSurrounds(cx, cy, rx, ry, width_, height_)) {
        return;
    }
    // Walking the whole path costs about rx + ry steps, walking only the
    // visible part a little more than the visible rows and columns plus a
    // fixed set-up; small ellipses take the plain walk.
    if (std::max(rx, ry) < ELLIPSE_RADIUS_64BIT_LIMIT &&
        rx + ry <= 2 * (int64_t(width_) + height_) + ELLIPSE_VISIBLE_WALK_SETUP_STEPS) {
        ellipseWalkingAll(cx, cy, rx, ry);
    } else {
        ellipseWalkingVisible(cx, cy, rx, ry);
    }
}

void Raster::ellipseWalkingAll(int64_t cx, int64_t cy, int64_t rx, int64_t ry) {
    if (rx < 0 || ry < 0) {
        return;
    }
    if (std::max(rx, ry) < ELLIPSE_RADIUS_64BIT_LIMIT) {
        walkAll<int64_t>(*this, cx, cy, rx, ry);
    } else {
        walkAll<Int192>(*this, cx, cy, rx, ry);
    }
}

void Raster::ellipseWalkingVisible(int64_t cx, int64_t cy, int64_t rx, int64_t ry) {
    if (rx < 0 || ry < 0) {
        return;
    }
    if (std::max(rx, ry) < ELLIPSE_RADIUS_64BIT_LIMIT) {
        walkVisible<int64_t>(*this, cx, cy, rx, ry);
    } else {
        walkVisible<Int192>(*this, cx, cy, rx, ry);
    }
}

} // namespace draw

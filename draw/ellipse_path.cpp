#include "draw/ellipse_path.h"

#include <algorithm>
#include <cmath>

namespace draw {

namespace {

// The least x in [lo, hi) for which `pred` holds, or hi; `pred` must be
// false then true over the range.
template <typename Pred> int64_t firstTrue(int64_t lo, int64_t hi, Pred pred) {
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (pred(mid)) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

// A starting guess for a square root; callers correct it exactly.
int64_t roughSqrt(const Int192& v) {
    const double d = v.toDouble();
    return d <= 0 ? 0 : static_cast<int64_t>(std::sqrt(d));
}

} // namespace

EllipsePath::EllipsePath(int64_t rx, int64_t ry)
    : rx_(rx), ry_(ry), rx2_(Int192(rx) * rx), ry2_(Int192(ry) * ry),
      halfRx2_(static_cast<int64_t>(static_cast<uint64_t>(rx) * static_cast<uint64_t>(rx) >> 1)),
      halfRy2_(static_cast<int64_t>(static_cast<uint64_t>(ry) * static_cast<uint64_t>(ry) >> 1)) {
    if (T(0) > 0) {
        hasPeak_ = true;
        int64_t lo = T(0);        // reachable: T(0) + 0
        int64_t hi = rx + ry + 2; // unreachable: T(j) <= rx and T exists only for j < ry
        while (hi - lo > 1) {
            const int64_t mid = lo + (hi - lo) / 2;
            if (reaches(mid)) {
                lo = mid;
            } else {
                hi = mid;
            }
        }
        uMax_ = lo;
        jFirst_ = firstNegativeQ(uMax_);
    }
    i1_ = findRegion1End();
    n2_ = columnAtRow(i1_);
    if (n2_ >= 1) {
        m0_ = firstTrue(1, n2_, [&](int64_t m) { return R(m) <= i1_; });
    }
}

Int192 EllipsePath::g(int64_t n, int64_t i) const {
    const Int192 nm1 = Int192(n) - 1;
    return Int192(halfRx2_) + Int192(2) * rx2_ * (Int192(i) * (Int192(i) + 1)) +
           Int192(2) * ry2_ * (nm1 * nm1 - rx2_);
}

Int192 EllipsePath::l(int64_t n, int64_t i) const {
    const Int192 ip1 = Int192(i) + 1;
    return Int192(halfRy2_) + Int192(2) * rx2_ * (ip1 * ip1) +
           Int192(2) * ry2_ * (Int192(n) * (Int192(n) - 1) - rx2_);
}

int64_t EllipsePath::T(int64_t j) const {
    if (!l(1, j).isNegative()) {
        return 0;
    }
    // l(m, j) < 0  <=>  (2m - 1)² < K / ry², K = 4ry²rx² + ry² - 2(ry²>>1) - 4rx²(j+1)².
    const Int192 jp1 = Int192(j) + 1;
    const Int192 k =
        Int192(4) * ry2_ * rx2_ + ry2_ - Int192(2 * halfRy2_) - Int192(4) * rx2_ * jp1 * jp1;
    int64_t m = std::max<int64_t>(1, (roughSqrt(k) / std::max<int64_t>(ry_, 1) + 1) / 2);
    while (l(m + 1, j).isNegative()) {
        ++m;
    }
    while (m > 1 && !l(m, j).isNegative()) {
        --m;
    }
    return m;
}

int64_t EllipsePath::R(int64_t m) const {
    if (!g(m, 0).isNegative()) {
        return 0;
    }
    // g(m, i) >= 0  <=>  (2i + 1)² >= K / rx², K = 4rx²ry² + rx² - 2(rx²>>1) - 4ry²(m-1)².
    const Int192 mm1 = Int192(m) - 1;
    const Int192 k =
        Int192(4) * rx2_ * ry2_ + rx2_ - Int192(2 * halfRx2_) - Int192(4) * ry2_ * mm1 * mm1;
    int64_t i = std::max<int64_t>(0, (roughSqrt(k) / std::max<int64_t>(rx_, 1) - 1) / 2);
    while (i > 0 && !g(m, i - 1).isNegative()) {
        --i;
    }
    while (g(m, i).isNegative()) {
        ++i;
    }
    return i;
}

// q_v(j) = l(v - j, j) is a convex quadratic in j; its forward difference
// 4(rx² + ry²)j + 6rx² - 4ry²(v - 1) is linear. The smallest j in [0, v-1]
// from which it no longer falls.
int64_t EllipsePath::argminQ(int64_t v) const {
    const int64_t last = std::max<int64_t>(v - 1, 0);
    const Int192 sum = rx2_ + ry2_;
    auto rising = [&](int64_t j) {
        return !(Int192(4) * sum * j + Int192(6) * rx2_ - Int192(4) * ry2_ * (v - 1)).isNegative();
    };
    double guess = 0;
    if (!sum.isZero()) {
        guess = (Int192(4) * ry2_ * (v - 1) - Int192(6) * rx2_).toDouble() /
                (Int192(4) * sum).toDouble();
    }
    int64_t j = guess <= 0 ? 0 : guess >= double(last) ? last : static_cast<int64_t>(guess);
    while (j > 0 && rising(j - 1)) {
        --j;
    }
    while (j < last && !rising(j)) {
        ++j;
    }
    return j;
}

// Whether some j has T(j) + j >= v.
bool EllipsePath::reaches(int64_t v) const {
    return q(v, argminQ(v)).isNegative();
}

// The first j with T(j) + j >= v (v reachable).
int64_t EllipsePath::firstNegativeQ(int64_t v) const {
    const int64_t bottom = argminQ(v);
    return firstTrue(0, bottom, [&](int64_t j) { return q(v, j).isNegative(); });
}

// On a diagonal stretch n = c - i of region 1, g is a convex quadratic in
// i: the first i in [a, b) where it is no longer negative, or b.
int64_t EllipsePath::firstNonNegativeOnDiagonal(int64_t c, int64_t a, int64_t b) const {
    if (a >= b || !g(c - a, a).isNegative()) {
        return std::min(a, b);
    }
    return firstTrue(a + 1, b, [&](int64_t i) { return !g(c - i, i).isNegative(); });
}

int64_t EllipsePath::columnAtRow(int64_t i) const {
    if (i == 0 || !hasPeak_) {
        return rx_ - i;
    }
    const int64_t k = i - 1;
    const int64_t runningMax = k < jFirst_ ? T(k) + k : uMax_;
    return std::max(rx_ - i, runningMax - k);
}

int64_t EllipsePath::findRegion1End() {
    // Past every row region 1 could reach (i <= ry on any step).
    const int64_t beyond = rx_ + ry_ + 4;
    if (!hasPeak_ || uMax_ < rx_) {
        return firstNonNegativeOnDiagonal(rx_, 0, beyond);
    }
    // Rows before catching up with T run down the diagonal n = rx - i.
    const int64_t caughtUp = firstNegativeQ(rx_) + 1;
    const int64_t early = firstNonNegativeOnDiagonal(rx_, 0, caughtUp);
    if (early < caughtUp) {
        return early;
    }
    // Rows caughtUp .. jFirst follow n = T(i - 1), where l(n, i - 1) < 0 and
    // g(n, i) = l(n, i - 1) + (rx²>>1) - (ry²>>1) + 2rx²·i - 2ry²(n - 1):
    // g < 0 is certain while that added term is not positive, which holds
    // for a prefix of the rows.
    auto uncertain = [&](int64_t i) {
        const Int192 extra = Int192(halfRx2_ - halfRy2_) + Int192(2) * rx2_ * i -
                             Int192(2) * ry2_ * (Int192(columnAtRow(i)) - 1);
        return !extra.isNegative() && !extra.isZero();
    };
    const int64_t firstUncertain = firstTrue(caughtUp, jFirst_ + 1, uncertain);
    for (int64_t i = firstUncertain; i <= jFirst_; ++i) {
        ++checkedRows_;
        if (!g(columnAtRow(i), i).isNegative()) {
            return i;
        }
    }
    // After the first maximum of T(j) + j the path is the diagonal
    // n = uMax + 1 - i.
    return firstNonNegativeOnDiagonal(uMax_ + 1, jFirst_ + 1, beyond);
}

int64_t EllipsePath::rowAtColumn(int64_t n) const {
    if (n >= n2_) {
        return i1_;
    }
    // i(n) = min over m in (n, n2] of max(i1, R(m)) + m - n - 1. R falls as m
    // grows; where R(m) <= i1 (m >= m0) the smallest such m wins; below m0
    // the terms R(m) + m have their minimum at an end of the range.
    int64_t best = i1_ + std::max(m0_, n + 1) - n - 1;
    if (n + 1 <= m0_ - 1) {
        best = std::min(best, R(n + 1));
        best = std::min(best, R(m0_ - 1) + m0_ - 1 - n - 1);
    }
    return best;
}

} // namespace draw

// Where the two-region midpoint ellipse goes, without walking it.
// Platform-free.
//
// The rasteriser steps a state (n, i) from (rx, 0): region 1 adds one row
// per step and keeps or decrements the half-width n; region 2 removes one
// column per step and keeps or increments the half-height i, until n < 0.
// Every decision value is a closed form in (n, i):
//   g(n, i) = rx²>>1 + 2rx²·i(i+1) + 2ry²((n-1)² - rx²)
//   l(n, i) = ry²>>1 + 2rx²(i+1)²  + 2ry²(n(n-1) - rx²)
// (region 1 runs while g < 0 and keeps n while l < 0; region 2 raises i
// while g < 0). From them this class finds, in time independent of the
// radii, where region 1 ends and the state at any row of region 1 or any
// column of region 2, so that a huge ellipse crossing a small image is
// drawn by walking only its visible rows and columns.
//
// Region 1 is a follower: with T(j) the largest m >= 1 with l(m, j) < 0,
// n(i+1) = max(T(i), n(i) - 1), hence n(i) = max(rx - i, max_{j<i}(T(j)+j) - i + 1).
// T(j) + j has interval superlevel sets (each is where a convex quadratic
// is negative), so its running maximum is known from its first maximum.
// Region 2 mirrors it: with R(m) the least i >= 0 with g(m, i) >= 0,
// i(n-1) = i(n) + [i(n) < R(n)], whose closed form needs only minima of
// R(m) + m over intervals, found at the interval's ends.
#pragma once

#include <cstdint>

#include "draw/wide_int.h"

namespace draw {

class EllipsePath {
  public:
    // Radii from 0 to INT32_MAX.
    EllipsePath(int64_t rx, int64_t ry);

    // Region 1 covers the rows 0 .. region1Rows() - 1 (possibly none).
    int64_t region1Rows() const { return i1_; }
    // Region 2 covers the columns region2Columns() down to 0; it starts on
    // row region1Rows().
    int64_t region2Columns() const { return n2_; }
    // Half-width on row i of region 1, 0 <= i <= region1Rows().
    int64_t columnAtRow(int64_t i) const;
    // Half-height at column n of region 2, 0 <= n <= region2Columns().
    int64_t rowAtColumn(int64_t n) const;

    // The decision values at a state.
    Int192 g(int64_t n, int64_t i) const;
    Int192 l(int64_t n, int64_t i) const;

    // Rows of region 1 that had to be checked one by one (tests watch
    // that it stays tiny).
    int64_t checkedRows() const { return checkedRows_; }

  private:
    int64_t T(int64_t j) const; // 0 when no m >= 1 has l(m, j) < 0
    int64_t R(int64_t m) const;
    Int192 q(int64_t v, int64_t j) const { return l(v - j, j); }
    int64_t argminQ(int64_t v) const;
    bool reaches(int64_t v) const;
    int64_t firstNegativeQ(int64_t v) const;
    int64_t firstNonNegativeOnDiagonal(int64_t c, int64_t a, int64_t b) const;
    int64_t findRegion1End();

    int64_t rx_, ry_;
    Int192 rx2_, ry2_;
    int64_t halfRx2_, halfRy2_;
    bool hasPeak_ = false;
    int64_t uMax_ = 0, jFirst_ = 0;
    int64_t i1_ = 0, n2_ = 0;
    int64_t m0_ = 0;
    int64_t checkedRows_ = 0;
};

} // namespace draw

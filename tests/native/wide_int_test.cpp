// The rasteriser's own wide integer against the compiler's 128-bit one.
#include <gtest/gtest.h>

#include <random>

#include "draw/wide_int.h"

namespace {

using draw::Int192;
using i128 = __int128;

Int192 wide(i128 v) {
    // Built from two halves with the type's own arithmetic.
    const int64_t high = static_cast<int64_t>(v >> 64);
    const uint64_t low = static_cast<uint64_t>(v);
    const Int192 base = Int192(int64_t(1) << 32) * Int192(int64_t(1) << 32);
    return Int192(high) * base +
           Int192(static_cast<int64_t>(low >> 32)) * Int192(int64_t(1) << 32) +
           Int192(static_cast<int64_t>(low & 0xFFFFFFFFu));
}

TEST(Int192, AgreesWith128BitArithmetic) {
    std::mt19937_64 rng(5);
    auto pick = [&](int bits) {
        const int64_t m = bits >= 63 ? INT64_MAX : (int64_t(1) << bits) - 1;
        int64_t v = static_cast<int64_t>(rng() & static_cast<uint64_t>(m));
        return (rng() & 1) ? -v : v;
    };
    for (int k = 0; k < 20000; ++k) {
        const int64_t a = pick(1 + int(rng() % 62)), b = pick(1 + int(rng() % 62));
        const i128 pa = a, pb = b;
        EXPECT_EQ(Int192(a) * Int192(b), wide(pa * pb));
        EXPECT_EQ(Int192(a) + Int192(b), wide(pa + pb));
        EXPECT_EQ(Int192(a) - Int192(b), wide(pa - pb));
        EXPECT_EQ(Int192(a) < Int192(b), a < b);
        EXPECT_EQ((Int192(a) * Int192(b)).isNegative(), pa * pb < 0);
        const i128 big = pa * pb;
        EXPECT_EQ(wide(big) < wide(big + 1), true);
        EXPECT_EQ(-wide(big), wide(-big));
        EXPECT_NEAR((Int192(a) * Int192(b)).toDouble(), static_cast<double>(pa * pb),
                    std::abs(static_cast<double>(pa * pb)) * 1e-15);
    }
}

TEST(Int192, HoldsProductsBeyond128Bits) {
    // (2^31)^5 = 2^155: past any 128-bit type, still exact here.
    Int192 v(int64_t(1) << 31);
    const Int192 step = v;
    for (int k = 0; k < 4; ++k)
        v *= step;
    EXPECT_FALSE(v.isNegative());
    EXPECT_FALSE(v.fitsInt64());
    EXPECT_DOUBLE_EQ(v.toDouble(), std::ldexp(1.0, 155));
    EXPECT_TRUE((v - v).isZero());
    EXPECT_TRUE(-v < Int192(INT64_MIN));
    EXPECT_TRUE(Int192(INT64_MIN).fitsInt64());
    EXPECT_EQ(Int192(INT64_MIN).low64(), INT64_MIN);
    EXPECT_EQ((Int192(INT64_MAX) + 1).fitsInt64(), false);
}

} // namespace

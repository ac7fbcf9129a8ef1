// Premultiplied copies: opaque pixels copied as they are, the others
// scaled by their alpha, and the answer whether every pixel was opaque,
// wherever the odd pixel lies (the copy works in blocks, and streams large
// copies past the caches).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "draw/premultiply.h"

namespace {

// Pixels as bytes blue, green, red, alpha.
std::vector<uint8_t> pixels(size_t count, uint32_t value) {
    std::vector<uint8_t> out(count * 4);
    for (size_t k = 0; k < count; ++k) {
        std::memcpy(&out[k * 4], &value, 4);
    }
    return out;
}

uint32_t at(const std::vector<uint8_t>& p, size_t k) {
    uint32_t v;
    std::memcpy(&v, &p[k * 4], 4);
    return v;
}

TEST(Premultiply, ScalesOnlyPixelsThatAreNotOpaque) {
    struct Case {
        uint32_t in, out; // 0xAARRGGBB as the bytes lie in memory
    };
    const Case cases[] = {
        {0xFF102030, 0xFF102030}, // opaque: unchanged
        {0x80FFFFFF, 0x807F7F7F}, // (255 * 128) >> 8 = 127
        {0x00FFFFFF, 0x00000000}, // fully transparent
        {0xFE804020, 0xFE7F3F1F}, // alpha 254: scaled, not kept
        {0x01FFFFFF, 0x01000000},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> from = pixels(1, c.in), to(4);
        EXPECT_EQ(draw::premultiplyPixels(to.data(), from.data(), 1), (c.in >> 24) == 0xFF)
            << std::hex << c.in;
        EXPECT_EQ(at(to, 0), c.out) << std::hex << c.in;
        EXPECT_EQ(at(from, 0), c.in) << "the source stays as it was";
        // In place gives the same.
        EXPECT_EQ(draw::premultiplyPixels(from.data(), from.data(), 1), (c.in >> 24) == 0xFF);
        EXPECT_EQ(at(from, 0), c.out);
    }
}

TEST(Premultiply, OneTranslucentPixelAnywhereIsFoundAndScaledAlone) {
    // Large counts take the copy that streams past the caches (1 MB and up).
    for (size_t count :
         {size_t(1), size_t(1023), size_t(1024), size_t(1025), size_t(3001), size_t(262147)}) {
        const std::vector<uint8_t> opaque = pixels(count, 0xFFA0B0C0);
        std::vector<uint8_t> to(count * 4, 0xEE);
        EXPECT_TRUE(draw::premultiplyPixels(to.data(), opaque.data(), count)) << count;
        EXPECT_EQ(to, opaque);
        for (size_t odd : {size_t(0), count / 2, count - 1, std::min(count - 1, size_t(1024))}) {
            std::vector<uint8_t> from = opaque;
            from[odd * 4 + 3] = 0x40;
            EXPECT_FALSE(draw::premultiplyPixels(to.data(), from.data(), count)) << count;
            for (size_t k = 0; k < count; ++k) {
                ASSERT_EQ(at(to, k), k == odd ? 0x40282C30u : 0xFFA0B0C0u) << count << " " << k;
            }
        }
    }
}

TEST(Premultiply, NothingToCopy) {
    EXPECT_TRUE(draw::premultiplyPixels(nullptr, nullptr, 0));
}

} // namespace

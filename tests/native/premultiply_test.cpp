// Premultiplied copies: opaque pixels copied as they are, the others
// scaled by their alpha, and the answer whether every pixel was opaque,
// wherever the odd pixel lies (the copy works in blocks or vectors, and
// streams large copies past the caches), by the plain and the SSE2 kernels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "draw/pixel_kernels.h"
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
    // In and out, 0xAARRGGBB as the bytes lie in memory.
    const std::pair<uint32_t, uint32_t> cases[] = {
        {0xFF102030, 0xFF102030}, // opaque: unchanged
        {0x80FFFFFF, 0x807F7F7F}, // (255 * 128) >> 8 = 127
        {0x00FFFFFF, 0x00000000}, // fully transparent
        {0xFE804020, 0xFE7F3F1F}, // alpha 254: scaled, not kept
        {0x01FFFFFF, 0x01000000},
    };
    for (const auto& [in, out] : cases) {
        std::vector<uint8_t> from = pixels(1, in), to(4);
        EXPECT_EQ(draw::premultiplyPixels(to.data(), from.data(), 1), (in >> 24) == 0xFF)
            << std::hex << in;
        EXPECT_EQ(at(to, 0), out) << std::hex << in;
        EXPECT_EQ(at(from, 0), in) << "the source stays as it was";
        // In place gives the same.
        EXPECT_EQ(draw::premultiplyPixels(from.data(), from.data(), 1), (in >> 24) == 0xFF);
        EXPECT_EQ(at(from, 0), out);
    }
}

TEST(Premultiply, OneTranslucentPixelAnywhereIsFoundAndScaledAlone) {
    // Large counts take the copy that streams past the caches (1 MB and up).
    for (auto kernels : {draw::PixelKernels::Plain, draw::PixelKernels::Sse2}) {
        const draw::ScopedPixelKernels use(kernels);
        for (size_t count : {size_t(1), size_t(6), size_t(1023), size_t(1024), size_t(1025),
                             size_t(3001), size_t(262147)}) {
            const std::vector<uint8_t> opaque = pixels(count, 0xFFA0B0C0);
            std::vector<uint8_t> to(count * 4, 0xEE);
            EXPECT_TRUE(draw::premultiplyPixels(to.data(), opaque.data(), count)) << count;
            EXPECT_EQ(to, opaque);
            for (size_t odd :
                 {size_t(0), count / 2, count - 1, std::min(count - 1, size_t(1024))}) {
                std::vector<uint8_t> from = opaque;
                from[odd * 4 + 3] = 0x40;
                EXPECT_FALSE(draw::premultiplyPixels(to.data(), from.data(), count)) << count;
                for (size_t k = 0; k < count; ++k) {
                    ASSERT_EQ(at(to, k), k == odd ? 0x40282C30u : 0xFFA0B0C0u)
                        << int(use.inUse()) << " " << count << " " << k;
                }
            }
        }
    }
}

// The SSE2 kernel against the plain one, byte for byte and answer for
// answer: every short count (whole vectors and the pixels left over), starts
// anywhere within a vector or off the pixel grid, in place, and streamed,
// over random mixes of alpha 0, 1, 254 and 255, with the bytes around the
// pixels.
TEST(Premultiply, BothKernelsGiveTheSamePixels) {
    if (draw::bestPixelKernels() != draw::PixelKernels::Sse2) {
        GTEST_SKIP() << "this processor has no SSE2";
    }
    std::vector<size_t> counts = {4099, 262147};
    for (size_t count = 0; count <= 67; ++count) {
        counts.push_back(count);
    }
    struct Start {
        size_t from, to; // bytes past a 16-byte boundary; `to` ignored in place
        bool inPlace;
    };
    const Start starts[] = {{0, 0, false}, {4, 12, false}, {8, 0, false}, {1, 3, false},
                            {0, 0, true},  {12, 0, true},  {2, 0, true}};
    const uint8_t alphas[] = {0, 1, 254, 255};
    std::mt19937 random(20240611);
    for (int opaquePercent : {0, 60, 100}) {
        for (size_t count : counts) {
            std::vector<uint8_t> source(count * 4 + 32);
            for (size_t k = 0; k < source.size(); ++k) {
                const bool opaque = int(random() % 100) < opaquePercent;
                source[k] = k % 4 != 3 ? uint8_t(random()) : opaque ? 255 : alphas[random() % 4];
            }
            for (const Start& s : starts) {
                std::vector<uint8_t> out[2];
                bool opaque[2];
                for (auto kernels : {draw::PixelKernels::Plain, draw::PixelKernels::Sse2}) {
                    const draw::ScopedPixelKernels use(kernels);
                    std::vector<uint8_t>& o = out[int(kernels)];
                    std::vector<uint8_t> from = source;
                    o.assign(source.size() + 32, 0xEE);
                    uint8_t* f = from.data() + (16 - uintptr_t(from.data()) % 16) % 16 + s.from;
                    uint8_t* t = o.data() + (16 - uintptr_t(o.data()) % 16) % 16 + s.to;
                    if (s.inPlace) {
                        opaque[int(kernels)] = draw::premultiplyPixels(f, f, count);
                        o = from;
                    } else {
                        opaque[int(kernels)] = draw::premultiplyPixels(t, f, count);
                        EXPECT_EQ(from, source) << "the source stays as it was";
                    }
                }
                ASSERT_EQ(out[0], out[1]) << opaquePercent << "% opaque, " << count << " from +"
                                          << s.from << " to +" << s.to << " in place " << s.inPlace;
                EXPECT_EQ(opaque[0], opaque[1]) << count;
            }
        }
    }
}

TEST(Premultiply, NothingToCopy) {
    EXPECT_TRUE(draw::premultiplyPixels(nullptr, nullptr, 0));
}

} // namespace
